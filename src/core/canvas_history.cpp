#include "core/canvas_history.h"

CanvasHistory::CanvasHistory(const CanvasLook& opened) : m_states{opened} {}

bool CanvasHistory::record(const CanvasLook& now)
{
    if (now == current())
        return false;
    m_states.erase(m_states.begin() + std::ptrdiff_t(m_current) + 1, m_states.end());
    m_states.push_back(now);
    if (m_states.size() > maxUndo + 1)
        m_states.pop_front();
    m_current = m_states.size() - 1;
    return true;
}

std::optional<CanvasLook> CanvasHistory::undo()
{
    if (m_current == 0)
        return std::nullopt;
    return m_states[--m_current];
}

std::optional<CanvasLook> CanvasHistory::redo()
{
    if (m_current + 1 >= m_states.size())
        return std::nullopt;
    return m_states[++m_current];
}
