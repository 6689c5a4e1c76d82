// The tool chooser: its layout, its six entries, opening tools modally, and
// the picture named on the command line.

#include "app/main_window.h"
#include "app/start_options.h"
#include "support/picture_bytes.h"
#include "ui/drawing_area.h"
#include "ui/window_font.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

QListWidget* list(MainWindow& window)
{
    return window.findChild<QListWidget*>(QStringLiteral("lstSelect"));
}

// A user's double-click: the first press selects what lies under the pointer,
// then the double-click arrives. (QTest's double-click alone sends no press.)
void doubleClickList(MainWindow& window, QPoint at)
{
    QTest::mouseClick(list(window)->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list(window)->viewport(), Qt::LeftButton, {}, at);
}

QPoint entryCentre(MainWindow& window, int row)
{
    return list(window)->visualItemRect(list(window)->item(row)).center();
}

// Runs `whileOpen` on the modal window that `open` brings up, then closes it.
// Returns the object name of that window, or an empty string if none opened.
QString withModalWindow(const std::function<void()>& open,
                        const std::function<void(QWidget*)>& whileOpen = {})
{
    QString seen;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        seen = modal->objectName();
        if (whileOpen)
            whileOpen(modal);
        modal->close();
    });
    open();
    QCoreApplication::processEvents();
    return seen;
}

// Calls `look` with the modal window on top every few milliseconds while `open`
// runs, as a user watches the screen; `look` closes each window once it has
// seen what it waits for. After ten seconds every window still up is closed
// and `timedOut` says so, so that a window that never gets its picture fails
// the test rather than hanging it.
void watchModalWindows(const std::function<void()>& open, const std::function<void(QWidget*)>& look,
                       bool* timedOut)
{
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (clock.elapsed() > 10000) {
            *timedOut = true;
            modal->close();
            return;
        }
        look(modal);
    });
    *timedOut = false;
    poll.start();
    open();
    poll.stop();
}

// The converter's path box; empty for any other window.
QString sourcePath(QWidget* converter)
{
    const auto* box = converter->findChild<QLineEdit*>(QStringLiteral("txtSource"));
    return box ? box->text() : QString();
}

// The path as `dotwright PATH` hands it to the main window.
QString pictureArgument(const QString& path)
{
    const StartOptions options = parseStartArguments({QStringLiteral("dotwright"), path});
    if (options.action != StartOptions::Action::Run)
        qFatal("dotwright %s refused: %s", qPrintable(path), qPrintable(options.error));
    return options.picture;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installWindowFont(); }
    void windowMatchesItsDescription();
    void listHoldsTheSixToolsInOrder();
    void toolIconsAreDistinct();
    void doubleClickOpensTheSelectedTool_data();
    void doubleClickOpensTheSelectedTool();
    void doubleClickActsOnTheSelectionNotThePoint();
    void nothingOpensWithoutASelection();
    void enterOpensTheSelectedTool();
    void mainWindowTakesNoInputWhileAToolIsOpen();
    void reopenedToolStartsAfresh();
    void exitClosesTheProgram();
    void pictureArgumentOpensTheConverterWithItLoaded();
    void unreadablePictureArgumentGivesTheLoadMessage();
};

