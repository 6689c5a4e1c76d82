#pragma once

class QProgressBar;

// Sets `bar` to 0, 1, ..., steps - 1 and then back to 0, as a task of that
// many steps reports its progress, for a task that has already finished in
// far less than a frame: no step could ever be seen, so the bar is painted
// once, at 0. Every step still reaches the bar's signals and its accessible
// value, as the steps of a slower task would.
void stepThroughUnseen(QProgressBar* bar, int steps);
