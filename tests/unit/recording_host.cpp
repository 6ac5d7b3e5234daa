#include "recording_host.h"

#include <cstring>
#include <new>

#include "shell/process_state.h"
#include "ui/graph_renderer.h"

namespace recording {

namespace {

RecordingHost* active = nullptr;

class RecordingFont final : public vexlan::VizeFont {
public:
    explicit RecordingFont(size_t index) : index_(index) {}
    void destroy(unsigned flags) override {
        ++log().destroyed;
        if (flags & vexlan::kDestroyFreesMemory) delete this;
    }
    void attachSystemFont(void* font, int flags) override {
        log().attached.push_back(*static_cast<vexlan::FontDescription*>(font));
        note("attach", flags);
    }
    int setTextColor(int colour) override { return note("colour", colour_ = colour); }
    int setAttributeA(int value) override { return note("A", value); }
    int setAttributeB(int value) override { return note("B", value); }
    int setAttributeC(int value) override { return note("C", value); }
    void setBlend(int mode, float alpha) override { note("blend", mode * 1000 + int(alpha * 100)); }
    int drawText(vexlan::VizeBitmap*, const char* text, int, vexlan::VizeRect* rect, int flags) override {
        note("text", flags);
        const int length = int(std::strlen(text));
        if (flags & 0x400) {
            rect->right = rect->left + 7 * length;
            rect->bottom = rect->top + 16;
            return 16;
        }
        active->calls.push_back({Shape::Text, float(rect->left), float(rect->top), float(rect->right),
                                 float(rect->bottom), colour_, 0, 1.0f, false, text, flags});
        return 16;
    }
    int getTextColor() override { return colour_; }
    void* getHandle() override { return nullptr; }
    int getMetric() override {
        note("metric", 17);
        return 17;
    }
    int setAttributeD(int value) override { return note("D", value); }

private:
    FontLog& log() { return active->fonts[index_]; }
    int note(const char* name, int value) {
        log().calls.push_back(std::string(name) + "(" + std::to_string(value) + ")");
        return 0;
    }
    size_t index_;
    int colour_ = 0;
};

vexlan::VizeFont* createFont() {
    if (active->refuseFonts) return nullptr;
    active->fonts.emplace_back();
    return new (std::nothrow) RecordingFont(active->fonts.size() - 1);
}

void* descriptionItself(vexlan::FontDescription& description) { return &description; }

void push(Shape shape, float x1, float y1, float x2, float y2, int colour, int border, float alpha, bool aa) {
    active->calls.push_back({shape, x1, y1, x2, y2, colour, border, alpha, aa, {}, 0});
}

void lineInt(vexlan::VizeBitmap*, int x1, int y1, int x2, int y2, int colour, float alpha, int, bool aa) {
    push(Shape::LineInt, float(x1), float(y1), float(x2), float(y2), colour, 0, alpha, aa);
}
void line(vexlan::VizeBitmap*, float x1, float y1, float x2, float y2, int colour, float alpha, int, bool aa) {
    push(Shape::Line, x1, y1, x2, y2, colour, 0, alpha, aa);
}
void circle(vexlan::VizeBitmap*, float x, float y, float r, int colour, float alpha, int, bool aa) {
    push(Shape::Circle, x, y, r, 0, colour, 0, alpha, aa);
}
void fillCircle(vexlan::VizeBitmap*, float x, float y, float r, int colour, float alpha, int, bool aa) {
    push(Shape::FillCircle, x, y, r, 0, colour, 0, alpha, aa);
}
void fillRect(vexlan::VizeBitmap*, int x, int y, int w, int h, int colour, float alpha, int) {
    push(Shape::FillRect, float(x), float(y), float(w), float(h), colour, 0, alpha, false);
}
void borderedRect(vexlan::VizeBitmap*, int x, int y, int w, int h, int fill, int border, float alpha, int) {
    push(Shape::BorderedRect, float(x), float(y), float(w), float(h), fill, border, alpha, false);
}

}  // namespace

RecordingHost::RecordingHost() : saved_(vexlan::processState.hostApi), savedSystemFont_(vexlan::createSystemFont) {
    active = this;
    vexlan::HostApi& api = vexlan::processState.hostApi;
    api.lineInt = lineInt;
    api.line = line;
    api.circle = circle;
    api.fillCircle = fillCircle;
    api.fillRect = fillRect;
    api.borderedRect = borderedRect;
    api.createFont = createFont;
    vexlan::createSystemFont = descriptionItself;
}

RecordingHost::~RecordingHost() {
    // The shared label font holds recording objects: it goes with them.
    vexlan::releaseGraphRenderer();
    vexlan::processState.hostApi = saved_;
    vexlan::createSystemFont = savedSystemFont_;
    active = nullptr;
}

std::vector<DrawCall> RecordingHost::of(Shape shape) const {
    std::vector<DrawCall> found;
    for (const DrawCall& call : calls) {
        if (call.shape == shape) found.push_back(call);
    }
    return found;
}

std::vector<std::string> RecordingHost::texts() const {
    std::vector<std::string> found;
    for (const DrawCall& call : of(Shape::Text)) found.push_back(call.text);
    return found;
}

}  // namespace recording
