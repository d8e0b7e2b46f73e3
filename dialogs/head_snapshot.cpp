#include "dialogs/head_snapshot.h"

#include <algorithm>
#include <memory>

void HeadSnapshot::Store(head3& h) {
    h.set_actual();
    int vSlots = 0, tSlots = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) vSlots = std::max(vSlots, v + 1);
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) tSlots = std::max(tSlots, t + 1);
    positions_.assign(size_t(vSlots), vector3<double>());
    vertexHeld_.assign(size_t(vSlots), 0);
    triangles_.assign(size_t(tSlots), Corners());
    triangleHeld_.assign(size_t(tSlots), 0);
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        positions_[size_t(v)] = h.vertices[v].position;
        vertexHeld_[size_t(v)] = 1;
    }
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        const triangle& tr = h.triangles[t];
        Corners& c = triangles_[size_t(t)];
        for (int k = 0; k < 3; ++k) c.texture[k] = tr.texture[k];
        triangleHeld_[size_t(t)] = 1;
    }
    hasTexture_ = h.texture != nullptr;
    if (hasTexture_)
        texture_ = *h.texture;
    else
        texture_ = TextureImage();
    stored_ = true;
}

bool HeadSnapshot::Load(head3& h) const {
    if (!stored_) return false;
    h.set_actual();
    if (hasTexture_) {
        if (h.texture && h.texture->width == texture_.width && h.texture->height == texture_.height &&
            h.texture->rgb.size() == texture_.rgb.size())
            *h.texture = texture_;  // in the same block, with the stored texels' count
        else
            h.texture = std::make_unique<TextureImage>(texture_);
    }
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        if (size_t(v) < vertexHeld_.size() && vertexHeld_[size_t(v)]) h.vertices[v].position = positions_[size_t(v)];
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        if (size_t(t) >= triangleHeld_.size() || !triangleHeld_[size_t(t)]) continue;
        triangle& tr = h.triangles[t];
        const Corners& c = triangles_[size_t(t)];
        for (int k = 0; k < 3; ++k) tr.texture[k] = c.texture[k];
    }
    h.Changed();
    h.UpdateFeaturePoints();
    return true;
}
