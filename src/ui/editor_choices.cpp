#include "ui/editor_choices.h"

#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

constexpr int32_t kSmallestFftShift = 7;

constexpr const char* kModeTexts[] = {"EQ", "Gate", "Compressor", "Convolve L/R", "Subtract"};
constexpr const char* kFftSizeTexts[] = {"128", "256", "512", "1024", "2048", "4096", "8192", "16384", "32768"};
constexpr const char* kEditModeTexts[] = {"Points (flat)", "Precise", "Points (smooth)"};
constexpr const char* kQualityTexts[] = {"Best quality", "Legacy 2007-2016 (less band precision)",
                                         "Legacy 2006-2007 (0.x mode - weird bands)"};

template <int32_t N>
constexpr ComboItems itemsOf(const char* const (&texts)[N]) {
    return {texts, N};
}

}  // namespace

const ComboItems kModeItems = itemsOf(kModeTexts);
const ComboItems kFftSizeItems = itemsOf(kFftSizeTexts);
const ComboItems kEditModeItems = itemsOf(kEditModeTexts);
const ComboItems kQualityItems = itemsOf(kQualityTexts);

int32_t fftSizeItem(int32_t fftSize) {
    if (!isValidFftSize(fftSize)) return -1;
    int32_t shift = 0;
    while ((1 << shift) < fftSize) ++shift;
    return shift - kSmallestFftShift;
}

int32_t fftSizeForItem(int32_t item) {
    return item >= 0 && item < kFftSizeItems.count ? 1 << (item + kSmallestFftShift) : 0;
}

}  // namespace vexlan
