#include "dialogs/morph_pages.h"

#include <algorithm>
#include <memory>

#include "dialogs/age_map.h"
#include "dialogs/region_morph.h"
#include "picture/winbmp.h"

namespace morph {

void MoveByAge(head3& h, int steps) {
    if (steps == 0) return;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vertex& x = h.vertices[v];
        x.position += x.age80 * double(steps) / 6.0;
    }
    h.Changed();
}

void MoveByWeight(head3& h, int steps) {
    if (steps == 0) return;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vertex& x = h.vertices[v];
        x.position += x.age30 * double(steps) / 6.0;
    }
    h.Changed();
}

void GeometryMoved(head3& h) {
    h.set_actual();
    h.SetMinMax(false);
    h.UpdateFeaturePoints();
    h.OctreeMoved();
}

namespace {
void runSteps(head3& h, const RegionRunner& regions, std::span<const RegionStep> steps, int delta) {
    if (regions)
        regions(steps, delta);
    else
        RunRegionSteps(h, steps, delta);
}
}  // namespace

// ---- model page ----

void ModelPageCore::remember(const head3& h) {
    if (h.texture)
        produced_ = h.texture->rgb;
    else
        produced_.clear();
}

void ModelPageCore::Open(head3& h, ModelPageDocument doc, int positions[kSliderCount],
                         std::span<const unsigned char> picture) {
    h.set_actual();
    start_.Store(h);
    start_.carried = doc.carried;
    BuildAgeMap(h, doc.ageMap, doc.group, picture);
    mean_ = h.texture ? FaceCentreMean(*h.texture) : Colour{0, 0, 0};
    positions[kAge] = doc.age;
    positions[kWeight] = doc.weight;
    positions[kAsian] = positions[kAfrican] = kModelMiddle;
    // Only what the head does not carry yet: a head reopened, or refined
    // with its geometry kept, is not aged twice.
    MoveByAge(h, doc.age - doc.carried.geometryAge);
    MoveByWeight(h, doc.weight - doc.carried.geometryWeight);
    doc.carried.geometryAge = doc.age;
    doc.carried.geometryWeight = doc.weight;
    std::copy(positions, positions + kSliderCount, applied_);
    if (h.texture) {
        ModTexture(*h.texture, doc.ageMap, AgeToEmboss(doc.age, doc.carried.textureAge));
        doc.carried.textureAge = doc.age;
    }
    remember(h);
    GeometryMoved(h);
}

void ModelPageCore::rebuildTexture(head3& h, ModelPageDocument& doc) {
    TextureImage* start = start_.texture();
    if (!h.texture || !start) return;
    KeepPaintedTexels(*h.texture, produced_, *start);
    if (h.texture->rgb.size() == start->rgb.size() && h.texture->width == start->width)
        *h.texture = *start;
    else
        h.texture = std::make_unique<TextureImage>(*start);
    if (ethnicity_) ModColor(*h.texture, applied_[kAsian], applied_[kAfrican], mean_);
    ModTexture(*h.texture, doc.ageMap, AgeToEmboss(applied_[kAge], start_.carried.textureAge));
    doc.carried.textureAge = applied_[kAge];
    remember(h);
}

void ModelPageCore::UndoPoint(head3& h, const ModelPageDocument& doc) {
    undo_.Store(h);
    std::copy(applied_, applied_ + kSliderCount, undo_.sliders);
    undo_.carried = doc.carried;
}

SliderDecision ModelPageCore::Scroll(head3& h, ModelPageDocument doc, int code, int positions[kSliderCount],
                                     bool anyCode, const RegionRunner& regions) {
    const int n = sliderCount();
    SliderDecision d = DecideSlider(code, positions, applied_, n, anyCode);
    if (d.action == SliderAction::kPutBack) std::copy(applied_, applied_ + n, positions);
    if (d.action != SliderAction::kApply) return d;
    h.set_actual();
    UndoPoint(h, doc);
    std::copy(positions, positions + n, applied_);
    switch (d.slider) {
        case kAge:
            MoveByAge(h, d.delta);
            doc.age = applied_[kAge];
            doc.carried.geometryAge = applied_[kAge];
            break;
        case kWeight:
            MoveByWeight(h, d.delta);
            doc.weight = applied_[kWeight];
            doc.carried.geometryWeight = applied_[kWeight];
            break;
        case kAsian: runSteps(h, regions, kAsianSteps, d.delta); break;
        case kAfrican: runSteps(h, regions, kAfricanSteps, d.delta); break;
    }
    rebuildTexture(h, doc);
    if (d.slider == kAge || d.slider == kWeight)
        GeometryMoved(h);
    else
        RefreshAfterRegions(h);
    return d;
}

