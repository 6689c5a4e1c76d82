#pragma once

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

// The most resident memory one call added, in KiB: Linux resets the peak of
// resident memory (VmHWM) on request, so that the peak of the call is told
// apart from all that came before it. -1 where the system cannot say.
inline long statusFieldKiB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) {
            std::istringstream value(line.substr(field.size()));
            long kib = -1;
            value >> kib;
            return kib;
        }
    }
    return -1;
}

inline long peakGrowthKiB(const std::function<void()>& run)
{
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusFieldKiB("VmRSS:");
    run();
    const long peak = statusFieldKiB("VmHWM:");
    return before < 0 || peak < 0 ? -1 : peak - before;
}