void TestMainWindow::windowMatchesItsDescription()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.objectName(), QStringLiteral("frmMain"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Dotwright"));
    QCOMPARE(window.size(), QSize(225, 305));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(!window.windowIcon().isNull());

    const auto* label = window.findChild<QLabel*>(QStringLiteral("lblTool"));
    QCOMPARE(label->text(), QStringLiteral("Which tool do you want do use?"));
    QCOMPARE(label->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(label->geometry(), QRect(8, 8, 209, 17));
    QCOMPARE(list(window)->geometry(), QRect(8, 32, 209, 217));
    const auto* logo = window.findChild<QLabel*>(QStringLiteral("Picture1"));
    QCOMPARE(logo->geometry(), QRect(8, 256, 89, 41));
    QCOMPARE(logo->pixmap().size(), QSize(89, 41));
    const auto* exit = window.findChild<QPushButton*>(QStringLiteral("cmdExit"));
    QCOMPARE(exit->geometry(), QRect(104, 256, 113, 41));
    QCOMPARE(exit->text(), QStringLiteral("Exit"));
    QCOMPARE(QApplication::focusWidget(), list(window)); // first in the tab order
}

void TestMainWindow::listHoldsTheSixToolsInOrder()
{
    MainWindow window;
    const QStringList texts = {"Sprite B&W",        "Sprite Greyscale",
                               "Masked Sprite B&W", "Masked Sprite Greyscale",
                               "Picture B&W",       "Picture Greyscale"};
    const QStringList keys = {"SpriteEditorBW",  "SpriteEditorGS",     "SpriteEditorBWm",
                              "SpriteEditorGSm", "PictureConverterBW", "PictureConverterGS"};
    QCOMPARE(list(window)->count(), 6);
    QCOMPARE(list(window)->viewMode(), QListView::IconMode);
    QCOMPARE(list(window)->iconSize(), QSize(32, 32));
    for (int row = 0; row < 6; ++row) {
        const QListWidgetItem* item = list(window)->item(row);
        QCOMPARE(item->text(), texts.at(row));
        QCOMPARE(item->data(Qt::UserRole).toInt(), row + 1);
        QCOMPARE(item->data(Qt::UserRole + 1).toString(), keys.at(row));
        QCOMPARE(item->icon().pixmap(32, 32).size(), QSize(32, 32));
    }
}

void TestMainWindow::toolIconsAreDistinct()
{
    MainWindow window;
    QList<QImage> icons;
    for (int row = 0; row < 6; ++row) {
        const QImage icon = list(window)->item(row)->icon().pixmap(32, 32).toImage();
        QSet<QRgb> palette;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (qAlpha(icon.pixel(x, y)) == 255)
                    palette.insert(icon.pixel(x, y));
        QVERIFY2(palette.size() <= 16, "icons keep to 16 colours");
        for (const QImage& earlier : icons)
            QVERIFY(icon != earlier);
        icons.append(icon);
    }
}

void TestMainWindow::doubleClickOpensTheSelectedTool_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("window");
    QTest::newRow("Sprite B&W") << 0 << "frmSprBW";
    QTest::newRow("Sprite Greyscale") << 1 << "frmSprGS";
    QTest::newRow("Masked Sprite B&W") << 2 << "frmSprBWm";
    QTest::newRow("Masked Sprite Greyscale") << 3 << "frmSprGSm";
    QTest::newRow("Picture B&W") << 4 << "frmPicBW";
    QTest::newRow("Picture Greyscale") << 5 << "frmPicGS";
}

void TestMainWindow::doubleClickOpensTheSelectedTool()
{
    QFETCH(int, row);
    QFETCH(QString, window);
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    bool modalOverMain = false;
    const QString opened = withModalWindow(
        [&] { doubleClickList(main, entryCentre(main, row)); },
        [&](QWidget* tool) { modalOverMain = tool->isModal() && tool->parentWidget() == &main; });
    QCOMPARE(opened, window);
    QVERIFY(modalOverMain);
}

void TestMainWindow::doubleClickActsOnTheSelectionNotThePoint()
{
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    list(main)->setCurrentRow(1);
    // The double-click event lands on entry 4, but entry 2 is the one selected.
    const QPoint onEntry4 = entryCentre(main, 3);
    const QString opened = withModalWindow(
        [&] { QTest::mouseDClick(list(main)->viewport(), Qt::LeftButton, {}, onEntry4); });
    QCOMPARE(opened, QStringLiteral("frmSprGS"));
}

void TestMainWindow::nothingOpensWithoutASelection()
{
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    list(main)->clearSelection();
    const QPoint empty(list(main)->viewport()->width() - 3, list(main)->viewport()->height() - 3);
    QVERIFY(!list(main)->itemAt(empty));
    QCOMPARE(withModalWindow([&] { doubleClickList(main, empty); }), QString());
    QVERIFY(list(main)->selectedItems().isEmpty());
}

void TestMainWindow::enterOpensTheSelectedTool()
{
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    // Chosen with the arrow keys, opened with Return or the keypad's Enter.
    list(main)->setCurrentRow(0);
    QTest::keyClick(list(main), Qt::Key_Right);
    QTest::keyClick(list(main), Qt::Key_Right);
    QCOMPARE(withModalWindow([&] { QTest::keyClick(list(main), Qt::Key_Return); }),
             QStringLiteral("frmSprBWm"));
    QCOMPARE(
        withModalWindow([&] { QTest::keyClick(list(main), Qt::Key_Enter, Qt::KeypadModifier); }),
        QStringLiteral("frmSprBWm"));
    list(main)->clearSelection();
    QCOMPARE(withModalWindow([&] { QTest::keyClick(list(main), Qt::Key_Return); }), QString());
}

void TestMainWindow::mainWindowTakesNoInputWhileAToolIsOpen()
{
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    bool opened = false;
    bool stillShown = false;
    withModalWindow([&] { doubleClickList(main, entryCentre(main, 0)); },
                    [&](QWidget*) {
                        opened = true;
                        // Through the window system, where modal blocking happens.
                        const auto* exit = main.findChild<QPushButton*>(QStringLiteral("cmdExit"));
                        QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {},
                                          exit->geometry().center());
                        QCoreApplication::processEvents();
                        stillShown = main.isVisible();
                    });
    QVERIFY(opened);
    QVERIFY(stillShown);
    QVERIFY(main.isVisible());
}

