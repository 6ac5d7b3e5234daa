// The editor's fixed selectors: their items in order and how an item maps to
// the state it stands for.
#pragma once

#include <cstdint>

namespace vexlan {

struct ComboItems {
    const char* const* texts;
    int32_t count;
};

// Item index = processingMode.
extern const ComboItems kModeItems;
// Item k = FFT size 1 << (k + 7).
extern const ComboItems kFftSizeItems;
// Item index = edit mode.
extern const ComboItems kEditModeItems;
// Item index = quality choice (graph/quality_mode.h).
extern const ComboItems kQualityItems;

// log2(fftSize) - 7 for a valid size, else -1.
int32_t fftSizeItem(int32_t fftSize);
// 0 for an item outside the list.
int32_t fftSizeForItem(int32_t item);

}  // namespace vexlan
