#pragma once
// The window-free work of the two morph pages: the model page of step 3
// (age and weight by the head's age and weight offsets, ethnicity by region
// morphs and recolouring, the texture rebuilt from the start copy at every
// change) and the age page of an imported figure (every slider by region
// morphs, ethnicity recolouring step by step). Each keeps its start and
// undo states and the positions it applied; the windows read their
// sliders, pass the positions in, write back what comes out and redraw.
// After every call the head's geometry, box and feature points are up to
// date, its octree is filled again at its next use, and the set of
// gathered triangles is empty.

#include <functional>
#include <span>

#include "dialogs/head_snapshot.h"
#include "document/morph_state.h"
#include "dialogs/region_morph.h"
#include "dialogs/texture_morph.h"
#include "model/head.h"

class CWinBmp;

namespace morph {

// Every vertex moves by steps x its age offset / 6 (MoveByWeight: its
// weight offset).
void MoveByAge(head3& h, int steps);
void MoveByWeight(head3& h, int steps);
// After vertices moved: the box and the feature points follow, the octree
// at its next use.
void GeometryMoved(head3& h);

// Runs a slider's region sequence for a step of delta positions (the
// windows run it through their hidden engine window); empty: on an engine
// of its own (RunRegionSteps).
using RegionRunner = std::function<void(std::span<const RegionStep> steps, int delta)>;

// What the model page reads and changes of the document.
struct ModelPageDocument {
    int& age;                // the document's age value (0..6)
    int& weight;             // its weight value (0..6)
    CarriedMorph& carried;   // what the head carries
    CWinBmp& ageMap;         // the document's age map (built on opening)
    int group = 0;           // the refinement count: the feature codes in use
};

class ModelPageCore {
public:
    // ethnicity: the Asian and African sliders are bound (outside the
    // picture-editor mode).
    explicit ModelPageCore(bool ethnicity) : ethnicity_(ethnicity) {}

    int sliderCount() const { return ethnicity_ ? 4 : 2; }

    // Opening: the start state, the age map, the face's mean colour, the
    // document's age and weight applied to what the head does not carry
    // yet, and the texture aged. positions receives the sliders' start
    // positions (age, weight, 3, 3). `picture`: the age map's picture in
    // place of the built-in one.
    void Open(head3& h, ModelPageDocument doc, int positions[kSliderCount],
              std::span<const unsigned char> picture = {});
    // A scroll notification with the sliders' positions: applies a single
    // moved slider, or puts several back (positions rewritten).
    SliderDecision Scroll(head3& h, ModelPageDocument doc, int code, int positions[kSliderCount],
                          bool anyCode = false, const RegionRunner& regions = {});
    // The undo point (before a slider change, and before mirroring).
    void UndoPoint(head3& h, const ModelPageDocument& doc);
    // Back to the undo point; false (nothing done) before the first one.
    bool Undo(head3& h, ModelPageDocument doc, int positions[kSliderCount]);
    // Back to the start state, then brought to age 3 and weight 3 as slider
    // changes would bring it; the document's values become 3.
    void Revert(head3& h, ModelPageDocument doc, int positions[kSliderCount]);
    // The start state alone (the back buttons), with what it carried.
    void LoadStart(head3& h, ModelPageDocument doc);

    const int* applied() const { return applied_; }
    const Colour& mean() const { return mean_; }
    const HeadSnapshot& start() const { return start_; }
    const HeadSnapshot& undo() const { return undo_; }

private:
    // Restores the start texture (texels painted since the last rebuild kept
    // in it), recolours and ages it by the applied positions.
    void rebuildTexture(head3& h, ModelPageDocument& doc);
    void remember(const head3& h);

    bool ethnicity_;
    int applied_[kSliderCount] = {kModelMiddle, kModelMiddle, kModelMiddle, kModelMiddle};
    Colour mean_ = {0, 0, 0};
    HeadSnapshot start_, undo_;
    std::vector<unsigned char> produced_;  // the texture as the page last left it
};

class AgePageCore {
public:
    // Opening: every vertex back to its saved position, the start state, the
    // age map (an 8 x 8 placeholder first, kept when the picture cannot pass
    // through its file), the mean colour between the targets; positions all
    // 2. `picture`: in place of the built-in one.
    void Open(head3& h, CWinBmp& ageMap, int positions[kSliderCount], std::span<const unsigned char> picture = {});
    SliderDecision Scroll(head3& h, int code, int positions[kSliderCount], bool anyCode = false,
                          const RegionRunner& regions = {});
    bool Undo(head3& h, int positions[kSliderCount]);
    // The start state with every slider at 2.
    void Revert(head3& h, int positions[kSliderCount]);
    // The start state alone (Dots and Cancel).
    void LoadStart(head3& h);

    // Whether the age map was built (else the placeholder: no bump map).
    bool ageMapBuilt() const { return built_; }
    const vector2<double>* targets() const { return target_; }
    const int* applied() const { return applied_; }
    const Colour& mean() const { return mean_; }

private:
    int applied_[kSliderCount] = {kAgePageStart, kAgePageStart, kAgePageStart, kAgePageStart};
    Colour mean_ = {0, 0, 0};
    vector2<double> target_[3];
    bool built_ = false;
    HeadSnapshot start_, undo_;
};

}  // namespace morph
