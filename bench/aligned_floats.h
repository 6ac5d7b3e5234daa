// Benchmark buffers start on a 64-byte line, as the plug-in's own buffers
// do. A transform on data that is only 16-byte aligned (what the heap may
// hand a std::vector) runs about a tenth slower, so otherwise the heap's
// layout would decide the comparisons.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

struct FreeAligned {
    void operator()(float* p) const { std::free(p); }
};

using AlignedFloats = std::unique_ptr<float[], FreeAligned>;

// count floats, zeroed.
inline AlignedFloats alignedFloats(size_t count) {
    constexpr size_t kLine = 64;
    const size_t bytes = (count * sizeof(float) + kLine - 1) / kLine * kLine;
    void* block = std::aligned_alloc(kLine, bytes);
    if (!block) throw std::bad_alloc();
    return AlignedFloats(static_cast<float*>(std::memset(block, 0, bytes)));
}
