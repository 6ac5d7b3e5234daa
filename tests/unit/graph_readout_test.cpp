#include "graph/graph_readout.h"

#include <gtest/gtest.h>

#include <string>

#include "graph/graph_control.h"
#include "shell/dispatcher.h"
#include "shell/parameters.h"
#include "shell/process_state.h"
#include "test_host.h"

using namespace vexlan;

namespace {

std::string noteName(double frequency) {
    char text[16];
    formatNoteName(frequency, text, sizeof text);
    return text;
}

class GraphReadout : public ::testing::Test {
protected:
    // Hosts number A4 = 440 Hz with an offset of 1.
    void SetUp() override {
        testhost::resetHost();
        testhost::currentHost().octaveOffset = 1;
    }
    void TearDown() override { testhost::forgetHostFunctions(); }
};

}  // namespace

TEST_F(GraphReadout, NoteNamesFollowTheHostsOctaveOffset) {
    struct Row {
        bool hostHasOffset;
        int32_t offset;
        double frequency;
        const char* name;
    };
    const Row rows[] = {
        {false, 0, 440, "A4+"},  {false, 0, 439, "A4-"},     {false, 0, 261, "C4-"}, {false, 0, 23994, "F#10+"},
        {true, -1, 466, "A#2+"}, {true, 0, 16, "C-1-"},      {true, 1, 870, "A5-"},  {true, 1, 33, "C1+"},
    };
    for (const Row& row : rows) {
        testhost::forgetHostFunctions();
        testhost::currentHost().withheld.clear();
        if (!row.hostHasOffset) testhost::currentHost().withheld.insert("get_config_var");
        testhost::currentHost().octaveOffset = row.offset;
        testhost::Instance instance;
        ASSERT_NE(instance.effect(), nullptr);
        EXPECT_EQ(noteName(row.frequency), row.name) << row.frequency << " Hz, offset " << noteOctaveOffset();
    }
}

TEST_F(GraphReadout, TextsForEveryLayoutAndDragState) {
    testhost::Instance holder;
    PluginInstance& g = *holder;
    // Rows of 0.5 dB from +24 dB: y = 55 reads -3.5 dB. Entry 75 lies under x = 354.
    g.embeddedScale = 1024;
    g.binGainTable[75] = 0.5f;
    struct Row {
        int32_t x, y;
        bool embedded, captured;  // embedded: 511 x 228, else 1028 x 244
        const char* text;
    };
    const Row rows[] = {
        {354, 55, false, false, "439 Hz (A4-),  -3.50 dB (current is -6.02 dB)"},
        {354, 55, false, true, "439 Hz (A4-),  -3.50 dB"},
        {0, 55, false, false, "0 Hz (),  -3.50 dB (current is +0.00 dB)"},
        {354, -40, false, true, "439 Hz (A4-),  +24.00 dB"},
        {392, 55, true, false, "5.9k -3.5dB"},  // entry 1006, 5894 Hz
        {181, 55, true, false, "439Hz -3.5dB"},
        {354, 228, false, false, ""},
        {-1, 55, false, false, ""},
    };
    for (const Row& row : rows) {
        const int32_t width = row.embedded ? 511 : 1028;
        const int32_t height = row.embedded ? 228 : 244;
        const GraphMouse mouse{row.x, row.y, width, height, row.embedded, row.captured, {}};
        char text[kReadoutFormatBytes];
        buildReadoutText(g, mouse, text, sizeof text);
        EXPECT_STREQ(text, row.text) << row.x << "," << row.y;
    }
}

TEST_F(GraphReadout, EmbeddedViewMouseCodesEditThroughTheDispatcher) {
    testhost::Instance holder;
    PluginInstance& g = *holder;
    graphEditState = GraphEditState{};
    int32_t record[16] = {0, 0, 0, 0, 0, 0, 1028, 244};  // the surface's width and height
    auto send = [&](int code, int32_t x, int32_t y) {
        record[8] = x;
        record[9] = y;
        return holder.dispatch(effVendorSpecific, kVendorEmbeddedView, 0, record, float(code));
    };
    const int32_t before = g.pointCount;
    EXPECT_EQ(send(512, 354, 55), 1);
    EXPECT_STREQ(g.embeddedReadoutText, "439 Hz (A4-),  -3.50 dB (current is +0.00 dB)");
    EXPECT_STREQ(g.readoutText, "") << "the window form's text is its own";

    EXPECT_EQ(send(513, 354, 55), 1);
    EXPECT_EQ(graphEditState.embeddedCapture, 1);
    ASSERT_EQ(g.pointCount, before + 1) << "a click on empty space inserts";
    EXPECT_EQ(send(512, 354, -7), 1);
    EXPECT_DOUBLE_EQ(g.points[before].gain, 24.0) << "y held inside the area while captured";
    EXPECT_EQ(send(514, 354, -7), 1);
    EXPECT_EQ(graphEditState.embeddedCapture, 0);
    ASSERT_EQ(testhost::currentHost().calls.size(), 1u);
    EXPECT_EQ(testhost::currentHost().calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(testhost::currentHost().calls[0].index, -1);

    EXPECT_EQ(send(515, 354, 0), 1);
    EXPECT_EQ(g.points[before].gain, 0.0) << "double click sets 0 dB";
    EXPECT_EQ(send(516, 600, 150), 1);
    EXPECT_STREQ(g.embeddedReadoutText, "") << "the right button clears the read-out";

    // Negative positions survive the 16-bit packing.
    EXPECT_EQ(positionX(0x0003FFFB), -5);
    EXPECT_EQ(positionY(intptr_t(0xFFF90010)), -7);

    for (int code : {512, 513, 514, 515, 516, 517}) {
        EXPECT_EQ(holder.dispatch(effVendorSpecific, kVendorEmbeddedView, 0, nullptr, float(code)), 0) << code;
    }
}
