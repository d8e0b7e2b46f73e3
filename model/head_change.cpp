#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "model/head.h"
#include "model/octree.h"

namespace {

uint64_t lastChangeCount = 0;
HeadBuildCounts builds;

struct Fingerprint {
    uint64_t h = 0x9E3779B97F4A7C15ull;
    // Every word through a full mix: equal hashes of two heads mean the
    // same numbers in the same order.
    void add(uint64_t v) {
        uint64_t x = h ^ v;
        x ^= x >> 33;
        x *= 0xFF51AFD7ED558CCDull;
        x ^= x >> 33;
        x *= 0xC4CEB9FE1A85EC53ull;
        h = x ^ (x >> 33);
    }
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

TextureImage::TextureImage() : changeCount_(++lastChangeCount) {}

void TextureImage::Changed() { changeCount_ = ++lastChangeCount; }

const HeadBuildCounts& headBuildCounts() { return builds; }
void resetHeadBuildCounts() { builds = HeadBuildCounts(); }

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

// What a textured list reads besides the shape.
uint64_t head3::textureFingerprint() const {
    Fingerprint f;
    for (int t = triangles.first(); t != -1; t = triangles.nextOf(t)) {
        const triangle& tr = triangles[t];
        f.add(uint64_t(t));
        for (int k = 0; k < 3; ++k) f.add(tr.texture[k].x), f.add(tr.texture[k].y);
        f.add(uint64_t(tr.group));
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

head3::BuildStamp head3::stampNow() const {
    // Builds with assertions check later uses against what this was.
    builtAt();
    geometryBuiltAt();
    if (shapeHashAt_ != geometryCount_) {
        shapeHash_ = fingerprint(false);
        shapeHashAt_ = geometryCount_;
    }
    if (textureHashAt_ != changeCount_) {
        textureHash_ = textureFingerprint();
        textureHashAt_ = changeCount_;
    }
    return {changeCount_, geometryCount_, shapeHash_, textureHash_};
}

bool head3::sameGeometry(const BuildStamp& b, const char* what) const {
    if (b.count == 0) return false;
    if (geometryUnchangedSince(b.geometryCount, what)) return true;
    return stampNow().shape == b.shape;
}

bool head3::sameGeometryAndTexture(const BuildStamp& b, const char* what) const {
    if (b.count == 0) return false;
    if (unchangedSince(b.count, what)) return true;
    const BuildStamp now = stampNow();
    return now.shape == b.shape && now.texture == b.texture;
}

const std::vector<vector3<double>>& head3::vertexNormals() {
    if (!sameGeometry(normalsStamp_, "vertex normals")) {
        int slots = 0;
        for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) slots = std::max(slots, v + 1);
        ++builds.normalSets;
        normals_.assign(size_t(slots), vector3<double>());
        for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) normals_[size_t(v)] = normalvector(v);
        geometryBuiltAt();
    }
    normalsStamp_ = stampNow();
    return normals_;
}

head3::Builds head3::releaseBuilds() {
    // Each goes with the stamp of what it was made from (whatever the head
    // has become since): the next head takes it only when it is that.
    Builds out;
    if (octree_ && octree_->filled() && octree_->edits() == octreeEditsAt_ && octreeStamp_.count != 0) {
        out.octree = std::move(octree_);
        out.octreeStamp = octreeStamp_;
        out.octreeEdits = octreeEditsAt_;
    }
    if (normalsStamp_.count != 0) {
        out.normals = std::move(normals_);
        out.normalsStamp = normalsStamp_;
    }
    return out;
}

void head3::adoptBuilds(Builds&& old) {
    // Used only where a build would come out the same (the stamps' hashes
    // are compared there). Until its first fill the head's own tree stays
    // as a new head's is.
    if (old.octree && old.octreeEdits == 0) {
        adoptedOctree_ = std::move(old.octree);
        adoptedStamp_ = old.octreeStamp;
    }
    if (old.normalsStamp.count != 0 && normalsStamp_.count == 0) {
        normals_ = std::move(old.normals);
        normalsStamp_ = old.normalsStamp;
    }
}

int head3::fillOctree() {
    if (adoptedOctree_) {
        // The replaced head's tree, when this fill would make the same one.
        if ((!octree_ || !octree_->filled()) && sameGeometry(adoptedStamp_, "octree")) {
            octree_ = std::move(adoptedOctree_);
            octreeStamp_ = adoptedStamp_;
            octreeEditsAt_ = 0;
        }
        adoptedOctree_.reset();
    }
    if (!octree_) octree_.reset(new octtree);
    octtree& tree = *octree_;
    if (tree.filled() && tree.edits() == octreeEditsAt_ && sameGeometry(octreeStamp_, "octree")) {
        // A fill sets the cell limit that all trees share.
        octtree_rec::minSizeofCube = tree.minimalCellSize();
        octreeStamp_ = stampNow();
        return 1;
    }
    head3* was = actual_head3;
    set_actual();
    ++builds.octreeFills;
    const int filled = tree.fill();
    if (was && was != this) was->set_actual();
    geometryBuiltAt();
    octreeStamp_ = stampNow();
    octreeEditsAt_ = tree.edits();
    return filled;
}
