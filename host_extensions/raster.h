// The host's drawing library behind the "VIZE_" extension names. Colours are
// 0xAARRGGBB; the weight of a drawing is its `alpha` (0..1) times the pixel's
// coverage, whatever the colour's own alpha byte says. Blend mode 0 mixes the
// colour in by that weight, all four bytes; mode 1 adds it, saturating; any
// other mode acts as 0.
//
// Coordinates: lines, circles, arcs and single pixels put pixel (x, y)'s
// centre at (x, y), and integer lines include both end points. Filled
// rectangles, triangles, trapezoids and polygons take their integer
// coordinates as pixel corners and fill the pixels whose centre lies inside,
// so a 4 x 3 rectangle at (0, 0) covers pixels 0..3 by 0..2. Arc angles are
// radians, 0 at the top, growing clockwise. Everything is clipped to the bitmap.
#pragma once

#include <cstdint>

#include "shell/host_api.h"

namespace host {

using vexlan::VizeBitmap;

// Mixes `colour` into `pixel` with `weight` (0..1) in blend `mode`.
void blendPixel(uint32_t& pixel, uint32_t colour, float weight, int mode);

// A new bitmap; `flags` is accepted as given by callers (1) and needs no
// meaning here, every bitmap being drawable by the system. Null on failure.
VizeBitmap* vizeCreateBitmap(int flags, int width, int height);
// The pixel's 0xAARRGGBB value, 0 outside the bitmap.
int vizeGetPixel(VizeBitmap* bitmap, int x, int y);
void vizePutPixel(VizeBitmap* bitmap, int x, int y, int colour, float alpha, int mode);
void vizeLineInt(VizeBitmap* bitmap, int x1, int y1, int x2, int y2, int colour, float alpha, int mode,
                 bool antialias);
// Antialiased lines share each step along the major axis between the two
// nearest pixels across it, by distance.
void vizeLine(VizeBitmap* bitmap, float x1, float y1, float x2, float y2, int colour, float alpha,
              int mode, bool antialias);
// An antialiased line `thickness` pixels wide with square ends at the points.
void vizeThickFLine(VizeBitmap* bitmap, double x1, double y1, double x2, double y2, int colour,
                    float alpha, int mode, int thickness);
// A one-pixel ring of `radius` around the centre.
void vizeCircle(VizeBitmap* bitmap, float cx, float cy, float radius, int colour, float alpha, int mode,
                bool antialias);
// A disc: pixels whose centre lies within `radius`; antialiased, a pixel
// whose centre lies on the edge gets half.
void vizeFillCircle(VizeBitmap* bitmap, float cx, float cy, float radius, int colour, float alpha,
                    int mode, bool antialias);
void vizeFillRect(VizeBitmap* bitmap, int x, int y, int width, int height, int colour, float alpha,
                  int mode);
// The one-pixel outline of the same rectangle.
void vizeDrawRect(VizeBitmap* bitmap, int x, int y, int width, int height, int colour, float alpha,
                  int mode);
// An outline in `borderColour` around an inside filled with `fillColour`.
void vizeBorderedRect(VizeBitmap* bitmap, int x, int y, int width, int height, int fillColour,
                      int borderColour, float alpha, int mode);
// Sets every pixel to `colour` exactly.
void vizeClear(VizeBitmap* bitmap, int colour);
void vizeBlit(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY, int width, int height, int srcX,
              int srcY, float alpha, int mode);
// The source rectangle, scaled to width x height and turned by `angle`
// radians (clockwise) around the destination rectangle's centre.
void vizeRotatedBlit(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY, int width, int height,
                     float srcX, float srcY, float srcWidth, float srcHeight, double angle, float alpha,
                     int mode);
// `colour` through an 8-bit coverage mask (maskWidth bytes a row) at (x, y).
// Returns the mask width (the pen's advance), 0 without a bitmap or mask.
int vizeDrawGlyph(VizeBitmap* bitmap, const unsigned char* alphaMask, int maskWidth, int maskHeight,
                  int x, int y, int colour, float alpha, int mode);
void vizeFillTriangle(VizeBitmap* bitmap, int x1, int y1, int x2, int y2, int x3, int y3, int colour,
                      float alpha, int mode);
// The ring of vizeCircle from angle1 to angle2 (clockwise).
void vizeArc(VizeBitmap* bitmap, float cx, float cy, float radius, float angle1, float angle2, int colour,
             float alpha, int mode, bool antialias);
// Top edge x1a..x1b at y1, bottom edge x2a..x2b at y2.
void vizeFillTrapezoid(VizeBitmap* bitmap, int x1a, int x1b, int y1, int x2a, int x2b, int y2, int colour,
                       float alpha, int mode);
// `xy` holds pointCount (x, y) pairs of a convex polygon in either winding.
void vizeFillConvexPolygon(VizeBitmap* bitmap, const int* xy, int pointCount, int colour, float alpha,
                           int mode);
// Makes `dest` an exact copy of `source`: size, pixels and scale.
void vizeCopy(VizeBitmap* dest, VizeBitmap* source);
// The source rectangle stretched over the destination one, sampled
// bilinearly.
void vizeScaledBlit(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY, int dstWidth, int dstHeight,
                    float srcX, float srcY, float srcWidth, float srcHeight, float alpha, int mode);

}  // namespace host
