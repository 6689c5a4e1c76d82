#pragma once

#include "converters/picture_converter.h"
#include "ui/file_dialog.h"
#include "ui/tool.h"

// A picture converter tool of the main window. It lives as long as the program,
// keeps the greyscale layer grids, which outlive the window, and opens a fresh
// converter window each time.
class ConverterTool : public Tool
{
public:
    // `fileDialog`, if given, must outlive the tool; tests pass a fake.
    explicit ConverterTool(ConverterKind kind, FileDialog* fileDialog = nullptr);
    void open(QWidget* owner) override;
    // Opens the window and, once it shows, loads `picture` as the Load picture
    // button does after its dialog, so that a failure's message appears over it.
    void openWithPicture(QWidget* owner, const QString& picture);

    const GreyLayers& greyLayers() const { return m_layers; }

private:
    ConverterKind m_kind;
    SystemFileDialog m_systemDialog;
    FileDialog* m_fileDialog;
    GreyLayers m_layers;
};
