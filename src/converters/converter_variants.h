#pragma once

#include "core/converter_kind.h"
#include "ui/control_layout.h"

#include <QSize>

#include <span>

// Everything in which the two converter windows differ. A null text means none.
struct ConverterVariant
{
    ConverterKind kind;
    const char* objectName;
    const char* title;
    QSize clientSize;
    const char* convertedName; // the converted preview's object name
    const char* saveCaption;
    const char* unchangedTip;
    const char* convertedTip;
    const char* loadTip;
    const char* convertSaveTip;
    bool sourceEditable;
    const char* dataFilter;
    std::span<const ControlPlace> layout;
};

const ConverterVariant& converterVariant(ConverterKind kind);
