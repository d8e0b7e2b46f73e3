#pragma once
// One saved state of the head for the morph pages' Revert and Undo: the
// texture, every vertex position and every triangle's texture coordinates,
// kept by slot (arrays sized by the largest slot + 1, so heads
// with gaps in their slots fit), with the pages' slider positions and what
// the head carried.

#include <vector>

#include "document/morph_state.h"
#include "model/head.h"

class HeadSnapshot {
public:
    // Copies the head's state (the head becomes the current one).
    void Store(head3& h);
    // Writes the copy back into the head: the texture, the positions of the
    // vertices and the texture coordinates of the triangles that exist both
    // then and now (an edit since may have removed or added some). Corners
    // are left as the head has them (writing back a corner that an edit
    // changed would break the vertex's triangle links). Ends with
    // head3::UpdateFeaturePoints. False (nothing written) before a Store.
    bool Load(head3& h) const;
    bool stored() const { return stored_; }
    // The texture copy (null when the head had none).
    TextureImage* texture() { return stored_ && hasTexture_ ? &texture_ : nullptr; }
    const TextureImage* texture() const { return stored_ && hasTexture_ ? &texture_ : nullptr; }

    // Kept with the copy by its owner.
    int sliders[morph::kSliderCount] = {0, 0, 0, 0};
    morph::CarriedMorph carried;

private:
    struct Corners {
        vector2<double> texture[3];
    };
    bool stored_ = false;
    std::vector<vector3<double>> positions_;
    std::vector<char> vertexHeld_;
    std::vector<Corners> triangles_;
    std::vector<char> triangleHeld_;
    bool hasTexture_ = false;
    TextureImage texture_;
};
