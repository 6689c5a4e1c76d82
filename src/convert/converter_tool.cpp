#include "convert/converter_tool.h"

ConverterTool::ConverterTool(ConverterKind kind, FileDialog* fileDialog)
    : m_kind(kind), m_fileDialog(fileDialog ? fileDialog : &m_systemDialog)
{}

void ConverterTool::open(QWidget* owner)
{
    PictureConverter window(m_kind, m_layers, *m_fileDialog, owner);
    window.exec();
}