void TestMainWindow::reopenedToolStartsAfresh()
{
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    Tool* first = main.tool(1);
    QString textBeforeClose;
    withModalWindow(
        [&] { doubleClickList(main, entryCentre(main, 0)); },
        [&](QWidget* tool) {
            auto* canvas = tool->findChild<DrawingArea*>(QStringLiteral("picSprite"));
            QTest::mouseClick(canvas, Qt::LeftButton, {}, {10, 10});
            textBeforeClose =
                tool->findChild<QPlainTextEdit*>(QStringLiteral("txtCode"))->toPlainText();
        });
    QVERIFY(textBeforeClose.contains(QLatin1String("%10000000")));
    QString textAfterReopen;
    withModalWindow(
        [&] { doubleClickList(main, entryCentre(main, 0)); },
        [&](QWidget* tool) {
            textAfterReopen =
                tool->findChild<QPlainTextEdit*>(QStringLiteral("txtCode"))->toPlainText();
        });
    QVERIFY(!textAfterReopen.contains(QLatin1Char('1')));
    QCOMPARE(main.tool(1), first); // the same tool object, a fresh window
}

void TestMainWindow::exitClosesTheProgram()
{
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QTest::mouseClick(main.findChild<QPushButton*>(QStringLiteral("cmdExit")), Qt::LeftButton);
    QVERIFY(!main.isVisible());
}

void TestMainWindow::pictureArgumentOpensTheConverterWithItLoaded()
{
    // Black on the left, white on the right, and one grey that the slider's
    // default of 50 turns black: the conversion, not just the copy, must show.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("title.png"));
    QImage picture(160, 80, QImage::Format_RGB32);
    picture.fill(qRgb(255, 255, 255));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < 96; ++x)
            picture.setPixel(x, y, x < 64 ? qRgb(0, 0, 0) : qRgb(40, 40, 40));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(encode(picture, "png"));
    file.close();

    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QString name;
    QString shownPath;
    bool modalOverMain = false;
    QImage source;
    QImage converted;
    QString unexpectedMessage;
    bool timedOut = false;
    watchModalWindows(
        [&] { main.openPicture(pictureArgument(path)); },
        [&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                unexpectedMessage = box->text();
                box->close();
                return;
            }
            if (sourcePath(modal).isEmpty())
                return;
            name = modal->objectName();
            shownPath = sourcePath(modal);
            modalOverMain = modal->isModal() && modal->parentWidget() == &main;
            source = modal->findChild<DrawingArea*>(QStringLiteral("picUnchanged"))->takeImage();
            converted = modal->findChild<DrawingArea*>(QStringLiteral("picConvert"))->takeImage();
            modal->close();
        },
        &timedOut);
    QCOMPARE(unexpectedMessage, QString());
    QVERIFY(!timedOut);
    QCOMPARE(name, QStringLiteral("frmPicBW"));
    QVERIFY(modalOverMain);
    QCOMPARE(shownPath, path);
    QCOMPARE(source.size(), QSize(128, 64));
    QCOMPARE(source.pixel(10, 10), qRgb(0, 0, 0));
    QCOMPARE(source.pixel(80, 10), qRgb(40, 40, 40));
    QCOMPARE(source.pixel(120, 60), qRgb(255, 255, 255));
    QCOMPARE(converted.pixel(80, 10), qRgb(0, 0, 0));
    QCOMPARE(converted.pixel(120, 60), qRgb(255, 255, 255));
}

void TestMainWindow::unreadablePictureArgumentGivesTheLoadMessage()
{
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("gone.png"));
    MainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QString message;
    QString messageOwner;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString convertedAfterMessage;
    QString pathAfterMessage;
    bool timedOut = false;
    watchModalWindows([&] { main.openPicture(pictureArgument(missing)); },
                      [&](QWidget* modal) {
                          if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                              message = box->text();
                              icon = box->icon();
                              messageOwner = box->parentWidget()->objectName();
                              box->close();
                          } else if (!message.isEmpty()) {
                              convertedAfterMessage = modal->objectName();
                              pathAfterMessage = sourcePath(modal);
                              modal->close();
                          }
                      },
                      &timedOut);
    QVERIFY(!timedOut);
    // The warning comes over the converter, which stays open, empty, once it
    // is dismissed, as after a failed Load picture.
    QVERIFY2(message.startsWith(QStringLiteral("Cannot load %1: ").arg(missing)),
             qPrintable(message));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(messageOwner, QStringLiteral("frmPicBW"));
    QCOMPARE(convertedAfterMessage, QStringLiteral("frmPicBW"));
    QCOMPARE(pathAfterMessage, QString());
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
