// The host dispatcher and the named requests behind its cases.
#pragma once

#include <cstdint>

#include "shell/plugin_instance.h"

namespace vexlan {

intptr_t VST_CALL dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);

constexpr const char* kEffectName = "Vexlan (FFT EQ+Dynamics Processor)";
constexpr const char* kVendorName = "Quovar";
constexpr int32_t kIdentifyCode = fourCharCode('N', 'v', 'E', 'f');
constexpr intptr_t kCanDoYes = intptr_t(0xBEEF0000u);
constexpr intptr_t kVendorHandled = 0xBEEF;

// Vendor-specific request indices.
constexpr int32_t kVendorParameterRange = int32_t(0xDEADBEF0u);
constexpr int32_t kVendorFormatValue = 7;
constexpr int32_t kVendorEmbeddedView = 16;
constexpr int32_t kVendorChannelConfig = 69;
// Our own request, which the maker's host never sends: value 1 switches the
// automatic noise profile on as the editor's check box does (Precise edit
// mode, the table zeroed, learnt from the Subtract mode's frames from then
// on), value 0 switches it off and keeps what was learnt. Lets a host
// without our editor learn a profile. Result kVendorHandled.
constexpr int32_t kVendorNoiseLearning = fourCharCode('V', 'x', 'N', 'L');

// Copies at most `maxChars` characters and always terminates.
void copyText(char* destination, const char* source, int maxChars);

intptr_t canDo(const char* capability);
void fillPinProperties(const PluginInstance& instance, int32_t pin, bool output,
                       VstPinProperties& properties);
intptr_t vendorSpecific(PluginInstance& instance, int32_t index, intptr_t value, void* ptr, float opt);

}  // namespace vexlan
