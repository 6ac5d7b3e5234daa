#include "shell/table_codec.h"

#include <cfloat>
#include <cmath>

#include "shell/little_endian.h"

namespace vexlan {

namespace {

constexpr uint8_t kRepeatToken = 0x80;
constexpr int kMaxExtrapolationRun = 0x7F;
constexpr int kMaxLiteralRun = 0x80;

// x predicts v when v lies within 1 % of x; 0 predicts nothing, and nor
// does an x beyond the float range, which the decoder would store as 0.
bool predicts(double x, double v) { return std::fabs(x) <= double(FLT_MAX) && std::fabs(x - v) < 0.01 * std::fabs(x); }

// A repeat outputs c as float32. Were that also within reach of the
// extrapolation, the loaded table would re-encode as an extrapolation run and
// every save and load would shift it by up to 1 %; such a value goes out as
// a literal instead.
bool repeatFits(double current, double previous, double value) {
    return predicts(current, value) && !predicts(2.0 * current - previous, double(float(current)));
}

float finiteGain(double value) {
    return std::isfinite(value) && std::fabs(value) <= double(FLT_MAX) ? float(value) : 0.0f;
}

}  // namespace

int32_t encodeTable(const float* table, uint8_t* out) {
    uint8_t* cursor = out;
    double current = 0.0;
    double previous = 0.0;
    int i = 0;
    while (i < kBinGainTableSize) {
        const double value = table[i];
        if (predicts(2.0 * current - previous, value)) {
            int run = 0;
            do {
                const double next = 2.0 * current - previous;
                previous = current;
                current = next;
                ++i;
                ++run;
            } while (i < kBinGainTableSize && run < kMaxExtrapolationRun &&
                     predicts(2.0 * current - previous, table[i]));
            *cursor++ = uint8_t(kRepeatToken | run);
        } else if (repeatFits(current, previous, value)) {
            *cursor++ = kRepeatToken;
            previous = current;
            ++i;
        } else {
            // After a refused repeat, c and p still carry the slope that just
            // failed; a second literal value restarts the extrapolation from
            // the table's own slope, or the stream alternates short runs.
            const int minimumRun = predicts(current, value) ? 2 : 1;
            uint8_t* token = cursor++;
            int run = 0;
            do {
                previous = current;
                current = table[i];
                cursor = storeFloat32(cursor, table[i]);
                ++i;
                ++run;
            } while (i < kBinGainTableSize && run < kMaxLiteralRun &&
                     (run < minimumRun || !predicts(2.0 * current - previous, table[i])));
            *token = uint8_t(run - 1);
        }
    }
    return int32_t(cursor - out);
}

int32_t decodeTable(const uint8_t* bytes, int32_t length, float* table) {
    double current = 0.0;
    double previous = 0.0;
    int produced = 0;
    int32_t position = 0;
    while (produced < kBinGainTableSize && position < length) {
        const uint8_t token = bytes[position++];
        if (token < kRepeatToken) {
            for (int run = token + 1; run > 0 && produced < kBinGainTableSize; --run) {
                if (length - position < 4) return length;
                previous = current;
                current = loadFloat32(bytes + position);
                position += 4;
                table[produced++] = finiteGain(current);
            }
        } else if (token == kRepeatToken) {
            table[produced++] = finiteGain(current);
            previous = current;
        } else {
            for (int run = token & kMaxExtrapolationRun; run > 0 && produced < kBinGainTableSize; --run) {
                const double next = 2.0 * current - previous;
                previous = current;
                current = next;
                table[produced++] = finiteGain(current);
            }
        }
    }
    return position;
}

}  // namespace vexlan
