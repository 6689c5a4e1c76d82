#include "app/main_window.h"

#include "converters/converter_tool.h"
#include "editors/sprite_tool.h"
#include "ui/control_layout.h"
#include "ui/tool_icons.h"
#include "ui/window_setup.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <iterator>
#include <memory>

namespace {

// Where a list entry keeps its position and tool key. The window an entry opens
// follows from its position only; the key is kept but never consulted.
constexpr int positionRole = Qt::UserRole;
constexpr int toolKeyRole = Qt::UserRole + 1;

template<SpriteKind kind> std::unique_ptr<Tool> spriteEditor()
{
    return std::make_unique<SpriteTool>(kind);
}

template<ConverterKind kind> std::unique_ptr<Tool> pictureConverter()
{
    return std::make_unique<ConverterTool>(kind);
}

struct ToolEntry
{
    int position;
    const char* key;
    const char* text;
    int icon;
    // Makes the entry's tool, the first time it is opened.
    std::unique_ptr<Tool> (*makeTool)();
};

constexpr ToolEntry toolEntries[] = {
    {1, "SpriteEditorBW", "Sprite B&W", 1, spriteEditor<SpriteKind::BlackWhite>},
    {2, "SpriteEditorGS", "Sprite Greyscale", 2, spriteEditor<SpriteKind::Greyscale>},
    {3, "SpriteEditorBWm", "Masked Sprite B&W", 3, spriteEditor<SpriteKind::BlackWhiteMasked>},
    {4, "SpriteEditorGSm", "Masked Sprite Greyscale", 4, spriteEditor<SpriteKind::GreyscaleMasked>},
    {5, "PictureConverterBW", "Picture B&W", 5, pictureConverter<ConverterKind::BlackWhite>},
    {6, "PictureConverterGS", "Picture Greyscale", 6, pictureConverter<ConverterKind::Greyscale>},
};
static_assert(std::size(toolEntries) == MainWindow::toolCount);

constexpr ControlPlace mainLayout[] = {
    {"lblTool", {8, 8, 209, 17}},
    {"lstSelect", {8, 32, 209, 217}},
    {"Picture1", {8, 256, 89, 41}},
    {"cmdExit", {104, 256, 113, 41}},
};

} // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    setUpFixedWindow(this, "frmMain", QStringLiteral("Dotwright"), {225, 305});
    setWindowIcon(toolWindowIcon(2, true));

    lblTool = makeNamed<QLabel>(this, "lblTool", QStringLiteral("Which tool do you want do use?"));
    lblTool->setAlignment(Qt::AlignCenter);

    lstSelect = makeNamed<QListWidget>(this, "lstSelect");
    lstSelect->setViewMode(QListView::IconMode);
    lstSelect->setIconSize(QSize(32, 32));
    lstSelect->setMovement(QListView::Static);
    lstSelect->setResizeMode(QListView::Adjust);
    lstSelect->setWordWrap(true);
    lstSelect->setGridSize(QSize(96, 66));
    lstSelect->setSelectionMode(QAbstractItemView::SingleSelection);
    lstSelect->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstSelect->viewport()->installEventFilter(this);
    lstSelect->installEventFilter(this);

    Picture1 = makeNamed<QLabel>(this, "Picture1");
    Picture1->setPixmap(logoPixmap());

    cmdExit = makeNamed<QPushButton>(this, "cmdExit", QStringLiteral("Exit"));

    placeControls(this, mainLayout);
    setTabOrder(lstSelect, cmdExit);
    lstSelect->setFocus();

    connect(cmdExit, &QPushButton::clicked, this, &MainWindow::cmdExit_Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::Form_Load()
{
    for (const ToolEntry& entry : toolEntries) {
        auto* item =
            new QListWidgetItem(toolWindowIcon(entry.icon), QString::fromLatin1(entry.text));
        item->setData(positionRole, entry.position);
        item->setData(toolKeyRole, QString::fromLatin1(entry.key));
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        lstSelect->addItem(item);
    }
}

Tool* MainWindow::tool(int position)
{
    for (std::size_t i = 0; i < std::size(toolEntries); ++i) {
        if (toolEntries[i].position != position)
            continue;
        std::unique_ptr<Tool>& slot = m_tools[i];
        if (!slot)
            slot = toolEntries[i].makeTool();
        return slot.get();
    }
    return nullptr;
}

void MainWindow::openPicture(const QString& path)
{
    // Found by its maker, which makes a ConverterTool: the cast is sound.
    for (const ToolEntry& entry : toolEntries) {
        if (entry.makeTool == pictureConverter<ConverterKind::BlackWhite>)
            static_cast<ConverterTool*>(tool(entry.position))->openWithPicture(this, path);
    }
}

void MainWindow::lstSelect_DblClick()
{
    // The selection decides, not the point clicked: the first selected entry in
    // list order, or nothing at all.
    for (int row = 0; row < lstSelect->count(); ++row) {
        const QListWidgetItem* item = lstSelect->item(row);
        if (!item->isSelected())
            continue;
        if (Tool* chosen = tool(item->data(positionRole).toInt()))
            chosen->open(this);
        return;
    }
}

bool MainWindow::lstSelect_KeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    lstSelect_DblClick();
    return true;
}

void MainWindow::cmdExit_Click()
{
    close();
    QCoreApplication::quit();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstSelect->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        lstSelect_DblClick();
        return true;
    }
    if (watched == lstSelect && event->type() == QEvent::KeyPress &&
        lstSelect_KeyDown(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QWidget::eventFilter(watched, event);
}
