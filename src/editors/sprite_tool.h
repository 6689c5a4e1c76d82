#pragma once

#include "core/sprite_code.h"
#include "ui/clipboard.h"
#include "ui/message_box.h"
#include "ui/tool.h"

// A sprite editor tool of the main window. It keeps the writer's layer bits,
// which live as long as the program, and opens a fresh editor window each time.
class SpriteTool : public Tool
{
public:
    // `clipboard` and `messageBox`, if given, must outlive the tool; tests pass fakes.
    explicit SpriteTool(SpriteKind kind, Clipboard* clipboard = nullptr,
                        MessageBox* messageBox = nullptr);
    void open(QWidget* owner) override;

private:
    SpriteKind m_kind;
    SystemClipboard m_systemClipboard;
    Clipboard* m_clipboard;
    SystemMessageBox m_systemMessageBox;
    MessageBox* m_messageBox;
    SpriteLayers m_layerBits;
};
