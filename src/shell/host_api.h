// The host's extension functions, fetched by name once per process, and the
// graphics objects they hand out. The host stand-in implements the same
// declarations, so both sides agree on every signature and virtual slot.
#pragma once

#include <cstdint>

#include "shell/vst2_abi.h"

namespace vexlan {

// Window, menu and module handles cross this interface as plain pointers;
// only Win32 code casts them back.
using WindowHandle = void*;

struct VizeRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Bitmap extension codes.
constexpr int kBitmapSetScale = 0x2002;      // data: int32* scale, 256 = 100 %
constexpr int kBitmapDisplayScale = 0x2003;  // answer: display scale, 0 = 256
constexpr int kBitmapTextScale = 0x2004;     // answer: text scale, 0 or 256 = unscaled

// Objects that cross the DLL boundary are laid out as MSVC lays out a class
// whose first virtual method is its destructor: slot 0 is the "deleting
// destructor" (bit 0 of its flags frees the memory), then the methods in
// order. GCC would give a virtual destructor two slots and shift every later
// method by one, so these interfaces declare that first slot explicitly and
// keep their C++ destructor protected and non-virtual.
constexpr unsigned kDestroyFreesMemory = 1;

// A 32-bit 0xAARRGGBB raster owned by the host's graphics library.
class VizeBitmap {
public:
    virtual void destroy(unsigned flags) = 0;
    virtual void* getDC() = 0;  // HDC on Windows, null elsewhere
    virtual int getWidth() = 0;
    virtual int getHeight() = 0;
    virtual void resize(int width, int height) = 0;
    virtual uint32_t* getBits() = 0;  // top row first
    virtual int getRowSpan() = 0;     // pixels per row
    virtual intptr_t extended(int code, void* data) = 0;

protected:
    ~VizeBitmap() = default;
};

// The host's font object; slot order is part of the interface.
class VizeFont {
public:
    virtual void destroy(unsigned flags) = 0;
    virtual void attachSystemFont(void* font, int flags) = 0;
    virtual int setTextColor(int colour) = 0;
    virtual int setAttributeA(int value) = 0;
    virtual int setAttributeB(int value) = 0;
    virtual int setAttributeC(int value) = 0;
    virtual void setBlend(int mode, float alpha) = 0;
    virtual int drawText(VizeBitmap* bitmap, const char* text, int length, VizeRect* rect,
                         int flags) = 0;
    virtual int getTextColor() = 0;
    virtual void* getHandle() = 0;
    virtual int getMetric() = 0;
    virtual int setAttributeD(int value) = 0;

protected:
    ~VizeFont() = default;
};

// Deletes a host object the way its own library does; null is ignored.
template <typename HostObject>
inline void destroyHostObject(HostObject* object) {
    if (object) object->destroy(kDestroyFreesMemory);
}

// Blend modes of the drawing functions.
constexpr int kBlendCopy = 0;
constexpr int kBlendAdd = 1;

extern "C" {
using SetWindowAccessibilityStringFn = void (*)(WindowHandle control, const char* text, int flags);
using Db2SliderFn = int (*)(double dB);
using Slider2DbFn = double (*)(double position);
using MkVolStrFn = void (*)(char* text, double amplitude);
using GetTooltipWindowFn = WindowHandle (*)(WindowHandle window);
using RemoveToolWindowFlagFn = void (*)(WindowHandle window, int flags);
using VizeCreateBitmapFn = VizeBitmap* (*)(int flags, int width, int height);
using VizeGetPixelFn = int (*)(VizeBitmap* bitmap, int x, int y);
using VizePutPixelFn = void (*)(VizeBitmap* bitmap, int x, int y, int colour, float alpha, int mode);
using VizeLineIntFn = void (*)(VizeBitmap* bitmap, int x1, int y1, int x2, int y2, int colour,
                               float alpha, int mode, bool antialias);
using VizeLineFn = void (*)(VizeBitmap* bitmap, float x1, float y1, float x2, float y2, int colour,
                            float alpha, int mode, bool antialias);
using VizeThickFLineFn = void (*)(VizeBitmap* bitmap, double x1, double y1, double x2, double y2,
                                  int colour, float alpha, int mode, int thickness);
using VizeCircleFn = void (*)(VizeBitmap* bitmap, float cx, float cy, float radius, int colour,
                              float alpha, int mode, bool antialias);
using VizeRectFn = void (*)(VizeBitmap* bitmap, int x, int y, int width, int height, int colour,
                            float alpha, int mode);
using VizeBorderedRectFn = void (*)(VizeBitmap* bitmap, int x, int y, int width, int height,
                                    int fillColour, int borderColour, float alpha, int mode);
using VizeClearFn = void (*)(VizeBitmap* bitmap, int colour);
using VizeBlitFn = void (*)(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY, int width,
                            int height, int srcX, int srcY, float alpha, int mode);
using VizeRotatedBlitFn = void (*)(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY,
                                   int width, int height, float srcX, float srcY, float srcWidth,
                                   float srcHeight, double angle, float alpha, int mode);
using VizeDrawGlyphFn = int (*)(VizeBitmap* bitmap, const unsigned char* alphaMask, int maskWidth,
                                int maskHeight, int x, int y, int colour, float alpha, int mode);
using VizeCreateFontFn = VizeFont* (*)();
using VizeFillTriangleFn = void (*)(VizeBitmap* bitmap, int x1, int y1, int x2, int y2, int x3,
                                    int y3, int colour, float alpha, int mode);
using VizeArcFn = void (*)(VizeBitmap* bitmap, float cx, float cy, float radius, float angle1,
                           float angle2, int colour, float alpha, int mode, bool antialias);
using VizeFillTrapezoidFn = void (*)(VizeBitmap* bitmap, int x1a, int x1b, int y1, int x2a, int x2b,
                                     int y2, int colour, float alpha, int mode);
using VizeFillConvexPolygonFn = void (*)(VizeBitmap* bitmap, const int* xy, int pointCount,
                                         int colour, float alpha, int mode);
using VizeCopyFn = void (*)(VizeBitmap* dest, VizeBitmap* source);
using VizeScaledBlitFn = void (*)(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY,
                                  int dstWidth, int dstHeight, float srcX, float srcY,
                                  float srcWidth, float srcHeight, float alpha, int mode);
using VizeMeasureTextFn = int (*)(VizeFont* font, const char* text, int* width, int* height);
using VizeDrawTextFn = int (*)(VizeBitmap* bitmap, VizeFont* font, const char* text, VizeRect* rect,
                               int flags);
using GetWindowDpiScalingFn = int (*)(WindowHandle window);
using GetConfigVarFn = void* (*)(const char* name, int* size);
using VacCreateGroupsFromTabFn = bool (*)(WindowHandle tab, int* groups, int groupCount);
using LocalizeFuncFn = const char* (*)(const char* text, const char* section, int flags);
using LocalizeMenuFn = void (*)(const char* section, void* menu, int menuId);
using LocalizeInitializeDialogFn = void (*)(WindowHandle dialog, const char* section);
// Returns a replacement dialog procedure, or null to keep the plug-in's own.
using LocalizePrepareDialogFn = void* (*)(const char* section, void* module, int resourceId,
                                          void* dialogProc, intptr_t param, void** context,
                                          int contextSlots);
}

struct HostApi {
    SetWindowAccessibilityStringFn setWindowAccessibilityString;
    Db2SliderFn db2Slider;
    Slider2DbFn slider2Db;
    MkVolStrFn mkVolStr;
    GetTooltipWindowFn getTooltipWindow;
    RemoveToolWindowFlagFn removeToolWindowFlagIfConfigured;
    VizeCreateBitmapFn createBitmap;
    VizeGetPixelFn getPixel;
    VizePutPixelFn putPixel;
    VizeLineIntFn lineInt;
    VizeLineFn line;
    VizeThickFLineFn thickFLine;
    VizeCircleFn circle;
    VizeCircleFn fillCircle;
    VizeRectFn fillRect;
    VizeRectFn drawRect;
    VizeBorderedRectFn borderedRect;
    VizeClearFn clear;
    VizeBlitFn blit;
    VizeRotatedBlitFn rotatedBlit;
    VizeDrawGlyphFn drawGlyph;
    VizeCreateFontFn createFont;
    VizeFillTriangleFn fillTriangle;
    VizeArcFn arc;
    VizeFillTrapezoidFn fillTrapezoid;
    VizeFillConvexPolygonFn fillConvexPolygon;
    VizeCopyFn copy;
    VizeScaledBlitFn scaledBlit;
    VizeMeasureTextFn measureText;
    VizeDrawTextFn drawText;
    GetWindowDpiScalingFn getWindowDpiScaling;
    GetConfigVarFn getConfigVar;
    VacCreateGroupsFromTabFn vacCreateGroupsFromTab;
    LocalizeFuncFn localizeFunc;
    LocalizeMenuFn localizeMenu;
    LocalizeInitializeDialogFn localizeInitializeDialog;
    LocalizePrepareDialogFn localizePrepareDialog;
};

struct HostFunctionName {
    const char* name;
    bool required;
};

// Every name in lookup order; entry i fills the i-th pointer of HostApi.
constexpr int kHostFunctionCount = 37;
extern const HostFunctionName kHostFunctionNames[kHostFunctionCount];

// Stores `address` as the function of kHostFunctionNames[index].
void setHostApiEntry(HostApi& api, int index, void* address);

// How a host answered the lookup of the required names.
enum class HostLookup {
    Complete,    // every required name: the host's functions are used
    Foreign,     // none: a host that knows nothing of these functions
    Incomplete,  // some but not all: no instance can be made
};

// Looks every name up through `callback` into `api`; for a foreign host the
// caller replaces the whole table with the built-in set (builtin_host.h).
HostLookup fetchHostApi(HostCallback callback, HostApi& api);

}  // namespace vexlan
