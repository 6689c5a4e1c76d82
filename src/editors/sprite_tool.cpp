#include "editors/sprite_tool.h"

#include "editors/sprite_editor.h"

void SpriteTool::open(QWidget* owner)
{
    SpriteEditor window(spriteVariant(m_kind), m_layerBits, owner);
    window.exec();
}
