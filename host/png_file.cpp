#include "png_file.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace host {

bool writePng(const std::string& path, vexlan::VizeBitmap* bitmap, std::string& error) {
    const uint32_t* bits = bitmap ? bitmap->getBits() : nullptr;
    if (!bits) {
        error = "nothing was drawn to write to " + path;
        return false;
    }
    const int width = bitmap->getWidth(), height = bitmap->getHeight(), span = bitmap->getRowSpan();
    std::vector<unsigned char> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t colour = bits[size_t(y) * span + x];
            unsigned char* out = &rgb[(size_t(y) * width + x) * 3];
            out[0] = (colour >> 16) & 0xFF;
            out[1] = (colour >> 8) & 0xFF;
            out[2] = colour & 0xFF;
        }
    }
    if (!stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3)) {
        std::remove(path.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace host
