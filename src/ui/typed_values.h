// What text typed into the editor's edit boxes stores. Text that is no
// number reads as 0 (the C library's conversion) and is then limited like
// any number.
#pragma once

#include <cstdint>

namespace vexlan {

// Graph maximum: never below 0 dB.
double typedGraphMaxDb(const char* text);
// Graph minimum: within -150..-3 dB.
double typedGraphMinDb(const char* text);
// A parameter's stored value. Decibel: 0 for text beginning with "-i" in any
// case ("-inf"), else the amplitude of the typed dB. Linear: the typed real
// value normalised by the parameter's range, within 0..1.
double typedParameterValue(int32_t index, const char* text);

}  // namespace vexlan
