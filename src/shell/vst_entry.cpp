// The VST 2 boundary: the library entry, VSTPluginMain and the dispatcher.
// Nothing is thrown across it; every text to the host is bounded.
#include "dsp/block_kernels.h"
#include "dsp/fft.h"
#include "shell/builtin_host.h"
#include "shell/dispatcher.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "shell/process_state.h"
#include "shell/state_chunk.h"

#if defined(_WIN32)
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) vexlan::processState.moduleHandle = module;
    return TRUE;
}
#endif

namespace vexlan {

namespace {

void readHostConfiguration() {
    processState.noteOctaveOffsetSource = nullptr;
    if (!processState.hostApi.getConfigVar) return;
    int size = 0;
    const void* value = processState.hostApi.getConfigVar("midioctoffs", &size);
    if (value && size == 4) processState.noteOctaveOffsetSource = static_cast<const int32_t*>(value);
}

bool fetchHostFunctions() {
    if (processState.hostApiFetched) return true;
    buildFftTables();
    // Picks the loop set, which builds its own tables, before any audio.
    blockKernels();
    HostApi api{};
    const HostLookup lookup = fetchHostApi(processState.hostCallback, api);
    if (lookup == HostLookup::Incomplete) return false;
    // A host without any of them gets the built-in set for every name, so
    // its functions never mix with the host's.
    if (lookup == HostLookup::Foreign) fillBuiltInHostApi(api);
    processState.hostApi = api;
    processState.builtInHostApi = lookup == HostLookup::Foreign;
    readHostConfiguration();
    processState.hostApiFetched = true;
    return true;
}

// Requests that need no instance; returns true when `opcode` was one of them.
bool answerWithoutInstance(int32_t opcode, int32_t index, void* ptr, intptr_t& result) {
    char* text = static_cast<char*>(ptr);
    const bool validParam = index >= 0 && index < kParameterCount;
    result = 0;
    switch (opcode) {
        case effGetProgramName:
        case effGetProgramNameIndexed:
            copyText(text, "", kParamTextMax);
            return true;
        case effGetParamLabel:
            copyText(text, validParam ? kParameters[index].unit : "", kParamTextMax);
            return true;
        case effGetParamName:
            copyText(text, validParam ? kParameters[index].name : "", kParamTextMax);
            return true;
        case effGetEffectName:
        case effGetProductString:
            copyText(text, kEffectName, kNameTextMax);
            return true;
        case effGetVendorString:
            copyText(text, kVendorName, kVendorTextMax);
            return true;
        case effIdentify:
            result = kIdentifyCode;
            return true;
        case effGetPlugCategory:
            result = kPlugCategEffect;
            return true;
        case effCanDo:
            result = canDo(text);
            return true;
        case effGetTailSize:
            result = 2;
            return true;
        default:
            return false;
    }
}

}  // namespace

intptr_t VST_CALL dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt) {
    intptr_t result = 0;
    if (answerWithoutInstance(opcode, index, ptr, result)) return result;
    PluginInstance* instance = instanceOf(effect);
    if (!instance) return 0;
    PluginInstance& self = *instance;

    switch (opcode) {
        case effClose:
            destroyInstance(instance);
            return 0;
        case effGetParamDisplay:
            if (ptr) {
                const double current = index >= 0 && index < kParameterCount ? getParameter(effect, index) : 0.0;
                formatParameter(index, current, static_cast<char*>(ptr), kParamTextMax + 1);
            }
            return 0;
        case effSetSampleRate: {
            LockHold state(self.stateLock);
            self.sampleRate = opt;
            resetAnalysis(self, true);
            return 0;
        }
        case effMainsChanged:
        case effStopProcess:
            if (value == 0) {
                LockHold state(self.stateLock);
                resetProcessing(self);
            }
            return 0;
        case effEditOpen:
            return openEditorWindow(self, ptr) ? 1 : 0;
        case effEditClose:
            destroyEditorWindow(self);
            return 0;
        case effGetChunk:
            return saveStateChunk(self, static_cast<void**>(ptr));
        case effSetChunk:
            return loadStateChunk(self, ptr, int32_t(value));
        case effCanBeAutomated:
            return index >= 0 && index < effect->numParams ? 1 : 0;
        case effGetInputProperties:
        case effGetOutputProperties:
            if (!ptr || index < 0 || index >= effect->numInputs) return 0;
            fillPinProperties(self, index, opcode == effGetOutputProperties, *static_cast<VstPinProperties*>(ptr));
            return 1;
        case effVendorSpecific:
            return vendorSpecific(self, index, value, ptr, opt);
        default:
            return 0;
    }
}

}  // namespace vexlan

extern "C" vexlan::AEffect* VST_CALL VSTPluginMain(vexlan::HostCallback hostCallback) {
    using namespace vexlan;
    if (!hostCallback) return nullptr;
    processState.hostCallback = hostCallback;
    if (!fetchHostFunctions()) return nullptr;
    PluginInstance* instance = createInstance();
    return instance ? &instance->effect : nullptr;
}
