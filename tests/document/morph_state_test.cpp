// When a slider notification applies, and what the document's record of
// the carried age and weight does.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/morph_state.h"

namespace {

using morph::DecideSlider;
using morph::SliderAction;

TEST(SliderRules, OnlyReleaseAndEndOfTrackApplyOneMovedSlider) {
    struct Case {
        const char* what;
        int code;
        std::vector<int> positions;
        bool anyCode;
        SliderAction action;
        int slider, delta;
    };
    const std::vector<int> applied = {3, 3, 3, 3};
    const Case cases[] = {
        {"release", 4, {5, 3, 3, 3}, false, SliderAction::kApply, 0, 2},
        {"end of track after a key", 8, {3, 2, 3, 3}, false, SliderAction::kApply, 1, -1},
        {"end of track after a drag", 8, {3, 3, 3, 3}, false, SliderAction::kNothing, -1, 0},
        {"tracking", 5, {5, 3, 3, 3}, false, SliderAction::kNothing, -1, 0},
        {"line down", 1, {3, 3, 4, 3}, false, SliderAction::kNothing, -1, 0},
        {"page up", 2, {3, 3, 3, 0}, false, SliderAction::kNothing, -1, 0},
        {"top (Home)", 6, {0, 3, 3, 3}, false, SliderAction::kNothing, -1, 0},
        {"two moved", 8, {4, 3, 3, 2}, false, SliderAction::kPutBack, -1, 0},
        {"two moved, tracking", 5, {4, 3, 3, 2}, false, SliderAction::kNothing, -1, 0},
        {"slider command of any code", 0, {3, 3, 3, 6}, true, SliderAction::kApply, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const morph::SliderDecision d = DecideSlider(c.code, c.positions.data(), applied.data(), 4, c.anyCode);
        EXPECT_EQ(d.action, c.action);
        EXPECT_EQ(d.slider, c.slider);
        EXPECT_EQ(d.delta, c.delta);
    }
    // The picture-editor page binds two sliders: the others do not count.
    const std::vector<int> moved = {3, 4, 0, 0};
    const morph::SliderDecision d = DecideSlider(4, moved.data(), applied.data(), 2);
    EXPECT_EQ(d.action, SliderAction::kApply);
    EXPECT_EQ(d.slider, 1);
}

TEST(CarriedMorph, NewHeadTextureAndProjectRead) {
    morph::CarriedMorph c;
    EXPECT_EQ(c, (morph::CarriedMorph{0, 3, 0}));
    c.ProjectRead(5, 1);
    EXPECT_EQ(c, (morph::CarriedMorph{5, 1, 5}));
    c.NewTexture();
    EXPECT_EQ(c, (morph::CarriedMorph{5, 1, 0}));
    c.NewHead();
    EXPECT_EQ(c, morph::CarriedMorph());
    // A copy carrying the wanted age is not embossed again; one carrying
    // another age, or none, is.
    EXPECT_EQ(morph::AgeToEmboss(4, 0), 4);
    EXPECT_EQ(morph::AgeToEmboss(4, 4), 0);
    EXPECT_EQ(morph::AgeToEmboss(4, 2), 4);
    EXPECT_EQ(morph::AgeToEmboss(0, 0), 0);
}

}  // namespace
