#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <csignal>

// Lowers the largest file size this process may write, as a full disk stops a
// write, and restores it when it goes. (A read-only folder stops no one when the
// tests run as root.)
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit lowered = m_previous;
        lowered.rlim_cur = std::min(bytes, m_previous.rlim_max);
        setrlimit(RLIMIT_FSIZE, &lowered);
        // Without this the kernel ends the process instead of failing the write.
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};
