// The host's fader positions: the dB law behind DB2SLIDER and SLIDER2DB, the
// volume text of mkvolstr, and how a position moves the fader's thumb.
#pragma once

namespace host {

// Every fader runs over integer positions 0..1000.
constexpr int kFaderMaxPosition = 1000;

// The dB law: dB(p) = 6 - 156 * (1 - p / 1000)^2. Position 0 is silence
// (-150 dB, shown as "-inf"), 1000 is +6 dB, the top of a gain parameter's
// range; 0 dB sits at about 80 % of the travel, where one step is 0.06 dB,
// and the steps widen toward the bottom, where precision no longer matters.
constexpr double kFaderTopDb = 6.0;
constexpr double kFaderSilenceDb = -150.0;

// Nearest position to `dB`, limited to 0..1000.
int faderPositionFromDb(double dB);
// dB of a position; positions outside 0..1000 are limited first.
double faderDbFromPosition(double position);
// Writes "-inf" for silence (-150 dB and below, or no amplitude) and
// otherwise the signed level in dB with two decimals, e.g. "+0.00", "-6.02".
// At most kVolumeTextBytes bytes including the terminator.
constexpr int kVolumeTextBytes = 16;
void formatVolume(char* text, double amplitude);

// A fader's travel in pixels along its axis.
struct FaderGeometry {
    int length;     // client width (horizontal) or height (vertical)
    int thickness;  // the other dimension
    bool vertical;  // vertical faders have position 1000 at the top
};

int faderThumbLength(const FaderGeometry& geometry);
// Offset of the thumb's leading edge (left or top) for a position.
int faderThumbOffset(const FaderGeometry& geometry, int position);
// Position whose thumb starts at `thumbOffset`, limited to 0..1000.
int faderPositionAtThumb(const FaderGeometry& geometry, int thumbOffset);

enum class FaderMove { StepUp, StepDown, PageUp, PageDown, ToTop, ToBottom };
// Position after a keyboard or wheel move: steps of 10 (1 when `fine`),
// pages of 100, limited to 0..1000.
int movedFaderPosition(int position, FaderMove move, bool fine);

}  // namespace host
