#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "model/head.h"
#include "model/octree.h"

namespace {

uint64_t lastChangeCount = 0;

struct Fingerprint {
    uint64_t h = 0x9E3779B97F4A7C15ull;
    void add(uint64_t v) { h = (h ^ v) * 0x100000001B3ull + (h >> 29); }
    void add(double d) {
        uint64_t v;
        std::memcpy(&v, &d, sizeof v);
        add(v);
    }
    void add(const vector3<double>& p) { add(p.x), add(p.y), add(p.z); }
};

}  // namespace

uint64_t head3::nextChangeCount() { return ++lastChangeCount; }

void head3::Changed() { geometryCount_ = changeCount_ = nextChangeCount(); }

void head3::TextureChanged() { changeCount_ = nextChangeCount(); }

void headChanged() {
    if (actual_head3) actual_head3->Changed();
}

// What the octree, the normals and the display lists are made from.
uint64_t head3::fingerprint(bool withTexture) const {
    Fingerprint f;
    for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) {
        const vertex& x = vertices[v];
        f.add(uint64_t(v));
        f.add(x.position);
        for (int k = x.triangles.first(); k != -1; k = x.triangles.nextOf(k)) f.add(uint64_t(int(x.triangles[k])));
    }
    for (int t = triangles.first(); t != -1; t = triangles.nextOf(t)) {
        const triangle& tr = triangles[t];
        f.add(uint64_t(t));
        for (int k = 0; k < 3; ++k) {
            f.add(uint64_t(int(tr.corner(k))));
            if (withTexture) f.add(tr.texture[k].x), f.add(tr.texture[k].y);
        }
        if (withTexture) f.add(uint64_t(tr.group));
    }
    return f.h;
}

namespace {

// Builds with assertions: the fingerprint of what was built at count, taken
// the first time a build asks for that count.
void remember(uint64_t count, uint64_t& at, uint64_t& print, const std::function<uint64_t()>& take) {
#ifndef NDEBUG
    if (at != count) {
        print = take();
        at = count;
    }
#else
    (void)count, (void)at, (void)print, (void)take;
#endif
}

bool unchanged(uint64_t built, uint64_t count, uint64_t at, uint64_t print, const std::function<uint64_t()>& take,
               const char* what) {
    if (built != count) return false;
#ifndef NDEBUG
    if (at == count && take() != print) {
        std::fprintf(stderr, "%s: the head changed, but its change count did not\n", what);
        std::abort();
    }
#else
    (void)at, (void)print, (void)take, (void)what;
#endif
    return true;
}

}  // namespace

uint64_t head3::builtAt() const {
    remember(changeCount_, fingerprintAt_, fingerprint_, [this] { return fingerprint(true); });
    return changeCount_;
}

bool head3::unchangedSince(uint64_t built, const char* what) const {
    return unchanged(built, changeCount_, fingerprintAt_, fingerprint_, [this] { return fingerprint(true); }, what);
}

uint64_t head3::geometryBuiltAt() const {
    remember(geometryCount_, shapeFingerprintAt_, shapeFingerprint_, [this] { return fingerprint(false); });
    return geometryCount_;
}

bool head3::geometryUnchangedSince(uint64_t built, const char* what) const {
    return unchanged(built, geometryCount_, shapeFingerprintAt_, shapeFingerprint_,
                     [this] { return fingerprint(false); }, what);
}

const std::vector<vector3<double>>& head3::vertexNormals() {
    if (!geometryUnchangedSince(normalsAt_, "vertex normals") || normals_.empty()) {
        int slots = 0;
        for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) slots = std::max(slots, v + 1);
        normals_.assign(size_t(slots), vector3<double>());
        for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) normals_[size_t(v)] = normalvector(v);
        normalsAt_ = geometryBuiltAt();
    }
    return normals_;
}

int head3::fillOctree() {
    if (!octree_) octree_.reset(new octtree);
    octtree& tree = *octree_;
    if (tree.filled() && tree.edits() == octreeEditsAt_ && geometryUnchangedSince(octreeAt_, "octree")) {
        // A fill sets the cell limit that all trees share.
        octtree_rec::minSizeofCube = tree.minimalCellSize();
        return 1;
    }
    head3* was = actual_head3;
    set_actual();
    const int filled = tree.fill();
    if (was && was != this) was->set_actual();
    octreeAt_ = geometryBuiltAt();
    octreeEditsAt_ = tree.edits();
    return filled;
}
