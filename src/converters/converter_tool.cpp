#include "converters/converter_tool.h"

#include "converters/picture_converter.h"
#include "ui/file_dialog.h"

#include <QTimer>

ConverterTool::ConverterTool(ConverterKind kind, FileDialog* fileDialog)
    : m_kind(kind), m_fileDialog(fileDialog)
{
    if (!m_fileDialog) {
        m_systemDialog = std::make_unique<SystemFileDialog>();
        m_fileDialog = m_systemDialog.get();
    }
}

ConverterTool::~ConverterTool() = default;

void ConverterTool::open(QWidget* owner)
{
    PictureConverter window(m_kind, m_layers, *m_fileDialog, owner);
    window.exec();
}

void ConverterTool::openWithPicture(QWidget* owner, const QString& picture)
{
    PictureConverter window(m_kind, m_layers, *m_fileDialog, owner);
    QTimer::singleShot(0, &window, [&window, &picture] { window.loadPicture(picture); });
    window.exec();
}
