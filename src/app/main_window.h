#pragma once

#include "ui/tool.h"

#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

// frmMain: the tool chooser. A double-click in the list, or Enter, opens the
// selected tool's window modally; Exit ends the program.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int toolCount = 6;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The tool of list position 1 to 6, created the first time it is needed and
    // reused afterwards; nullptr for any other position.
    Tool* tool(int position);

    // Opens the black-and-white picture converter (list position 5) modally
    // over this window and loads `path` into it as its Load picture button
    // would, with the same message if it cannot be read. Returns once the user
    // has closed the converter.
    void openPicture(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void lstSelect_DblClick();
    // Enter or Return opens the selected tool, as a double-click does.
    bool lstSelect_KeyDown(int key);
    void cmdExit_Click();

    QLabel* lblTool;
    QListWidget* lstSelect;
    QLabel* Picture1;
    QPushButton* cmdExit;
    std::array<std::unique_ptr<Tool>, toolCount> m_tools;
};
