#pragma once
// Values shared by the morph pages: what the document keeps about the age
// and weight that the present head already carries, and the rules by which
// a slider notification becomes a morph.

namespace morph {

// Slider positions of the model page (0..6, middle 3) and the age page
// (0..10, start 2).
inline constexpr int kModelMiddle = 3;
inline constexpr int kModelMaximum = 6;
inline constexpr int kAgePageStart = 2;
inline constexpr int kAgePageMaximum = 10;

// The four morph sliders in the pages' order; the picture-editor model page
// binds only the first two.
enum Slider : int { kAge = 0, kWeight = 1, kAsian = 2, kAfrican = 3, kSliderCount = 4 };

// Which age and weight the head's present geometry and texture carry (the
// document keeps it; it is not written to files). A head read from a
// template carries nothing: age 0 and the middle weight.
struct CarriedMorph {
    int geometryAge = 0;
    int geometryWeight = kModelMiddle;
    int textureAge = 0;  // the age embossed into the texture

    bool operator==(const CarriedMorph&) const = default;

    // A new head (template, head file, import): nothing carried.
    void NewHead() { *this = CarriedMorph(); }
    // A texture built anew from the photo: no age on it.
    void NewTexture() { textureAge = 0; }
    // A project read at stage 2500 holds the head as the page left it, with
    // the document's age and weight on it.
    void ProjectRead(int age, int weight) {
        geometryAge = age;
        geometryWeight = weight;
        textureAge = age;
    }
};

// The age to emboss into a texture restored from a copy that carries
// `copyCarries`, for the slider age `wanted`: none when the copy already
// carries it (an embossed texture cannot be un-embossed, so a copy carrying
// another age is embossed again).
inline int AgeToEmboss(int wanted, int copyCarries) { return copyCarries != 0 && copyCarries == wanted ? 0 : wanted; }

// Track-bar notification codes of a horizontal scroll.
inline constexpr int kThumbPosition = 4;  // TB_THUMBPOSITION: the thumb was released
inline constexpr int kEndTrack = 8;       // TB_ENDTRACK: a key, a click on the channel or a drag ended

enum class SliderAction {
    kNothing,  // not an applying notification, or no slider moved
    kApply,    // exactly one slider moved: apply it
    kPutBack,  // several moved: every slider goes back to its applied position
};

struct SliderDecision {
    SliderAction action = SliderAction::kNothing;
    int slider = -1;  // the moved slider (kApply)
    int delta = 0;    // its new position minus its applied position
};

// What a scroll notification with `code` does, given the sliders' present
// positions and their applied positions (count of each). Only the release
// and end-of-track codes act (after a drag the second finds nothing to
// do); `anyCode` makes every code act (the Mac build's slider commands).
SliderDecision DecideSlider(int code, const int* positions, const int* applied, int count, bool anyCode = false);

}  // namespace morph
