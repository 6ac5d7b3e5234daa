// The host's fader law and thumb travel.
#include <gtest/gtest.h>

#include <cmath>

#include "fader_law.h"
#include "host_functions.h"

namespace {

using host::FaderGeometry;
using host::FaderMove;

TEST(FaderLaw, EndsAreSilenceAndTheTopOfTheGainRangeWithFineStepsNearUnity) {
    for (double dB : {-150.0, -1000.0, -HUGE_VAL}) EXPECT_EQ(host::db2Slider(dB), 0) << dB;
    for (double dB : {6.0, 40.0}) EXPECT_EQ(host::db2Slider(dB), 1000) << dB;
    for (double position : {0.0, -5.0}) EXPECT_DOUBLE_EQ(host::slider2Db(position), -150.0) << position;
    for (double position : {1000.0, 1200.0}) EXPECT_DOUBLE_EQ(host::slider2Db(position), 6.0) << position;
    const int unity = host::db2Slider(0.0);
    EXPECT_GT(unity, 700);
    EXPECT_LT(unity, 900);
    EXPECT_LT(host::slider2Db(unity + 1) - host::slider2Db(unity), 0.1);
    EXPECT_GT(host::slider2Db(1) - host::slider2Db(0), 0.1) << "coarser at the bottom";
}

TEST(FaderLaw, PositionsRiseStrictlyAndSurviveTheRoundTrip) {
    for (int position = 0; position <= 1000; ++position) {
        ASSERT_EQ(host::db2Slider(host::slider2Db(position)), position) << "position " << position;
        if (position > 0) {
            ASSERT_LT(host::slider2Db(position - 1), host::slider2Db(position)) << position;
        }
    }
}

TEST(FaderLaw, DecibelsRiseAndComeBackWithinHalfAStep) {
    int previous = 0;
    for (double dB = -150.0; dB <= 6.0; dB += 0.25) {
        const int position = host::db2Slider(dB);
        ASSERT_GE(position, previous) << dB << " dB";
        previous = position;
        const double step = host::slider2Db(std::min(position + 1, 1000)) - host::slider2Db(std::max(position - 1, 0));
        ASSERT_LE(std::fabs(host::slider2Db(position) - dB), step / 2.0 + 1e-9) << dB << " dB";
    }
}

TEST(FaderTravel, ThumbFollowsThePositionBothWays) {
    const FaderGeometry horizontal{206, 22, false};
    const int thumb = host::faderThumbLength(horizontal);
    EXPECT_EQ(thumb, 11);
    EXPECT_EQ(host::faderThumbOffset(horizontal, 0), 0);
    EXPECT_EQ(host::faderThumbOffset(horizontal, 1000), 206 - thumb);
    const FaderGeometry vertical{180, 22, true};
    EXPECT_EQ(host::faderThumbOffset(vertical, 1000), 0) << "vertical faders are up at 1000";
    EXPECT_EQ(host::faderThumbOffset(vertical, 0), 180 - host::faderThumbLength(vertical));
    for (const FaderGeometry& geometry : {horizontal, vertical}) {
        int previous = host::faderPositionAtThumb(geometry, 0);
        for (int offset = 0; offset <= geometry.length - thumb; ++offset) {
            const int position = host::faderPositionAtThumb(geometry, offset);
            ASSERT_EQ(host::faderThumbOffset(geometry, position), offset);
            ASSERT_TRUE(geometry.vertical ? position <= previous : position >= previous);
            previous = position;
        }
    }
    EXPECT_EQ(host::faderPositionAtThumb(horizontal, -40), 0);
    EXPECT_EQ(host::faderPositionAtThumb(horizontal, 500), 1000);
    EXPECT_EQ(host::faderPositionAtThumb(vertical, 500), 0);
    // Faders too small for a thumb to travel do not divide by zero.
    const FaderGeometry tiny{4, 2, false};
    EXPECT_EQ(host::faderThumbLength(tiny), 4);
    EXPECT_EQ(host::faderThumbOffset(tiny, 700), 0);
    EXPECT_EQ(host::faderPositionAtThumb(tiny, 3), 0);
}

TEST(FaderTravel, KeysStepPageAndStopAtTheEnds) {
    EXPECT_EQ(host::movedFaderPosition(500, FaderMove::StepUp, false), 510);
    EXPECT_EQ(host::movedFaderPosition(500, FaderMove::StepDown, true), 499);
    EXPECT_EQ(host::movedFaderPosition(500, FaderMove::PageUp, false), 600);
    EXPECT_EQ(host::movedFaderPosition(50, FaderMove::PageDown, false), 0);
    EXPECT_EQ(host::movedFaderPosition(995, FaderMove::StepUp, false), 1000);
    EXPECT_EQ(host::movedFaderPosition(3, FaderMove::ToTop, false), 1000);
    EXPECT_EQ(host::movedFaderPosition(997, FaderMove::ToBottom, false), 0);
}

}  // namespace
