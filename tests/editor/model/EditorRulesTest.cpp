#include "editor/EditorRules.h"
#include "editor/Ringtune.h"
#include "editor/SegmentControls.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(EditorRules, StepControlsSnapAtTheirBoundaries) {
    const std::pair<float, float> pitch[] = {{8.9f, 6}, {9.0f, 12}, {-9.0f, -12}, {-3.0f, -6}, {3.0f, 0},
                                             {3.01f, 6}, {-2.99f, 0}, {12.0f, 12}, {-12.0f, -12}};
    for (auto [in, out] : pitch) EXPECT_EQ(EditorRules::snapPitch(in), out) << in;
    const std::pair<float, float> speed[] = {{1.49f, 1}, {1.5f, 2}, {-0.5f, -1}, {0.5f, 0}, {-1.5f, -2}, {-1.49f, -1}};
    for (auto [in, out] : speed) EXPECT_EQ(EditorRules::snapSpeed(in), out) << in;
    const std::pair<float, float> fade[] = {{0.75f, 0}, {0.76f, 1.5f}, {2.25f, 1.5f}, {2.26f, 3}, {0, 0}, {3, 3}};
    for (auto [in, out] : fade) EXPECT_EQ(EditorRules::snapFade(in), out) << in;
}

// Every row of the decision table: hardware encoder, mp4, factors 1.0 ->
// engine for a preview, engine for an export, writer.
TEST(EditorRules, EngineAndWriterFollowTheDecisionTable) {
    struct Row {
        bool hw, mp4, unchanged, previewEngine, exportEngine;
        RingtoneWriter writer;
    } rows[] = {
        {true, true, true, false, false, RingtoneWriter::PlatformExport},
        {true, false, true, false, false, RingtoneWriter::PlatformExport},
        {true, true, false, true, true, RingtoneWriter::PlatformExport},
        {true, false, false, true, true, RingtoneWriter::PlatformExport},
        {false, true, true, false, false, RingtoneWriter::PlatformExport},
        {false, true, false, true, true, RingtoneWriter::AacWriter},
        {false, false, true, false, true, RingtoneWriter::AacWriter},
        {false, false, false, true, true, RingtoneWriter::AacWriter},
    };
    for (const Row& row : rows) {
        for (float pitchOnly : {0.0f, 1.0f}) {
            Ringtune r(QUrl(), QStringLiteral("t"), QStringLiteral("a"), QImage());
            r.setMp4(row.mp4);
            if (!row.unchanged) {
                if (pitchOnly > 0) r.setPitch(6);
                else r.setSpeed(1);
            }
            const auto where = ::testing::Message() << row.hw << row.mp4 << row.unchanged << pitchOnly;
            EXPECT_EQ(!EditorRules::isEngineSkipped(r, true, row.hw), row.previewEngine) << where;
            EXPECT_EQ(!EditorRules::isEngineSkipped(r, false, row.hw), row.exportEngine) << where;
            EXPECT_EQ(EditorRules::writerFor(r, row.hw), row.writer) << where;
        }
    }
}

TEST(SegmentControls, LoadSetsLengthAndStartLimitsFromTheSong) {
    SegmentControls c;
    c.loadReset(25.0f);
    EXPECT_EQ(c.length(), 3.0f);
    EXPECT_EQ(c.lengthSlider().maximum, 25.0f);
    EXPECT_EQ(c.startSlider().maximum, 22.0f);
    c.loadReset(180.0f);
    EXPECT_EQ(c.lengthSlider().maximum, 40.0f);
    EXPECT_EQ(c.startSlider().maximum, 177.0f);
    EXPECT_EQ(c.start(), 0.0f);
}

TEST(SegmentControls, ALongerSegmentPullsTheStartBackWithinTheSong) {
    SegmentControls c;
    c.loadReset(180.0f);
    c.setLength(10.0f);
    c.setStart(170.0f);
    EXPECT_EQ(c.start(), 170.0f);
    c.setLength(20.0f);
    EXPECT_EQ(c.startSlider().maximum, 160.0f);
    EXPECT_EQ(c.start(), 160.0f);
}

TEST(SegmentControls, StartsBelowATenthAreNotNudgedAndStepsClamp) {
    SegmentControls c;
    c.loadReset(180.0f);
    c.setStart(0.05f);
    c.setLength(5.0f);
    EXPECT_EQ(c.start(), 0.05f);
    c.setStart(500.0f);
    EXPECT_EQ(c.start(), 175.0f);
    c.stepStart(true); // at the maximum: stays
    EXPECT_EQ(c.start(), 175.0f);
    c.stepStart(false);
    EXPECT_EQ(c.start(), float(175.0 - 0.1));
    c.setLength(45.0f);
    EXPECT_EQ(c.length(), 40.0f);
    c.setLength(1.0f);
    EXPECT_EQ(c.length(), 3.0f);
}
