#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../../res/resource_ids.h"
#include "shell/parameters.h"
#include "ui/editor_controls.h"
#include "ui/fader_mapping.h"
#include "ui/metering_choices.h"
#include "ui/typed_values.h"

using namespace vexlan;

namespace {

// A stand-in for the host's fader law: 10 positions per dB above -150 dB.
double positionToDb(double position) { return position / 10.0 - 150.0; }

std::vector<std::string> meteringItems(const MeteringChoices& choices) {
    std::vector<std::string> items;
    for (int32_t item = 0; item < meteringItemCount(choices); ++item) {
        char text[16];
        meteringItemText(choices, item, text, sizeof text);
        items.push_back(text);
    }
    return items;
}

}  // namespace

TEST(EditorValues, TypedTextStoresWhatTheControlNames) {
    struct Case {
        const char* what;
        int32_t control;
        const char* text;
        double expected;
    } cases[] = {
        {"silence in capitals", IDC_OUTPUT_EDIT, "-INF", 0.0},
        {"just -i", IDC_GATE_EDIT, "-i", 0.0},
        {"-6 dB", IDC_OUTPUT_EDIT, "-6", 0.50118723362727224},
        {"no number is 0 dB", IDC_ANALYSIS_FLOOR, "abc", 1.0},
        {"-i alone, not inside", IDC_OUTPUT_EDIT, "i-", 1.0},
        {"ratio 150:1 stops at 100:1", IDC_RATIO_EDIT, "150", 1.0},
        {"ratio 0 stops at 0.2:1", IDC_RATIO_EDIT, "0", 0.0},
        {"ratio 50.1:1", IDC_RATIO_EDIT, "50.1", 0.5},
    };
    for (const Case& test : cases) {
        const int32_t index = parameterOfEdit(test.control);
        ASSERT_GE(index, 0) << test.what;
        EXPECT_NEAR(typedParameterValue(index, test.text), test.expected, 1e-12) << test.what;
    }
}

TEST(EditorValues, FaderPositionsBothWays) {
    // Ratio 1:1 of 0.2..100 with curve 6: 1000 * (0.8 / 99.8)^(1/6) = 446.9.
    EXPECT_EQ(faderDefaultPosition(kParamCompressorRatio), 447);

    // Values reach the host's law as decibels in the dialog test; back from
    // the law they are rounded to single precision.
    EXPECT_EQ(faderValueForPosition(kParamOutputGain, 1440, positionToDb), double(float(std::pow(10.0, -0.3))));
    EXPECT_EQ(faderValueForPosition(kParamGateFloor, 1500, positionToDb), 1.0);

    struct Ratio {
        double value;
        int32_t position;
    } ratios[] = {{1.0, 1000}, {0.0, 0}, {0.5, 890}};  // the dialog test moves the fader to 500
    for (const Ratio& test : ratios) {
        EXPECT_EQ(faderPositionForValue(kParamCompressorRatio, test.value, nullptr), test.position) << test.value;
    }
}

TEST(EditorValues, MeteringListAndSources) {
    const MeteringChoices four = meteringChoices(4, 2);
    EXPECT_EQ(meteringItems(four),
              (std::vector<std::string>{"Average", "Sum", "Max", "None", "1", "2", "3", "4", "1+2", "3+4"}));
    const MeteringChoices fourApart = meteringChoices(4, 1);
    EXPECT_EQ(meteringItems(fourApart),
              (std::vector<std::string>{"Average", "Sum", "Max", "None", "1", "2", "3", "4"}));
    EXPECT_EQ(meteringItems(meteringChoices(1, 2)), (std::vector<std::string>{"Average", "Sum", "Max", "None", "1"}));

    struct Case {
        const MeteringChoices& choices;
        int32_t item;
        int32_t source;
    } both[] = {
        {four, 0, 0}, {four, 3, 3}, {four, 4, 144}, {four, 5, 145}, {four, 7, 147},
        {four, 8, 16}, {four, 9, 18}, {fourApart, 7, 147},
    };
    for (const Case& test : both) {
        int32_t source = -5;
        EXPECT_TRUE(meteringSourceForItem(test.choices, test.item, source)) << test.item;
        EXPECT_EQ(source, test.source) << test.item;
        EXPECT_EQ(meteringItemForSource(test.choices, test.source), test.item) << test.source;
    }
    for (int32_t source : {148, 143, 17, 20, -1, 4, 1000}) EXPECT_EQ(meteringItemForSource(four, source), -1) << source;
    EXPECT_EQ(meteringItemForSource(fourApart, 18), -1) << "no pairs offered";
    int32_t untouched = 7;
    for (int32_t item : {-1, 10}) EXPECT_FALSE(meteringSourceForItem(four, item, untouched)) << item;
    EXPECT_FALSE(meteringSourceForItem(fourApart, 8, untouched)) << "no pairs offered";
    EXPECT_EQ(untouched, 7);
}
