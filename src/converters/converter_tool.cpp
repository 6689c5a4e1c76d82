#include "converters/converter_tool.h"

#include "converters/picture_converter.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"

#include <QTimer>

ConverterTool::ConverterTool(ConverterKind kind, FileDialog* fileDialog, MessageBox* messageBox)
    : m_kind(kind), m_fileDialog(fileDialog), m_messageBox(messageBox)
{
    if (!m_fileDialog) {
        m_systemDialog = std::make_unique<SystemFileDialog>();
        m_fileDialog = m_systemDialog.get();
    }
    if (!m_messageBox) {
        m_systemMessageBox = std::make_unique<SystemMessageBox>();
        m_messageBox = m_systemMessageBox.get();
    }
}

ConverterTool::~ConverterTool() = default;

void ConverterTool::open(QWidget* owner)
{
    openWithPicture(owner, QString());
}

void ConverterTool::openWithPicture(QWidget* owner, const QString& picture)
{
    PictureConverter window(m_kind, m_layers, *m_fileDialog, *m_messageBox, owner);
    if (!picture.isEmpty())
        QTimer::singleShot(0, &window, [&window, &picture] { window.loadPicture(picture); });
    window.exec();
}
