#include <cstdio>
#include <cstring>

#include "graph/graph_control.h"
#include "graph/graph_model.h"
#include "shell/dispatcher.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "ui/graph_renderer.h"

namespace vexlan {

namespace {

constexpr const char* kCapabilities[] = {
    "hasQuovarExtensions", "hasQuovarViewAsConfig", "hasQuovarNoScrollUI",
    "hasQuovarEmbeddedUI", "supportsQuovarChanConfig",
};

// Embedded-view codes and the host's view record.
constexpr int kViewQuery = 0;
constexpr int kViewStart = 1;
constexpr int kViewStop = 2;
constexpr int kViewPaint = 15;
constexpr int kViewPreferredSize = 36;
constexpr int kViewUnknown = -1;

// The option truncated to an integer; NaN and values beyond int32 would be
// undefined to convert, so they become a code no request answers.
int embeddedViewCode(float option) {
    if (!(option >= -2147483648.0f && option < 2147483648.0f)) return kViewUnknown;
    return int(option);
}

struct ViewRecord {
    int32_t width;
    int32_t height;
    int32_t mouseX;
    int32_t mouseY;
};

ViewRecord readViewRecord(const void* record) {
    ViewRecord view;
    const char* bytes = static_cast<const char*>(record);
    std::memcpy(&view.width, bytes + 24, 4);
    std::memcpy(&view.height, bytes + 28, 4);
    std::memcpy(&view.mouseX, bytes + 32, 4);
    std::memcpy(&view.mouseY, bytes + 36, 4);
    return view;
}

intptr_t paintEmbeddedView(PluginInstance& instance, VizeBitmap* bitmap, const void* record) {
    if (!bitmap || !record) return 0;
    const ViewRecord view = readViewRecord(record);
    const int32_t scale = int32_t(bitmap->extended(kBitmapDisplayScale, nullptr));
    instance.embeddedScale = scale ? scale : 256;
    if (view.mouseX < 0 || view.mouseY < 0 || view.mouseX >= view.width || view.mouseY >= view.height) {
        instance.embeddedReadoutText[0] = '\0';
    }
    renderGraph(instance, nullptr, bitmap, VizeRect{0, 0, view.width, view.height}, view.mouseX, view.mouseY);
    return 1;
}

intptr_t parameterRange(intptr_t index, void* ptr) {
    if (!ptr) return 0;
    if (index < 0 || index >= kParameterCount) return 0;
    const double range[2] = {0.0, normalisedMaximum(int32_t(index))};
    std::memcpy(ptr, range, sizeof range);
    return kVendorHandled;
}

intptr_t formatValue(intptr_t index, void* ptr, float value) {
    if (!ptr) return 0;
    char* text = static_cast<char*>(ptr);
    if (index < 0 || index >= kParameterCount) {
        text[0] = '\0';
        return 0;
    }
    formatParameter(int32_t(index), value, text, kParamTextMax + 1);
    return kVendorHandled;
}

// The host's mouse on its embedded graph; the editor's own graph control,
// when open, repaints to show the same edit.
intptr_t embeddedMouse(PluginInstance& instance, int code, void* record) {
    if (!record) return 0;
    if (uint32_t(code) != kGraphRightUp) {
        int32_t mouse[2];  // x and y at bytes 32 and 36
        std::memcpy(mouse, static_cast<const char*>(record) + 32, sizeof mouse);
        const intptr_t position = intptr_t((uint32_t(mouse[1]) & 0xFFFF) << 16 | (uint32_t(mouse[0]) & 0xFFFF));
        const intptr_t result = embeddedGraphMessage(instance, uint32_t(code), position, record);
        if (uint32_t(code) == kGraphMouseMove && result <= 0) return 1;
    }
    invalidateGraphControl(instance, false);
    return 1;
}

intptr_t embeddedView(PluginInstance& instance, int code, intptr_t value, void* record) {
    switch (code) {
        case kViewQuery:
            return 1;
        case kViewStart:
        case kViewStop:
            instance.embeddedViewActive = code == kViewStart ? 1 : 0;
            resizeBuffer(instance.displayBuffers[2], 0, true);
            resizeBuffer(instance.displayBuffers[3], 0, true);
            return 1;
        case kViewPaint:
            return paintEmbeddedView(instance, reinterpret_cast<VizeBitmap*>(value), record);
        case kViewPreferredSize: {
            if (!record) return 1;
            const int32_t values[3] = {131072, 65536, 30};
            char* bytes = static_cast<char*>(record);
            std::memcpy(bytes + 0, &values[0], 4);
            std::memcpy(bytes + 4, &values[1], 4);
            std::memcpy(bytes + 24, &values[2], 4);
            return 1;
        }
        case kGraphMouseMove:
        case kGraphLeftDown:
        case kGraphLeftUp:
        case kGraphLeftDoubleClick:
        case kGraphRightDown:
        case kGraphRightUp:
            return embeddedMouse(instance, code, record);
        default:
            return 0;
    }
}

intptr_t channelConfig(PluginInstance& instance, int32_t* count, int32_t* layout, float opt) {
    bool changed = false;
    if (opt == 1.0f) {
        LockHold state(instance.stateLock);
        if (count && *count >= 1 && *count <= kMaxChannels && *count != instance.effect.numInputs) {
            setChannelCount(instance, *count);
            changed = true;
        }
        if (layout && (*layout == 1 || *layout == 2) && *layout != instance.channelLayout) {
            instance.channelLayout = *layout;
            changed = true;
        }
    }
    if (count) *count = instance.effect.numInputs;
    if (layout) *layout = instance.channelLayout == 1 ? 1 : 2;
    if (changed) postEditorMessage(instance, EDITOR_MSG_METERING);
    return 12;
}

intptr_t noiseLearning(PluginInstance& instance, intptr_t value) {
    LockHold state(instance.stateLock);
    instance.autoNoiseProfile = value != 0 ? 1 : 0;
    if (value != 0) clearForNoiseLearning(instance);
    // An open editor reloads its controls and shows the edit mode.
    instance.editorRefreshPending = 1;
    return kVendorHandled;
}

}  // namespace

void copyText(char* destination, const char* source, int maxChars) {
    if (!destination || maxChars < 0) return;
    std::snprintf(destination, size_t(maxChars) + 1, "%s", source ? source : "");
}

intptr_t canDo(const char* capability) {
    if (!capability) return 0;
    for (const char* known : kCapabilities) {
        if (std::strcmp(capability, known) == 0) return kCanDoYes;
    }
    return 0;
}

void fillPinProperties(const PluginInstance& instance, int32_t pin, bool output,
                       VstPinProperties& properties) {
    const char* base = output ? "Output" : "Input";
    const int32_t count = instance.effect.numInputs;
    const bool pairs = instance.channelLayout == 2;
    char* label = properties.label;
    const size_t capacity = kPinLabelBytes;
    if (count == 1) {
        std::snprintf(label, capacity, "%s", base);
    } else if (count == 2 && pairs) {
        std::snprintf(label, capacity, "%s %s", base, pin == 0 ? "L" : "R");
    } else if (pairs) {
        const int32_t pair = pin / 2 + 1;
        if ((pin | 1) < count) {
            std::snprintf(label, capacity, "%s %d %s", base, int(pair), (pin & 1) ? "R" : "L");
        } else {
            std::snprintf(label, capacity, "%s %d", base, int(pair));
        }
    } else {
        std::snprintf(label, capacity, "%s %d", base, int(pin + 1));
    }
    properties.flags = 0;
    properties.arrangementType = kSpeakerArrStereo;
    if (pairs && (pin & 1) == 0) properties.flags = kVstPinIsStereo;
}

intptr_t vendorSpecific(PluginInstance& instance, int32_t index, intptr_t value, void* ptr, float opt) {
    switch (index) {
        case kVendorParameterRange:
            return parameterRange(value, ptr);
        case kVendorFormatValue:
            return formatValue(value, ptr, opt);
        case kVendorEmbeddedView:
            return embeddedView(instance, embeddedViewCode(opt), value, ptr);
        case kVendorChannelConfig:
            return channelConfig(instance, reinterpret_cast<int32_t*>(value), static_cast<int32_t*>(ptr), opt);
        case kVendorNoiseLearning:
            return noiseLearning(instance, value);
        default:
            return 0;
    }
}

}  // namespace vexlan
