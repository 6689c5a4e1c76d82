#pragma once

#include "core/sprite_edits.h"

#include <cstddef>
#include <deque>
#include <optional>

// What a sprite editor's canvas looked like after each change since the
// window opened, for undo and redo. Only the 64 cells' looks are kept, half a
// kilobyte a change, and only the last maxUndo changes can be undone.
class CanvasHistory
{
public:
    static constexpr std::size_t maxUndo = 256;

    explicit CanvasHistory(const CanvasLook& opened = {});

    // A change has left the canvas as `now`: it becomes the latest state, and
    // what could have been redone is gone. A canvas that looks as it did is no
    // change: nothing is recorded, and false is returned.
    bool record(const CanvasLook& now);
    // The state before the current one, which becomes current; nothing when
    // there is none left.
    std::optional<CanvasLook> undo();
    // The state that the last undo left, which becomes current again; nothing
    // when there is none, or a change has been recorded since.
    std::optional<CanvasLook> redo();
    const CanvasLook& current() const { return m_states[m_current]; }

private:
    std::deque<CanvasLook> m_states; // oldest first
    std::size_t m_current = 0;
};
