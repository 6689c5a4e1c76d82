#include "editors/sprite_tool.h"

#include "editors/sprite_editor.h"

SpriteTool::SpriteTool(SpriteKind kind, Clipboard* clipboard)
    : m_kind(kind), m_clipboard(clipboard ? clipboard : &m_systemClipboard)
{}

void SpriteTool::open(QWidget* owner)
{
    SpriteEditor window(spriteVariant(m_kind), m_layerBits, *m_clipboard, owner);
    window.exec();
}
