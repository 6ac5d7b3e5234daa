// The Win32 calls of the graph drawing, behind plain functions: the Windows
// build makes them (ui_platform_win32.cpp); the native build has no windows
// and answers with the defaults below (ui_platform.cpp).
#pragma once

#include <cstdint>

#include "shell/host_api.h"

namespace vexlan {

// A Win32 LOGFONTA, field for field, so it can be handed over as one.
struct FontDescription {
    int32_t height;
    int32_t width;
    int32_t escapement;
    int32_t orientation;
    int32_t weight;
    uint8_t italic;
    uint8_t underline;
    uint8_t strikeOut;
    uint8_t charSet;
    uint8_t outPrecision;
    uint8_t clipPrecision;
    uint8_t quality;
    uint8_t pitchAndFamily;
    char faceName[32];
};

// Makes the system font a host font object attaches. Windows: an HFONT from
// CreateFontIndirectA. Natively the host's font object reads the description
// itself during the attach call, so its address is the handle. Tests replace
// the pointer to see what is handed over.
using CreateSystemFontFn = void* (*)(FontDescription& description);
extern CreateSystemFontFn createSystemFont;

// GetSysColor indices of the read-out box.
constexpr int kColourInfoText = 23;
constexpr int kColourInfoBackground = 24;

// A system colour as 0xRRGGBB (Win32 hands out 0x00BBGGRR).
uint32_t systemColour(int index);
inline uint32_t fromSystemColour(uint32_t bgr) {
    return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

// The cursor in the window's client coordinates; false when unknown.
bool cursorInClient(WindowHandle window, int32_t& x, int32_t& y);

}  // namespace vexlan
