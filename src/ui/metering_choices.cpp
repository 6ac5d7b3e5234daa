#include "ui/metering_choices.h"

#include <cstdio>

namespace vexlan {

namespace {

constexpr const char* kFixedItems[kMeteringFixedItems] = {"Average", "Sum", "Max", "None"};
// A single channel's item is its source minus this.
constexpr int32_t kChannelItemOffset = kMeteringChannelBase - kMeteringFixedItems;

int32_t pairCount(const MeteringChoices& choices) { return choices.pairs ? choices.channelCount / 2 : 0; }

}  // namespace

MeteringChoices meteringChoices(int32_t channelCount, int32_t channelLayout) {
    return {channelCount, channelLayout != 1 && channelCount >= 2};
}

int32_t meteringItemCount(const MeteringChoices& choices) {
    return kMeteringFixedItems + choices.channelCount + pairCount(choices);
}

void meteringItemText(const MeteringChoices& choices, int32_t item, char* text, int capacity) {
    if (!text || capacity <= 0) return;
    text[0] = '\0';
    const int32_t n = choices.channelCount;
    if (item < 0 || item >= meteringItemCount(choices)) return;
    if (item < kMeteringFixedItems) {
        std::snprintf(text, size_t(capacity), "%s", kFixedItems[item]);
    } else if (item < kMeteringFixedItems + n) {
        std::snprintf(text, size_t(capacity), "%d", int(item - kMeteringFixedItems + 1));
    } else {
        const int32_t pair = item - kMeteringFixedItems - n;
        std::snprintf(text, size_t(capacity), "%d+%d", int(2 * pair + 1), int(2 * pair + 2));
    }
}

int32_t meteringItemForSource(const MeteringChoices& choices, int32_t source) {
    const int32_t n = choices.channelCount;
    if (source >= 0 && source < kMeteringFixedItems) return source;
    const int32_t channel = source - kMeteringChannelBase;
    if (channel >= 0 && channel < n) return kMeteringFixedItems + channel;
    const int32_t pairOffset = source - kMeteringPairBase;
    if (pairOffset >= 0 && pairOffset % 2 == 0 && pairOffset / 2 < pairCount(choices)) {
        return kMeteringFixedItems + n + pairOffset / 2;
    }
    return -1;
}

bool meteringSourceForItem(const MeteringChoices& choices, int32_t item, int32_t& source) {
    const int32_t n = choices.channelCount;
    if (item < 0) return false;
    if (item < kMeteringFixedItems) {
        source = item;
    } else if (item < kMeteringFixedItems + n) {
        source = kChannelItemOffset + item;
    } else if (item < meteringItemCount(choices)) {
        source = 2 * (item - n + kMeteringFixedItems);
    } else {
        return false;
    }
    return true;
}

}  // namespace vexlan
