#include "fuzz_host.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "shell/host_api.h"

namespace fuzzhost {

namespace {

void requiredHostFunction() {}

}  // namespace

intptr_t VST_CALL callback(vexlan::AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float) {
    if (opcode != vexlan::kHostLookupOpcode || index != vexlan::kHostLookupIndex || !ptr) return 0;
    const char* name = static_cast<const char*>(ptr);
    for (const vexlan::HostFunctionName& function : vexlan::kHostFunctionNames) {
        if (function.required && std::strcmp(function.name, name) == 0) {
            return reinterpret_cast<intptr_t>(&requiredHostFunction);
        }
    }
    return 0;
}

void require(bool condition) {
    if (!condition) std::abort();
}

void checkReadFields(const vexlan::PluginInstance& instance) {
    using namespace vexlan;
    const int32_t fftSize = instance.fftSize;
    require(fftSize >= kMinFftSize && fftSize <= kMaxFftSize && (fftSize & (fftSize - 1)) == 0);
    require(instance.editMode >= 0 && instance.editMode <= 2);
    require(instance.processingMode >= 0 && instance.processingMode <= 4);
    require(instance.pointCount >= 0 && instance.pointCount <= kMaxGraphPoints);
    require(instance.graphMinDb >= -150.0 && instance.graphMinDb <= -3.0);
    require(instance.graphMaxDb >= 0.0 && std::isfinite(instance.graphMaxDb));
    for (double value : instance.paramValues) require(std::isfinite(value));
    // One sum rather than a test per value: x - x is NaN exactly when x is not
    // finite, and the reader target runs this on every input.
    float sum = 0.0f;
    for (float gain : instance.binGainTable) sum += gain - gain;
    require(sum == 0.0f);
}

void checkLoadedSettings(const vexlan::PluginInstance& instance) {
    checkReadFields(instance);
    require(instance.effect.initialDelay == instance.fftSize);
    require(instance.effect.numInputs >= 1 && instance.effect.numInputs <= vexlan::kMaxChannels);
    require(instance.effect.numOutputs == instance.effect.numInputs);
}

}  // namespace fuzzhost
