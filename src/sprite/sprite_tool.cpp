#include "sprite/sprite_tool.h"

#include "sprite/sprite_editor.h"

void SpriteTool::open(QWidget* owner)
{
    SpriteEditor window(spriteVariant(m_kind), m_layerBits, owner);
    window.exec();
}
