#include "shell/process_state.h"

namespace vexlan {

ProcessState processState;

int32_t noteOctaveOffset() {
    return processState.noteOctaveOffsetSource ? *processState.noteOctaveOffsetSource : 1;
}

intptr_t callHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return processState.hostCallback ? processState.hostCallback(effect, opcode, index, value, ptr, opt) : 0;
}

}  // namespace vexlan
