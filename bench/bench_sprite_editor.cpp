// Each event handler of a sprite editor must finish well within one frame
// (16 ms): painting a cell, the release that rewrites the code box, Clear, and
// the double-click that reads a pasted text back, up to a megabyte.

#include "editors/sprite_editor.h"
#include "ui/clipboard.h"
#include "ui/drawing_area.h"
#include "ui/window_font.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct OpenEditor
{
    explicit OpenEditor(SpriteKind kind)
        : window(std::make_unique<SpriteEditor>(spriteVariant(kind), bits, clipboard, nullptr))
    {
        window->show();
        canvas = window->findChild<DrawingArea*>(QStringLiteral("picSprite"));
        code = window->findChild<QPlainTextEdit*>(QStringLiteral("txtCode"));
    }
    SpriteLayers bits;
    SystemClipboard clipboard;
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

} // namespace

BENCHMARK(picSprite_MouseDownAndUp)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(cmdClear_Click)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(txtCode_DblClick)->Arg(402)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);

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