bool ModelPageCore::Undo(head3& h, ModelPageDocument doc, int positions[kSliderCount]) {
    if (!undo_.Load(h)) return false;
    std::copy(undo_.sliders, undo_.sliders + kSliderCount, applied_);
    std::copy(applied_, applied_ + kSliderCount, positions);
    doc.age = applied_[kAge];
    doc.weight = applied_[kWeight];
    doc.carried = undo_.carried;
    remember(h);
    GeometryMoved(h);
    return true;
}

void ModelPageCore::LoadStart(head3& h, ModelPageDocument doc) {
    start_.Load(h);
    doc.carried = start_.carried;
    remember(h);
    GeometryMoved(h);
}

void ModelPageCore::Revert(head3& h, ModelPageDocument doc, int positions[kSliderCount]) {
    // Paint since the last rebuild stays, as at a slider change.
    if (h.texture && start_.texture()) KeepPaintedTexels(*h.texture, produced_, *start_.texture());
    start_.Load(h);
    doc.carried = start_.carried;
    MoveByAge(h, kModelMiddle - doc.carried.geometryAge);
    MoveByWeight(h, kModelMiddle - doc.carried.geometryWeight);
    doc.carried.geometryAge = doc.carried.geometryWeight = kModelMiddle;
    doc.age = doc.weight = kModelMiddle;
    for (int k = 0; k < kSliderCount; ++k) applied_[k] = positions[k] = kModelMiddle;
    if (h.texture) {
        ModTexture(*h.texture, doc.ageMap, AgeToEmboss(kModelMiddle, start_.carried.textureAge));
        doc.carried.textureAge = kModelMiddle;
    }
    remember(h);
    GeometryMoved(h);
}

// ---- age page ----

void AgePageCore::Open(head3& h, CWinBmp& ageMap, int positions[kSliderCount], std::span<const unsigned char> picture) {
    h.set_actual();
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        h.vertices[v].position = h.vertices[v].loadPosition;
    h.Changed();
    GeometryMoved(h);
    start_.Store(h);
    ageMap.Create(8, 8, 32, false);
    AgePageTargets(h, target_);
    built_ = h.texture && BuildAgePageMap(ageMap, h.texture->width, h.texture->height, target_, picture);
    if (h.texture) {
        double x0 = target_[0].x, x1 = x0, y0 = target_[0].y, y1 = y0;
        for (int k = 1; k < 3; ++k) {
            x0 = std::min(x0, target_[k].x);
            x1 = std::max(x1, target_[k].x);
            y0 = std::min(y0, target_[k].y);
            y1 = std::max(y1, target_[k].y);
        }
        mean_ = MeanColour(*h.texture, int(x0), int(y0), int(x1), int(y1));
    }
    for (int k = 0; k < kSliderCount; ++k) applied_[k] = positions[k] = kAgePageStart;
}

SliderDecision AgePageCore::Scroll(head3& h, int code, int positions[kSliderCount], bool anyCode,
                                   const RegionRunner& regions) {
    SliderDecision d = DecideSlider(code, positions, applied_, kSliderCount, anyCode);
    if (d.action == SliderAction::kPutBack) std::copy(applied_, applied_ + kSliderCount, positions);
    if (d.action != SliderAction::kApply) return d;
    h.set_actual();
    undo_.Store(h);
    std::copy(applied_, applied_ + kSliderCount, undo_.sliders);
    switch (d.slider) {
        case kAge: runSteps(h, regions, kAgePageAgeSteps, d.delta); break;
        case kWeight: runSteps(h, regions, kAgePageWeightSteps, d.delta); break;
        case kAsian:
            runSteps(h, regions, kAsianSteps, d.delta);
            if (h.texture) ModColorStep(*h.texture, applied_[kAsian], positions[kAsian], kAsianColour, mean_);
            break;
        case kAfrican:
            runSteps(h, regions, kAfricanSteps, d.delta);
            if (h.texture) ModColorStep(*h.texture, applied_[kAfrican], positions[kAfrican], kAfricanColour, mean_);
            break;
    }
    RefreshAfterRegions(h);
    std::copy(positions, positions + kSliderCount, applied_);
    return d;
}

bool AgePageCore::Undo(head3& h, int positions[kSliderCount]) {
    if (!undo_.Load(h)) return false;
    std::copy(undo_.sliders, undo_.sliders + kSliderCount, applied_);
    std::copy(applied_, applied_ + kSliderCount, positions);
    GeometryMoved(h);
    return true;
}

void AgePageCore::Revert(head3& h, int positions[kSliderCount]) {
    LoadStart(h);
    for (int k = 0; k < kSliderCount; ++k) applied_[k] = positions[k] = kAgePageStart;
}

void AgePageCore::LoadStart(head3& h) {
    start_.Load(h);
    GeometryMoved(h);
}

}  // namespace morph
