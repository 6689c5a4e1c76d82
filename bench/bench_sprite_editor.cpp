// Each event handler of a sprite editor must finish well within one frame
// (16 ms): painting a cell, the release that rewrites the code box, Clear,
// the double-click that reads a pasted text back, up to a megabyte, the edit
// keys on the canvas, undo and redo, and a dropped picture.

#include "editors/sprite_editor.h"
#include "ui/clipboard.h"
#include "ui/drawing_area.h"
#include "ui/message_box.h"
#include "ui/window_font.h"

#include <QApplication>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct OpenEditor
{
    explicit OpenEditor(SpriteKind kind)
        : window(std::make_unique<SpriteEditor>(spriteVariant(kind), bits, clipboard, messages,
                                                nullptr))
    {
        window->show();
        canvas = window->findChild<DrawingArea*>(QStringLiteral("picSprite"));
        code = window->findChild<QPlainTextEdit*>(QStringLiteral("txtCode"));
    }
    SpriteLayers bits;
    SystemClipboard clipboard;
    SystemMessageBox messages;
    std::unique_ptr<SpriteEditor> window;
    DrawingArea* canvas = nullptr;
    QPlainTextEdit* code = nullptr;
};

SpriteKind kindOf(const benchmark::State& state)
{
    return static_cast<SpriteKind>(state.range(0));
}

void picSprite_MouseDownAndUp(benchmark::State& state)
{
    OpenEditor editor(kindOf(state));
    int cell = 0;
    for (auto _ : state) {
        const QPoint at(12 + 25 * (cell % 8), 12 + 25 * (cell / 8 % 8));
        QTest::mousePress(editor.canvas, Qt::LeftButton, {}, at);
        QTest::mouseRelease(editor.canvas, Qt::LeftButton, {}, at);
        ++cell;
    }
}

void cmdClear_Click(benchmark::State& state)
{
    OpenEditor editor(kindOf(state));
    auto* clear = editor.window->findChild<QPushButton*>(QStringLiteral("cmdClear"));
    for (auto _ : state)
        clear->click();
}

void txtCode_DblClick(benchmark::State& state)
{
    OpenEditor editor(SpriteKind::GreyscaleMasked);
    // A pasted text of the given size, lines of comments with the sprite's digits
    // at the very end, so every character is looked at.
    const auto size = static_cast<qsizetype>(state.range(0));
    QString text = QStringLiteral("; pasted from somewhere else, line after line .db $ff\n")
                       .repeated(size / 52);
    text += QString(192, u'1');
    editor.code->setPlainText(text);
    for (auto _ : state)
        QTest::mouseDClick(editor.code->viewport(), Qt::LeftButton, {}, {5, 5});
    state.SetBytesProcessed(state.iterations() * size);
}

// Each edit key on a canvas of painted cells: the canvas read, edited and
// painted anew, the code box rewritten and the change recorded.
void picSprite_KeyDown(benchmark::State& state)
{
    OpenEditor editor(kindOf(state));
    for (int cell = 0; cell < 64; cell += 3) {
        const QPoint at(12 + 25 * (cell % 8), 12 + 25 * (cell / 8));
        QTest::mouseClick(editor.canvas, Qt::LeftButton, {}, at);
    }
    const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Up, Qt::Key_H, Qt::Key_V, Qt::Key_R, Qt::Key_I};
    std::size_t next = 0;
    for (auto _ : state)
        QTest::keyClick(editor.canvas, keys[next++ % std::size(keys)]);
}

// Ctrl+Z and Ctrl+Y in turn, after a key edit: the canvas repainted from the
// history and the code box rewritten.
void Form_KeyDown(benchmark::State& state)
{
    OpenEditor editor(kindOf(state));
    QTest::mouseClick(editor.canvas, Qt::LeftButton, {}, {12, 12});
    QTest::keyClick(editor.canvas, Qt::Key_I);
    bool undo = true;
    for (auto _ : state) {
        QTest::keyClick(editor.canvas, undo ? Qt::Key_Z : Qt::Key_Y, Qt::ControlModifier);
        undo = !undo;
    }
}

// A dropped 16 × 16 PNG: read, its corner mapped to the nearest colours and
// painted, the code box rewritten.
void Form_OLEDragDrop(benchmark::State& state)
{
    OpenEditor editor(kindOf(state));
    QTemporaryDir folder;
    QImage picture(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            picture.setPixel(x, y, qRgba(x * 16, y * 16, (x + y) * 8, 255 - x * 8));
    const QString path = folder.filePath(QStringLiteral("sprite.png"));
    picture.save(path);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    for (auto _ : state) {
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(editor.canvas, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(editor.canvas, &drop);
    }
}

} // namespace

BENCHMARK(picSprite_MouseDownAndUp)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(cmdClear_Click)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(txtCode_DblClick)->Arg(402)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(picSprite_KeyDown)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(Form_KeyDown)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(Form_OLEDragDrop)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installWindowFont();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
