// The metering selector's items and their mapping to `meteringSource`:
// "Average", "Sum", "Max", "None", one item per input channel, then one per
// stereo pair when pairs are offered.
#pragma once

#include <cstdint>

namespace vexlan {

struct MeteringChoices {
    int32_t channelCount;  // the AEffect's numInputs
    bool pairs;            // layout other than 1 and at least two channels
};

constexpr int32_t kMeteringFixedItems = 4;
// meteringSource of single channel c (from 0) and of the pair 2k, 2k + 1.
constexpr int32_t kMeteringChannelBase = 144;
constexpr int32_t kMeteringPairBase = 16;

MeteringChoices meteringChoices(int32_t channelCount, int32_t channelLayout);
int32_t meteringItemCount(const MeteringChoices& choices);
// Item text, e.g. "Max", "3" or "3+4"; empty for an item outside the list.
void meteringItemText(const MeteringChoices& choices, int32_t item, char* text, int capacity);
// The item that shows `source`, or -1 when none does (the selection stays).
int32_t meteringItemForSource(const MeteringChoices& choices, int32_t source);
// The source item `item` selects; false for an item outside the list.
bool meteringSourceForItem(const MeteringChoices& choices, int32_t item, int32_t& source);

}  // namespace vexlan
