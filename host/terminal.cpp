#include "terminal.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace host {

namespace {

constexpr int kBarWidth = 40;

}  // namespace

int reportError(const std::string& message) {
    std::fprintf(stderr, "vexlan-host: %s\n", message.c_str());
    return 1;
}

ProgressBar startProgressBar() {
    ProgressBar bar;
    bar.visible = isatty(fileno(stderr)) != 0;
    return bar;
}

void showProgress(ProgressBar& bar, size_t done, size_t total) {
    if (!bar.visible || total == 0) return;
    const int percent = int(done * 100 / total);
    if (percent == bar.shownPercent) return;
    bar.shownPercent = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", kBarWidth - filled, "",
                 percent);
    std::fflush(stderr);
}

void finishProgressBar(ProgressBar& bar) {
    if (!bar.visible || bar.shownPercent < 0) return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 8, "");
    std::fflush(stderr);
    // A batch draws the bar again after each file's line.
    bar.shownPercent = -1;
}

}  // namespace host
