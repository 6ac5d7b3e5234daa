// What the command line shows: one-line errors and a progress bar that
// appears only when stderr is a terminal.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// Prints "vexlan-host: MESSAGE" on stderr; returns the exit status 1.
int reportError(const std::string& message);

struct ProgressBar {
    bool visible = false;
    int shownPercent = -1;
};

ProgressBar startProgressBar();
void showProgress(ProgressBar& bar, size_t done, size_t total);
// Clears the bar's line so the summary starts on a clean one.
void finishProgressBar(ProgressBar& bar);

}  // namespace host
