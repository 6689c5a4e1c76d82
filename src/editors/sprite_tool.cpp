#include "editors/sprite_tool.h"

#include "editors/sprite_editor.h"

SpriteTool::SpriteTool(SpriteKind kind, Clipboard* clipboard, MessageBox* messageBox)
    : m_kind(kind), m_clipboard(clipboard ? clipboard : &m_systemClipboard),
      m_messageBox(messageBox ? messageBox : &m_systemMessageBox)
{}

void SpriteTool::open(QWidget* owner)
{
    SpriteEditor window(spriteVariant(m_kind), m_layerBits, *m_clipboard, *m_messageBox, owner);
    window.exec();
}
