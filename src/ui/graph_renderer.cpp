#include "ui/graph_renderer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "graph/graph_geometry.h"
#include "shell/parameters.h"
#include "shell/process_state.h"
#include "ui/analysis_curve.h"
#include "ui/dpi_aware_font.h"
#include "ui/graph_grid.h"
#include "ui/ui_platform.h"

namespace vexlan {

namespace {

constexpr int32_t kInputSpectrumColour = int32_t(0xFF606040u);
constexpr int32_t kOutputSpectrumColour = int32_t(0xFFFFFF40u);
constexpr int32_t kMinorLineColour = int32_t(0xFF404040u);
constexpr int32_t kMajorLineColour = int32_t(0xFF707070u);
constexpr int32_t kCurveColour = int32_t(0xFFFF0000u);
constexpr int32_t kOffsetCurveColour = int32_t(0xFF800000u);
constexpr int32_t kPointFill = 0xFFFFFF;
constexpr int32_t kPointOutline = 0xFF0000;
constexpr int32_t kLabelColour = 0x808080;
constexpr int32_t kFloorLabelColour = 0x8C8C40;

// DrawText flags.
constexpr int kRightMiddle = 0x26;   // DT_RIGHT | DT_VCENTER | DT_SINGLELINE
constexpr int kCentreBottom = 0x29;  // DT_CENTER | DT_BOTTOM | DT_SINGLELINE
constexpr int kMeasure = 0xC00;      // DT_CALCRECT | DT_NOPREFIX
constexpr int kPlain = 0x800;        // DT_NOPREFIX

VizeFont* sharedLabelFont = nullptr;

void makeLabelFont() {
    if (sharedLabelFont) return;
    FontDescription description{};
    description.height = 14;
    description.weight = 400;
    std::strcpy(description.faceName, "Arial");
    sharedLabelFont = new (std::nothrow) dpiAwareFont(description);
    if (sharedLabelFont) sharedLabelFont->setAttributeC(1);
}

void drawLabel(VizeBitmap* bitmap, const char* text, VizeRect rect, int flags) {
    if (sharedLabelFont) sharedLabelFont->drawText(bitmap, text, -1, &rect, flags);
}

void setLabelColour(int32_t colour) {
    if (sharedLabelFont) sharedLabelFont->setTextColor(colour);
}

int32_t scaled(int32_t pixels, int32_t scale) { return (pixels * scale) >> 8; }

void drawDbGrid(VizeBitmap* bitmap, const GraphGeometry& geometry, const VizeRect& rect) {
    const HostApi& host = processState.hostApi;
    const int32_t gw = geometry.graphWidth, gh = geometry.graphHeight, s = geometry.scale;
    setLabelColour(kLabelColour);
    forEachDbGridLine(geometry, [&](const DbGridLine& line) {
        host.lineInt(bitmap, 0, line.y, gw, line.y, kMinorLineColour, 1.0f, kBlendCopy, false);
        if (geometry.compact) return;
        char text[32];
        std::snprintf(text, sizeof text, " %+.0f", line.gain);
        drawLabel(bitmap, text, VizeRect{gw, line.y - scaled(8, s), rect.right - scaled(3, s), line.y + scaled(8, s)},
                  kRightMiddle);
    });
    host.lineInt(bitmap, 0, gh, gw, gh, kMinorLineColour, 1.0f, kBlendCopy, false);
}

void drawFrequencyGrid(VizeBitmap* bitmap, const GraphGeometry& geometry, const VizeRect& rect) {
    const HostApi& host = processState.hostApi;
    const int32_t gw = geometry.graphWidth, gh = geometry.graphHeight, s = geometry.scale;
    forEachFrequencyGridLine(gw, [&](const FrequencyGridLine& line) {
        host.lineInt(bitmap, line.x, 0, line.x, gh + 1, line.major ? kMajorLineColour : kMinorLineColour, 1.0f,
                     kBlendCopy, false);
        if (!line.labelled) return;
        char text[16];
        formatFrequencyLabel(line.frequency, text, sizeof text);
        drawLabel(bitmap, text, VizeRect{line.x - scaled(20, s), gh, line.x + scaled(20, s), rect.bottom},
                  kCentreBottom);
    });
    host.lineInt(bitmap, gw, 0, gw, gh, kMinorLineColour, 1.0f, kBlendCopy, false);
}

void drawTableCurve(VizeBitmap* bitmap, const PluginInstance& instance, const GraphGeometry& geometry,
                    double factor, int32_t colour) {
    const HostApi& host = processState.hostApi;
    const bool precise = instance.editMode == kEditPrecise;
    forEachTableCurveSegment(instance.binGainTable, factor, precise, geometry,
                             [&](const TablePoint& from, const TablePoint& to) {
                                 if (precise) {
                                     host.lineInt(bitmap, int32_t(from.x), int32_t(from.y), int32_t(to.x),
                                                  int32_t(to.y), colour, 1.0f, kBlendCopy, true);
                                 } else {
                                     host.line(bitmap, from.x, from.y, to.x, to.y, colour, 1.0f, kBlendCopy, true);
                                 }
                             });
}

void drawPoints(VizeBitmap* bitmap, const PluginInstance& instance, const GraphGeometry& geometry) {
    const HostApi& host = processState.hostApi;
    const float radius = float(geometry.hitRadius);
    for (int32_t i = 0; i < instance.pointCount && i < kMaxGraphPoints; ++i) {
        const float x = float(int32_t(xOfFrequency(geometry, instance.points[i].frequency)));
        const float y = float(int32_t(yOfGain(geometry, instance.points[i].gain)));
        host.fillCircle(bitmap, x, y, radius, kPointFill, 1.0f, kBlendCopy, true);
        host.circle(bitmap, x, y, radius, kPointOutline, 1.0f, kBlendCopy, true);
    }
}

// Both spectra share the sampling settings; the history buffers belong to
// the view being painted.
struct SpectrumView {
    bool shown;
    const float* output;
    const float* input;
    int32_t binCount;
    bool halfBins;
    double binStep;
};

SpectrumView spectrumView(const PluginInstance& instance) {
    SpectrumView view{};
    const int32_t n = instance.fftSize;
    // A buffer that failed to follow the FFT size is not read.
    view.shown = instance.paramValues[kParamShowAnalysis] >= 0.5 && instance.analysisBuffer.data &&
                 instance.analysisBuffer.size == n * 8;
    if (!view.shown) return view;
    view.output = bufferAs<float>(instance.analysisBuffer);
    view.input = view.output + n;
    view.binCount = instance.analysisBuffer.size / 16;
    view.halfBins = instance.processingMode != kModeSubtract && instance.paramValues[kParamReduceArtifacts] >= 0.5;
    view.binStep = (instance.sampleRate / 2.0) / 24000.0 / view.binCount;
    return view;
}

void drawReadout(PluginInstance& instance, WindowHandle window, VizeBitmap* bitmap, const VizeRect& rect,
                 int mouseY) {
    const char* text = window ? instance.readoutText : instance.embeddedReadoutText;
    if (!text[0] || !sharedLabelFont) return;
    const uint32_t textColour = systemColour(kColourInfoText);
    sharedLabelFont->setTextColor(int32_t(textColour));
    int32_t cursorX = 0, cursorY = mouseY;
    if (window) {
        if (!cursorInClient(window, cursorX, cursorY)) return;
        if (cursorX < 0 || cursorY < 0 || cursorX >= rect.right || cursorY >= rect.bottom) return;
    }
    VizeRect measured{0, 0, 0, 0};
    sharedLabelFont->drawText(bitmap, text, -1, &measured, kMeasure);
    const int32_t tw = measured.right - measured.left, th = measured.bottom - measured.top;
    const ReadoutPlacement at = placeReadout(!window, cursorX, cursorY, tw, th, rect);
    processState.hostApi.borderedRect(bitmap, at.x - 2, at.y - 1, tw + 4, th + 2,
                                      int32_t(systemColour(kColourInfoBackground)), int32_t(textColour),
                                      window ? 1.0f : 0.5f, kBlendCopy);
    VizeRect box{at.x, at.y, at.x + tw, at.y + th};
    sharedLabelFont->drawText(bitmap, text, -1, &box, kPlain);
}

}  // namespace

ReadoutPlacement placeReadout(bool embedded, int32_t cursorX, int32_t cursorY, int32_t textWidth,
                              int32_t textHeight, const VizeRect& rect) {
    ReadoutPlacement at{cursorX + 30, cursorY + 8};
    if (embedded) at = {0, cursorY < rect.bottom / 2 ? rect.bottom : 0};
    if (at.y + textHeight > rect.bottom - 1) at.y = rect.bottom - textHeight - 1;
    if (at.y < 1) at.y = 1;
    if (!embedded && at.x + textWidth > rect.right - 2 && cursorX - textWidth - 30 > 0) {
        at.x = cursorX - textWidth - 30;
    }
    return at;
}

void renderGraph(PluginInstance& instance, WindowHandle window, VizeBitmap* bitmap, const VizeRect& rect, int mouseX,
                 int mouseY) {
    (void)mouseX;
    const HostApi& host = processState.hostApi;
    if (!bitmap) return;
    const int32_t scale = window ? instance.displayScale : instance.embeddedScale;
    host.fillRect(bitmap, 0, 0, rect.right, rect.bottom, 0, 1.0f, kBlendCopy);
    makeLabelFont();
    {
        LockHold display(instance.displayLock);
        const GraphGeometry geometry = graphGeometry(rect.right - rect.left, rect.bottom - rect.top, scale,
                                                     instance.graphMinDb, instance.graphMaxDb);
        const int32_t gw = geometry.graphWidth, gh = geometry.graphHeight;
        const double floorDb = analysisFloorDb(instance.paramValues[kParamAnalysisFloor]);
        const double levelScale = analysisLevelScale(geometry, floorDb);
        // The embedded view keeps its own history while the editor shows the same curves.
        GrowableBuffer* history = (!window && instance.editorWindow) ? &instance.displayBuffers[2]
                                                                     : &instance.displayBuffers[0];
        const SpectrumView spectra = spectrumView(instance);
        if (spectra.shown) {
            drawAnalysisCurve(bitmap, kInputSpectrumColour, spectra.input, history[0], gw, gh, spectra.binCount,
                              instance.fftSize, spectra.halfBins, spectra.binStep, floorDb, levelScale, gh);
        }
        drawDbGrid(bitmap, geometry, rect);
        if (!geometry.compact) drawFrequencyGrid(bitmap, geometry, rect);
        if (spectra.shown) {
            drawAnalysisCurve(bitmap, kOutputSpectrumColour, spectra.output, history[1], gw, gh, spectra.binCount,
                              instance.fftSize, spectra.halfBins, spectra.binStep, floorDb, levelScale, gh);
        }
        const double offset = instance.paramValues[kParamGraphOffset];
        if (offset != 1.0) drawTableCurve(bitmap, instance, geometry, offset, kOffsetCurveColour);
        drawTableCurve(bitmap, instance, geometry, 1.0, kCurveColour);
        if (!geometry.compact) {
            setLabelColour(kFloorLabelColour);
            char text[32];
            std::snprintf(text, sizeof text, "(%+.0f)", floorDb);
            drawLabel(bitmap, text, VizeRect{gw - 8, gh - 8, rect.right - 3, gh + 8}, kRightMiddle);
            setLabelColour(kLabelColour);
        }
        if (instance.editMode == kEditPointsLinear || instance.editMode == kEditPointsSmooth) drawPoints(bitmap, instance, geometry);
    }
    drawReadout(instance, window, bitmap, rect, mouseY);
}

void releaseGraphRenderer() {
    destroyHostObject(sharedLabelFont);
    sharedLabelFont = nullptr;
    releaseAnalysisScratch();
}

}  // namespace vexlan
