#include "ui/progress_steps.h"

#include <QProgressBar>

void stepThroughUnseen(QProgressBar* bar, int steps)
{
    // Before each step the bar measures its groove and formats its text to
    // learn whether the step would change what it paints, which costs more
    // than the whole conversion it reports. A bar that shows its bare value
    // knows at once that every step does, and with painting off nothing
    // comes of it; the bar's own format and text setting come back after.
    const QString format = bar->format();
    const bool textVisible = bar->isTextVisible();
    bar->setUpdatesEnabled(false);
    bar->setFormat(QStringLiteral("%v"));
    bar->setTextVisible(true);
    for (int step = 0; step < steps; ++step)
        bar->setValue(step);
    bar->setValue(0);
    bar->setTextVisible(textVisible);
    bar->setFormat(format);
    bar->setUpdatesEnabled(true);
}
