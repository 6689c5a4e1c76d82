// Convert of each converter window must finish well within one frame (16 ms):
// it runs on every slider step and menu choice, reading the source preview,
// converting it (with each dithering), writing all 8192 pixels of the
// converted preview and stepping the progress bar.

#include "converters/converter_choices.h"
#include "converters/picture_converter.h"
#include "ui/drawing_area.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/window_font.h"

#include <QApplication>
#include <QImageWriter>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

// Answers every dialog with one path.
class FixedFileDialog : public FileDialog
{
public:
    explicit FixedFileDialog(QString path) : m_path(std::move(path)) {}
    QString run(QWidget*, const FileDialogRequest&) override { return m_path; }

private:
    QString m_path;
};

// A photograph-like picture: smooth gradients with some noise, so that every
// grey band and both colours occur.
QImage samplePicture()
{
    std::mt19937 random(1);
    QImage picture(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const int grey = std::min(255, (x * 2 + y) / 2 + int(random() % 32));
            picture.setPixel(x, y, qRgb(grey, grey, (grey * 3) % 256));
        }
    }
    return picture;
}

// The window takes its dithering from the settings, as at a new opening.
ConverterKind chooseDithering(ConverterKind kind, Dithering dithering)
{
    ConverterChoices choices;
    choices.tone.dithering = dithering;
    saveConverterChoices(kind == ConverterKind::Greyscale ? "frmPicGS" : "frmPicBW", choices);
    return kind;
}

struct OpenConverter
{
    explicit OpenConverter(ConverterKind kind, Dithering dithering = Dithering::None)
        : dialog(folder.filePath(QStringLiteral("sample.bmp"))),
          window(std::make_unique<PictureConverter>(chooseDithering(kind, dithering), layers,
                                                    dialog, messages, nullptr))
    {
        QImageWriter(folder.filePath(QStringLiteral("sample.bmp")), "bmp").write(samplePicture());
        window->show();
        window->findChild<QPushButton*>(QStringLiteral("cmdLoad"))->click();
        QCoreApplication::processEvents();
    }
    QTemporaryDir folder;
    GreyLayers layers;
    FixedFileDialog dialog;
    SystemMessageBox messages;
    std::unique_ptr<PictureConverter> window;
};

ConverterKind kindOf(const benchmark::State& state)
{
    return static_cast<ConverterKind>(state.range(0));
}

Dithering ditheringOf(const benchmark::State& state)
{
    return allDitherings[std::size_t(state.range(1))];
}

// Reading the source, converting, writing the preview's image and the
// progress bar's 64 steps.
void Convert(benchmark::State& state)
{
    OpenConverter converter(kindOf(state), ditheringOf(state));
    for (auto _ : state)
        converter.window->Convert();
    state.SetItemsProcessed(state.iterations() * 128 * 64);
}

// The same, followed by the repaint that puts the result on the screen.
void ConvertAndPaint(benchmark::State& state)
{
    OpenConverter converter(kindOf(state));
    for (auto _ : state) {
        converter.window->Convert();
        QCoreApplication::processEvents();
    }
}

} // namespace

// 0: frmPicBW, 1: frmPicGS; then 0 none (the threshold), 1 ordered, 2
// Floyd–Steinberg, 3 Atkinson.
BENCHMARK(Convert)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 1, 1), benchmark::CreateDenseRange(0, 3, 1)})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ConvertAndPaint)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The windows keep their menu's choices in the settings: these go to a
    // folder of the benchmark's own, never the user's.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    installWindowFont();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
