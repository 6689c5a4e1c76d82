#pragma once

#include "core/converter_kind.h"
#include "ui/tool.h"

#include <memory>

class FileDialog;
class MessageBox;
class QString;

// A picture converter tool of the main window. It lives as long as the program,
// keeps the greyscale layer grids, which outlive the window, and opens a fresh
// converter window each time.
class ConverterTool : public Tool
{
public:
    // `fileDialog` and `messageBox`, if given, must outlive the tool; tests
    // pass fakes. Without them the tool uses the system's.
    explicit ConverterTool(ConverterKind kind, FileDialog* fileDialog = nullptr,
                           MessageBox* messageBox = nullptr);
    ~ConverterTool() override;
    void open(QWidget* owner) override;
    // Opens the window and, once it shows, loads `picture` (unless it is
    // empty) as the Load picture button does after its dialog, so that a
    // failure's message appears over it.
    void openWithPicture(QWidget* owner, const QString& picture);

    const GreyLayers& greyLayers() const { return m_layers; }

private:
    ConverterKind m_kind;
    std::unique_ptr<FileDialog> m_systemDialog;
    std::unique_ptr<MessageBox> m_systemMessageBox;
    FileDialog* m_fileDialog;
    MessageBox* m_messageBox;
    GreyLayers m_layers;
};
