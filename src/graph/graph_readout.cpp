#include "graph/graph_readout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "graph/display_axis.h"
#include "graph/graph_model.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"
#include "shell/process_state.h"

namespace vexlan {

namespace {

// Two characters per semitone from A; naturals are padded with a blank.
constexpr const char kNoteNames[] = "A A#B C C#D D#E F F#G G#";
// Octave numbers are counted from the host's offset; A4 = 440 Hz at the
// default offset of 1.
constexpr int32_t kOctaveBase = 3;
// The octave number changes at C, three semitones above A.
constexpr int32_t kSemitonesFromAToC = 3;

bool isSharp(int32_t semitone) {
    return semitone == 1 || semitone == 4 || semitone == 6 || semitone == 9 || semitone == 11;
}

// Table entry under column x: the display axis at x, on the 4096-entry grid.
int32_t entryAtColumn(int32_t x, int32_t graphWidth) {
    const double entry = (std::exp(x / (graphWidth * kDisplayAxisInverseLog)) - 1.0) * 0.0025 * kBinGainTableSize;
    return int32_t(std::clamp(entry, 0.0, double(kBinGainTableSize - 1)));
}

char* readoutField(PluginInstance& instance, bool embedded) {
    return embedded ? instance.embeddedReadoutText : instance.readoutText;
}

}  // namespace

void formatNoteName(double frequency, char* text, size_t capacity) {
    const double semitones = 12.0 * std::log(frequency / 440.0) / std::log(2.0);
    int32_t note = int32_t(std::floor(semitones + 0.5));
    const int32_t cents = int32_t((semitones - note) * 100.0);
    const char sign = cents < 0 ? '-' : '+';
    int32_t base = noteOctaveOffset() + kOctaveBase;
    if (note < 0) {
        const int32_t octaves = (-1 - note) / 12 + 1;
        note += 12 * octaves;
        base -= octaves;
    } else if (note >= 12) {
        base += note / 12;
        note %= 12;
    }
    const int32_t octave = note >= kSemitonesFromAToC ? base + 1 : base;
    const char* name = kNoteNames + 2 * note;
    if (isSharp(note)) {
        std::snprintf(text, capacity, "%c%c%d%c", name[0], name[1], int(octave), sign);
    } else {
        std::snprintf(text, capacity, "%c%d%c", name[0], int(octave), sign);
    }
}

void buildReadoutText(const PluginInstance& instance, const GraphMouse& mouse, char* text,
                      size_t capacity) {
    text[0] = '\0';
    const GraphGeometry geometry = controlGeometry(instance, mouse.width, mouse.height, mouse.embedded);
    const int32_t y = heldY(mouse, geometry);
    if (mouse.x < 0 || mouse.x >= geometry.graphWidth || y < 0 || y >= geometry.graphHeight) return;
    const double gain = gainAtY(geometry, y);
    const int32_t entry = entryAtColumn(mouse.x, geometry.graphWidth);
    const int32_t frequency = entry * 24000 / kBinGainTableSize;
    if (geometry.compact) {
        if (frequency > 999.9) {
            std::snprintf(text, capacity, "%.1fk %+.1fdB", frequency * 0.001, gain);
        } else {
            std::snprintf(text, capacity, "%dHz %+.1fdB", int(frequency), gain);
        }
        return;
    }
    char note[16] = "";
    if (frequency > 0) formatNoteName(frequency, note, sizeof note);
    const int length = std::snprintf(text, capacity, "%d Hz (%s),  %+.2f dB", int(frequency), note, gain);
    if (!mouse.captured && length >= 0 && size_t(length) < capacity) {
        const double current = amplitudeToDb(instance.binGainTable[entry]);
        std::snprintf(text + length, capacity - size_t(length), " (current is %+.2f dB)", current);
    }
}

ReadoutUpdate updateReadout(PluginInstance& instance, const GraphMouse& mouse) {
    char text[kReadoutFormatBytes];
    buildReadoutText(instance, mouse, text, sizeof text);
    std::snprintf(readoutField(instance, mouse.embedded), kReadoutTextBytes, "%.127s", text);
    const bool shown = text[0] != '\0';
    return {shown, shown && instance.paramValues[kParamShowAnalysis] < 0.5};
}

void clearReadout(PluginInstance& instance, bool embedded) { readoutField(instance, embedded)[0] = '\0'; }

}  // namespace vexlan
