// The VST 2 binary interface as hosts see it: the AEffect record, the opcodes
// this plug-in answers or sends, and the pin properties record. Written from
// the published facts of the interface; field order and widths are the ABI.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VST_CALL __cdecl
#else
#define VST_CALL
#endif

namespace vexlan {

struct AEffect;

using HostCallback = intptr_t(VST_CALL*)(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt);
using DispatcherProc = intptr_t(VST_CALL*)(AEffect* effect, int32_t opcode, int32_t index,
                                           intptr_t value, void* ptr, float opt);
using ProcessProc = void(VST_CALL*)(AEffect* effect, float** inputs, float** outputs,
                                    int32_t sampleFrames);
using ProcessDoubleProc = void(VST_CALL*)(AEffect* effect, double** inputs, double** outputs,
                                          int32_t sampleFrames);
using SetParameterProc = void(VST_CALL*)(AEffect* effect, int32_t index, float value);
using GetParameterProc = float(VST_CALL*)(AEffect* effect, int32_t index);

constexpr int32_t fourCharCode(char a, char b, char c, char d) {
    return (int32_t(uint8_t(a)) << 24) | (int32_t(uint8_t(b)) << 16) | (int32_t(uint8_t(c)) << 8) |
           int32_t(uint8_t(d));
}

constexpr int32_t kEffectMagic = fourCharCode('V', 's', 't', 'P');

struct AEffect {
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;  // accumulating process, obsolete
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t reserved1;
    intptr_t reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum EffectFlags : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsNoSoundInStop = 1 << 9,
};

enum EffectOpcode : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effStartProcess = 71,
    effStopProcess = 72,
};

enum HostOpcode : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCanDo = 37,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

// The host maker's extension lookup: callback(null, kHostLookupOpcode,
// kHostLookupIndex, 0, name, 0) returns the function's address or 0.
constexpr int32_t kHostLookupOpcode = int32_t(0xDEADBEEFu);
constexpr int32_t kHostLookupIndex = int32_t(0xDEADF00Du);

constexpr int32_t kPlugCategEffect = 1;
constexpr int32_t kSpeakerArrStereo = 1;

enum PinFlags : int32_t {
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2,
};

struct VstPinProperties {
    char label[64];
    int32_t flags;
    int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};

// Maximum text lengths (characters, excluding the terminator) of host buffers.
constexpr int kParamTextMax = 255;
constexpr int kNameTextMax = 47;
constexpr int kVendorTextMax = 31;
constexpr int kPinLabelBytes = 64;

}  // namespace vexlan

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
vexlan::AEffect* VST_CALL VSTPluginMain(vexlan::HostCallback hostCallback);
}
