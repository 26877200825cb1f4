// The editor's sliders on their own: snapping on release, following the
// thumb while dragging, and the labels' texts.
#include "editor/EditorControls.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(EditorControls, VerticalSlidersSnapOnReleaseAndFollowTheThumbWhileDragging) {
    struct Case {
        float (EditorControls::*set)(float, SliderPhase);
        float value, snapped;
    } cases[] = {
        {&EditorControls::setPitch, 8.9f, 6.0f},   {&EditorControls::setPitch, 9.0f, 12.0f},
        {&EditorControls::setPitch, -9.0f, -12.0f}, {&EditorControls::setPitch, -3.0f, -6.0f},
        {&EditorControls::setPitch, 3.0f, 0.0f},   {&EditorControls::setSpeed, 1.49f, 1.0f},
        {&EditorControls::setSpeed, 1.5f, 2.0f},   {&EditorControls::setSpeed, -0.5f, -1.0f},
        {&EditorControls::setSpeed, 0.5f, 0.0f},   {&EditorControls::setFadeIn, 0.75f, 0.0f},
        {&EditorControls::setFadeIn, 0.76f, 1.5f}, {&EditorControls::setFadeOut, 2.25f, 1.5f},
        {&EditorControls::setFadeOut, 2.26f, 3.0f}, {&EditorControls::setFadeOut, 7.0f, 3.0f},
    };
    for (const Case& c : cases) {
        EditorControls controls;
        EXPECT_EQ((controls.*c.set)(c.value, SliderPhase::Released), c.snapped) << c.value;
    }

    EditorControls controls;
    controls.setPitch(8.9f, SliderPhase::Dragging);
    EXPECT_FLOAT_EQ(controls.pitchSlider().value, 8.9f);
    EXPECT_EQ(controls.pitch(), 0.0f);
    EXPECT_EQ(controls.pitchText(), QStringLiteral("0"));
    controls.setPitch(8.9f, SliderPhase::Released);
    EXPECT_EQ(controls.pitchSlider().value, 6.0f);
    EXPECT_EQ(controls.pitchText(), QStringLiteral("+6"));
    controls.setSpeed(-2.0f, SliderPhase::Released);
    EXPECT_EQ(controls.speedText(), QStringLiteral("-2"));
    controls.setFadeIn(1.0f, SliderPhase::Released);
    EXPECT_EQ(controls.fadeInText(), QStringLiteral("01.5"));
}
