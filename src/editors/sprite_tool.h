#pragma once

#include "core/sprite_code.h"
#include "ui/tool.h"

// A sprite editor tool of the main window. It keeps the writer's layer bits,
// which live as long as the program, and opens a fresh editor window each time.
class SpriteTool : public Tool
{
public:
    explicit SpriteTool(SpriteKind kind) : m_kind(kind) {}
    void open(QWidget* owner) override;

private:
    SpriteKind m_kind;
    SpriteLayers m_layerBits;
};
