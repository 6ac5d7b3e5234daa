// Little-endian 32-bit fields of the saved state, read and written byte by
// byte so the layout does not depend on the machine's byte order or on the
// alignment of the host's block.
#pragma once

#include <cstdint>
#include <cstring>

namespace vexlan {

inline uint32_t loadUint32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

inline int32_t loadInt32(const uint8_t* bytes) {
    const uint32_t bits = loadUint32(bytes);
    int32_t value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline float loadFloat32(const uint8_t* bytes) {
    const uint32_t bits = loadUint32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The store functions return the byte after the field.
inline uint8_t* storeUint32(uint8_t* bytes, uint32_t value) {
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
    bytes[2] = uint8_t(value >> 16);
    bytes[3] = uint8_t(value >> 24);
    return bytes + 4;
}

inline uint8_t* storeInt32(uint8_t* bytes, int32_t value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return storeUint32(bytes, bits);
}

inline uint8_t* storeFloat32(uint8_t* bytes, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return storeUint32(bytes, bits);
}

}  // namespace vexlan
