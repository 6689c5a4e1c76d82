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

#include <QAction>
#include <QApplication>
#include <QImageWriter>
#include <QMenu>
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
QImage samplePicture(QSize size = {300, 200})
{
    std::mt19937 random(1);
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const int grey = std::min(255, (x * 600 / size.width() + y * 200 / size.height()) / 2 +
                                               int(random() % 32));
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
    explicit OpenConverter(ConverterKind kind, Dithering dithering = Dithering::None,
                           const QImage& picture = samplePicture(), const char* format = "bmp")
        : dialog(folder.filePath(QStringLiteral("sample.") + QLatin1String(format))),
          window(std::make_unique<PictureConverter>(chooseDithering(kind, dithering), layers,
                                                    dialog, messages, nullptr))
    {
        QImageWriter writer(folder.filePath(QStringLiteral("sample.") + QLatin1String(format)),
                            format);
        writer.setQuality(90);
        writer.write(picture);
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

// A choice of placement in the menu: the picture read again and placed, then
// Convert. Fit and Fill take turns, so that each choice reads the picture,
// here one of a camera's size, 2560 × 1600: 0 a JPEG (quality 90), 1 a PNG.
void ChoosePlacement(benchmark::State& state)
{
    const bool png = state.range(0) == 1;
    OpenConverter converter(ConverterKind::BlackWhite, Dithering::None, samplePicture({2560, 1600}),
                            png ? "png" : "jpg");
    QAction* fit = nullptr;
    QAction* fill = nullptr;
    for (QAction* action :
         converter.window->findChild<QMenu*>(QStringLiteral("mnuView"))->actions()) {
        if (action->text() == QStringLiteral("Fit"))
            fit = action;
        if (action->text() == QStringLiteral("Fill"))
            fill = action;
    }
    bool toFit = true;
    for (auto _ : state) {
        (toFit ? fit : fill)->trigger();
        toFit = !toFit;
    }
}

} // namespace

// 0: frmPicBW, 1: frmPicGS; then 0 none (the threshold), 1 ordered, 2
// Floyd–Steinberg, 3 Atkinson.
BENCHMARK(Convert)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 1, 1), benchmark::CreateDenseRange(0, 3, 1)})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ConvertAndPaint)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(ChoosePlacement)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

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
