// The editor's controls through the presenter: the limits that follow the
// song, the step buttons, and the working ringtone marked not processed by
// every change. The controls' own snapping: tests/editor/model.
#include "EditorFixture.h"

using namespace quorvel;
using namespace quorvel::test;

class EditorControlsOnASong : public EditorFixture {};

TEST_F(EditorControlsOnASong, LimitsFollowTheSongsLength) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("short.wav")));
    const EditorControls& c = presenter->controls();
    EXPECT_EQ(c.lengthSlider().maximum, 25.0f);
    EXPECT_EQ(c.startSlider().maximum, 22.0f);
    EXPECT_EQ(c.start(), 0.0f);
    EXPECT_EQ(c.length(), 3.0f);
    EXPECT_EQ(c.startText(), QStringLiteral("00:00.0"));
    EXPECT_EQ(c.rangeText(), QStringLiteral("03.0"));
    EXPECT_DOUBLE_EQ(presenter->waveContentSize().width(), 25.0 * 6.75);
    EXPECT_DOUBLE_EQ(presenter->waveContentSize().height(), 79.0);

    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    EXPECT_EQ(c.lengthSlider().maximum, 40.0f);
    EXPECT_EQ(c.startSlider().maximum, 177.0f);

    // Length 10 -> 20 at start 170: the start's maximum drops to 160 and the start with it.
    presenter->rangeValueChanged(10.0f);
    presenter->startValueChanged(170.0f);
    EXPECT_EQ(c.start(), 170.0f);
    presenter->rangeValueChanged(20.0f);
    EXPECT_EQ(c.startSlider().maximum, 160.0f);
    EXPECT_EQ(c.start(), 160.0f);
    EXPECT_EQ(c.startText(), QStringLiteral("02:40.0"));
    // The segment's end is anchored at 270 points; the strip scrolls to (160 + 20) x 6.75 - 270.
    EXPECT_FLOAT_EQ(float(presenter->rangeFrame().x()), 270.0f - 20.0f * 6.75f);
    EXPECT_FLOAT_EQ(float(presenter->rangeFrame().width()), 135.0f);
    EXPECT_FLOAT_EQ(float(presenter->visibleRect().x()), 180.0f * 6.75f - 270.0f);
    EXPECT_EQ(presenter->cursorFrame().x(), presenter->rangeFrame().x());
    EXPECT_EQ(presenter->cursorFrame().width(), 3.0);
    EXPECT_EQ(presenter->cursorFrame().height(), 81.0);
}

TEST_F(EditorControlsOnASong, AStartBelowATenthIsNotNudgedByALengthChange) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    presenter->startValueChanged(0.05f);
    presenter->rangeValueChanged(12.0f);
    EXPECT_EQ(presenter->controls().start(), 0.05f);
    // At 0.1 and above the nudge runs and lands back on the same value.
    presenter->startValueChanged(12.3f);
    presenter->rangeValueChanged(13.0f);
    EXPECT_EQ(presenter->controls().start(), float(double(float(double(12.3f) - 0.1)) + 0.1));
}

TEST_F(EditorControlsOnASong, StepButtonsTickMoveATenthAndStopAtTheLimits) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("short.wav")));
    const EditorControls& c = presenter->controls();
    presenter->startForward();
    EXPECT_EQ(c.start(), float(0.1));
    EXPECT_EQ(c.startText(), QStringLiteral("00:00.1"));
    presenter->rangeForward();
    EXPECT_EQ(c.length(), float(3.0 + 0.1));
    presenter->rangeBackward();
    presenter->rangeBackward();
    EXPECT_EQ(c.length(), 3.0f);
    EXPECT_EQ(view.ticks, 4);

    // At the start's maximum the button still ticks and refreshes label and marker.
    presenter->startValueChanged(100.0f);
    ASSERT_EQ(c.start(), 22.0f);
    const int before = changes;
    presenter->startForward();
    EXPECT_EQ(c.start(), 22.0f);
    EXPECT_EQ(view.ticks, 5);
    EXPECT_GT(changes, before);
    EXPECT_EQ(c.startText(), QStringLiteral("00:22.0"));
    presenter->startBackward();
    EXPECT_EQ(c.start(), float(22.0 - 0.1));
}

TEST_F(EditorControlsOnASong, EveryChangeMarksTheRingtoneNotProcessed) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    const std::pair<const char*, std::function<void()>> changesOf[] = {
        {"start", [&] { presenter->startValueChanged(5.0f); }},
        {"length", [&] { presenter->rangeValueChanged(8.0f); }},
        {"fade in", [&] { presenter->fadeInValueChanged(1.5f); }},
        {"fade out", [&] { presenter->fadeOutValueChanged(3.0f); }},
        {"pitch", [&] { presenter->pitchValueChanged(6.0f); }},
        {"speed", [&] { presenter->speedValueChanged(1.0f); }},
        {"pitch dragged", [&] { presenter->pitchValueChanged(4.0f, SliderPhase::Dragging); }},
        {"start forward", [&] { presenter->startForward(); }},
        {"start backward", [&] { presenter->startBackward(); }},
        {"length forward", [&] { presenter->rangeForward(); }},
        {"length backward", [&] { presenter->rangeBackward(); }},
    };
    for (const auto& [name, change] : changesOf) {
        presenter->ringtune()->setProcessed(true);
        change();
        EXPECT_FALSE(presenter->ringtune()->isProcessed()) << name;
    }
}

TEST_F(EditorControlsOnASong, PitchAndSpeedReachTheRingtoneOnlyWhenSnapped) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    const auto& r = presenter->ringtune();
    presenter->speedValueChanged(1.7f, SliderPhase::Dragging);
    EXPECT_EQ(r->speed(), 1.0f);
    EXPECT_FLOAT_EQ(presenter->controls().speedSlider().value, 1.7f);
    presenter->speedValueChanged(1.7f, SliderPhase::Released);
    EXPECT_EQ(r->speed(), 2.0f);
    EXPECT_EQ(r->speedPosition(), 2.0f);
    presenter->pitchValueChanged(-9.0f);
    EXPECT_EQ(r->pitch(), 0.5f);
    presenter->speedValueChanged(-0.6f);
    EXPECT_EQ(r->speed(), 0.70710677f);
    EXPECT_EQ(r->speedPosition(), -1.0f);
}

TEST_F(EditorControlsOnASong, WithoutAWorkingRingtoneTheControlsChangeNothing) {
    presenter->viewDidAppear();
    EXPECT_TRUE(presenter->isStartScreenShown());
    EXPECT_FALSE(presenter->areControlsEnabled());
    const int before = changes;
    presenter->startValueChanged(2.0f);
    presenter->rangeValueChanged(9.0f);
    presenter->fadeInValueChanged(3.0f);
    presenter->pitchValueChanged(12.0f);
    presenter->speedValueChanged(2.0f);
    presenter->startForward();
    presenter->rangeBackward();
    presenter->playOrPauseMusic();
    presenter->preProcessRingtoneForExport();
    const EditorControls& c = presenter->controls();
    EXPECT_EQ(c.start(), 0.0f);
    EXPECT_EQ(c.length(), 3.0f);
    EXPECT_EQ(c.fadeIn(), 0.0f);
    EXPECT_EQ(c.pitch(), 0.0f);
    EXPECT_EQ(c.speed(), 0.0f);
    EXPECT_EQ(view.ticks, 0);
    EXPECT_EQ(changes, before);
    EXPECT_FALSE(presenter->isProcessingNoticeShown());
}
