// Mirroring the geometry and the texture of one half of the head.

#include "model/mirror.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <vector>

#include "foundation/random.h"

#include "framework/backend.h"
#include "framework/system.h"
#include "model/head.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/template_head.h"
#include "tests/support/test_meshes.h"

namespace {

class Mirror : public ::testing::Test {
protected:
    void SetUp() override {
        resetModelState();
        previous = brv::SetBackend(&backend);
        // The test heads are built, not read: choose the rows as reading a
        // head whose materials match no keyword does.
        svc::FaceTables& t = services.document.faceTables;
        t.faceMaterial = t.lipMaterial = t.eyeSocketMaterial = 0;
    }
    void TearDown() override {
        brv::SetBackend(previous);
        resetModelState();
    }
    fakes::Services services;
    brv::HeadlessBackend backend;
    brv::Backend* previous = nullptr;
};

void shiftAll(head3& h, double dx) {
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        h.vertices[v].position.x += dx;
        h.vertices[v].loadPosition.x += dx;
    }
}

TEST_F(Mirror, ASymmetricHeadDoesNotMoveAboutItsOwnMiddlePlane) {
    for (double x0 : {0.0, 0.3}) {
        resetModelState();
        head3 h;
        testmesh::icosphere(h, 2, 1.0);
        shiftAll(h, x0);  // symmetric about x = x0; the foremost vertices lie on it
        h.BuildMirror();
        std::map<int, vector3<double>> before;
        for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) before[v] = h.vertices[v].position;
        ASSERT_EQ(OnMirror('R'), 1);
        int moved = 0, sources = 0, middle = 0;
        for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
            const vertex& vx = h.vertices[v];
            const vector3<double> d = vx.position - before[v];
            EXPECT_LT(std::sqrt(d * d), 1e-9) << "vertex " << int(v) << " x0 " << x0;
            moved += vx.side == 'R';
            sources += vx.mirrorTriangle != -1;
            middle += vx.side == '=';
            EXPECT_NE(vx.side, ' ');
            EXPECT_EQ(vx.loadPosition.x, before[v].x);  // load positions come back
        }
        EXPECT_GT(moved, 50);
        EXPECT_GT(middle, 5);
        EXPECT_EQ(sources, h.vertices.count() - middle);
        EXPECT_MODEL_SOUND(h);
    }
    EXPECT_EQ(services.mainFrame.views2Calls, 2);
    EXPECT_EQ(services.viewEdit3D.initializeCalls.size(), 2u);
    EXPECT_EQ(services.viewOrigPhoto.redraws, 2);
    ASSERT_EQ(services.progress.opens.size(), 2u);
    EXPECT_EQ(services.progress.opens[0].caption, "Mirroring left to right");
    EXPECT_EQ(services.progress.opens[0].high, 18);
    EXPECT_FALSE(services.progress.opens[0].stopButton);
    EXPECT_EQ(services.progress.closes, 2);
}

TEST_F(Mirror, TheReplacedSideBlendsTowardsTheMirroredOtherSide) {
    head3 h;
    testmesh::icosphere(h, 2, 1.0);
    h.BuildMirror();
    // Distort the present positions unevenly; the load positions stay symmetric.
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vector3<double>& p = h.vertices[v].position;
        p = {p.x * 1.2 + 0.05 * p.y, p.y + 0.1 * p.x * p.x, p.z - 0.07 * p.x};
    }
    std::map<int, vector3<double>> before;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) before[v] = h.vertices[v].position;
    // Bounding box half width of the (unit) icosphere's load positions.
    double lo = 1e10, hi = -1e10;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        lo = std::min(lo, h.vertices[v].loadPosition.x), hi = std::max(hi, h.vertices[v].loadPosition.x);
    const double half = (hi - lo) / 2;
    ASSERT_EQ(MirrorHead(h, 'R'), 1);
    int checked = 0;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const vertex& vx = h.vertices[v];
        if (vx.side != 'R') {
            EXPECT_EQ(vx.position.x, before[v].x);
            EXPECT_EQ(vx.position.y, before[v].y);
            EXPECT_EQ(vx.position.z, before[v].z);
            continue;
        }
        // The source of a vertex of a symmetric mesh is its mirror vertex,
        // a corner of the source triangle with a unit coordinate.
        ASSERT_NE(vx.mirrorTriangle, -1);
        const triangle& t = h.triangles[vx.mirrorTriangle];
        const vector3<double>& b = vx.mirrorCoord;
        ASSERT_EQ(b.x + b.y + b.z, 1.0);
        ASSERT_TRUE(b.x == 1 || b.y == 1 || b.z == 1);
        const Index<vertex> source = b.x == 1 ? t.a : b.y == 1 ? t.b : t.c;
        EXPECT_NEAR(h.vertices[source].loadPosition.x, -vx.loadPosition.x, 1e-12);
        const vector3<double> M = before[source];
        const double d = (std::fabs(M.x) + std::fabs(before[t.a].x + before[t.b].x + before[t.c].x) / 3) / 2;
        const double w = d / half;
        const vector3<double> want = before[v] * (1 - w) + vector3<double>(-M.x, M.y, M.z) * w;
        EXPECT_NEAR(vx.position.x, want.x, 1e-12);
        EXPECT_NEAR(vx.position.y, want.y, 1e-12);
        EXPECT_NEAR(vx.position.z, want.z, 1e-12);
        ++checked;
    }
    EXPECT_GT(checked, 50);
}

TEST_F(Mirror, MirroringTwiceOnlyBeepsUntilTheNextLoad) {
    head3 h;
    testmesh::icosphere(h, 1, 1.0);
    h.BuildMirror();
    ASSERT_EQ(MirrorHead(h, 'L'), 1);
    EXPECT_EQ(services.progress.opens.back().caption, "Mirroring right to left");
    std::map<int, vector3<double>> before;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) before[v] = h.vertices[v].position;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) h.vertices[v].position.x += 0.01;
    EXPECT_EQ(MirrorHead(h, 'L'), 0);
    EXPECT_EQ(backend.EventsOf(brv::HeadlessBackend::Event::kBeep).size(), 1u);
    EXPECT_EQ(services.progress.opens.size(), 1u);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        EXPECT_EQ(h.vertices[v].position.x, before[v].x + 0.01);
    h.BuildMirror();
    EXPECT_EQ(h.vertices[h.vertices.first()].side, '?');
    EXPECT_EQ(MirrorHead(h, 'R'), 1);
}

TEST_F(Mirror, AVertexWithoutAnImageStaysAndIsMarkedBlank) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    h.BuildMirror();
    // Its load-time image lies beside every triangle of the other side.
    const Index<vertex> v = m.vertices[9];  // (t, 0, 1): x > 0
    h.vertices[v].loadPosition.y += 0.6;
    const vector3<double> before = h.vertices[v].position;
    ASSERT_EQ(MirrorHead(h, 'R'), 1);
    EXPECT_EQ(h.vertices[v].side, ' ');
    EXPECT_EQ(h.vertices[v].mirrorTriangle, -1);
    EXPECT_EQ(h.vertices[v].position.x, before.x);
    EXPECT_EQ(h.vertices[v].position.y, before.y);
}

TEST_F(Mirror, OnlyTheMatchedMaterialsAndTrianglesWithinOneSideServe) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    services.document.faceTables.faceMaterial = 3;
    services.document.faceTables.lipMaterial = 3;
    services.document.faceTables.eyeSocketMaterial = 3;
    h.BuildMirror();
    Index<vertex> lone = h.vertices.add();  // no triangles: skipped, not read
    h.vertices[lone].loadPosition = {0.5, 0, 0};
    ASSERT_EQ(MirrorHead(h, 'R'), 1);
    // Material 0 everywhere: no vertex finds a source, nothing moves.
    for (Index<vertex> v : m.vertices) EXPECT_EQ(h.vertices[v].mirrorTriangle, -1);
    EXPECT_EQ(h.vertices[lone].mirrorTriangle, -1);
}

TEST_F(Mirror, TextureHalfCopyTakesExactlyTheStatedColumnsAndRows) {
    for (char side : {'L', 'R'}) {
        resetModelState();
        head3 h;
        testmesh::icosphere(h, 0, 1.0);
        h.texture = std::make_unique<TextureImage>();
        TextureImage& t = *h.texture;
        const int m = 8;
        services.document.state().textureSize = m;
        t.width = t.height = m;
        t.rgb.resize(3 * m * m);
        for (int i = 0; i < 3 * m * m; ++i) t.rgb[i] = (unsigned char)(i * 7 + 1);
        const std::vector<unsigned char> before = t.rgb;
        const uint64_t count = t.changeCount();
        h.BuildMirror();
        ASSERT_EQ(MirrorHead(h, side), 1);
        // What was made from the texels (the view's upload) is made again.
        EXPECT_NE(t.changeCount(), count);
        for (int row = 0; row < m; ++row)
            for (int q = 0; q < m; ++q)
                for (int k = 0; k < 3; ++k) {
                    const bool replaced = row < m / 2 && (side == 'L' ? q < m / 2 : q >= m / 2);
                    const int src = replaced ? m - 1 - q : q;
                    EXPECT_EQ(t.rgb[3 * (row * m + q) + k], before[3 * (row * m + src) + k])
                        << side << " " << row << "," << q;
                }
    }
}

// ---- the search for mirror sources against a search over every triangle ----

bool matched(int material) {
    const svc::FaceTables& t = svc::document()->tables();
    return material == t.faceMaterial || material == t.lipMaterial || material == t.eyeSocketMaterial;
}

// The source of vertex v as the mirroring's own rule finds it over every
// triangle in chain order, with the side marks that sideOf gives (load-time
// positions centred by x0).
Index<triangle> sourceOverAll(const head3& h, Index<vertex> v, double x0, const std::function<char(int)>& sideOf,
                              vector3<double>* bary) {
    vector3<double> W = h.vertices[v].loadPosition;
    W.x = -(W.x - x0);
    for (Index<triangle> t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        const triangle& tr = h.triangles[t];
        if (!matched(tr.material)) continue;
        if (sideOf(tr.a) != sideOf(tr.b) || sideOf(tr.a) != sideOf(tr.c)) continue;
        auto centred = [&](Index<vertex> c) {
            vector3<double> p = h.vertices[c].loadPosition;
            p.x -= x0;
            return p;
        };
        const vector3<double> A = centred(tr.a), B = centred(tr.b), C = centred(tr.c);
        vector3<double> k = bariCoord(A, B, C, W);
        if (k.x < -0.01 || k.y < -0.01 || k.z < -0.01) continue;
        if (k.x > 1.01 || k.y > 1.01 || k.z > 1.01 || k.x + k.y + k.z > 1.01) continue;
        const vector3<double> m = A * k.x + B * k.y + C * k.z - W;
        if (!(std::sqrt(m * m) < 1.0)) continue;
        if (std::fabs(k.x - 1) < 0.01) k = {1, 0, 0};
        else if (std::fabs(k.y - 1) < 0.01) k = {0, 1, 0};
        else if (std::fabs(k.z - 1) < 0.01) k = {0, 0, 1};
        *bary = k;
        return t;
    }
    return -1;
}

// The middle plane's x as the mirroring takes it: the mean x of the
// foremost vertices' load-time positions.
double middleOf(const head3& h) {
    double zmax = -1e300, sum = 0;
    int n = 0;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        zmax = std::max(zmax, h.vertices[v].loadPosition.z);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        if (std::fabs(h.vertices[v].loadPosition.z - zmax) <= 1e-8) sum += h.vertices[v].loadPosition.x, ++n;
    return n ? sum / n : 0.0;
}

// Compares the sources the mirroring found for the given vertices with the
// search over every triangle. A vertex marked blank (no source) counts as
// blank for the vertices after it in chain order.
void expectSourcesOverAll(const head3& h, const std::vector<int>& which, double x0,
                          const std::map<int, char>& firstSide) {
    std::map<int, int> order;
    int k = 0;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) order[v] = k++;
    for (int v : which) {
        const vertex& vx = h.vertices[v];
        if (vx.triangles.count() == 0 || !matched(h.triangles[vx.triangles[vx.triangles.first()]].material) ||
            firstSide.at(v) == '=')
            continue;
        auto sideOf = [&](int c) {
            return order[c] < order[v] && h.vertices[c].side == ' ' ? ' ' : firstSide.at(c);
        };
        vector3<double> b;
        const Index<triangle> want = sourceOverAll(h, v, x0, sideOf, &b);
        if (want == -1) {
            EXPECT_EQ(vx.side, ' ') << v;
        } else {
            EXPECT_EQ(vx.mirrorTriangle, want) << v;
            EXPECT_EQ(vx.mirrorCoord.x, b.x) << v;
            EXPECT_EQ(vx.mirrorCoord.y, b.y) << v;
            EXPECT_EQ(vx.mirrorCoord.z, b.z) << v;
        }
    }
}

std::map<int, char> sidesBefore(const head3& h, double x0) {
    std::map<int, char> out;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const double x = h.vertices[v].loadPosition.x - x0;
        out[v] = std::fabs(x) < 1e-8 ? '=' : x >= 0 ? 'R' : 'L';
    }
    return out;
}

// A sphere a little out of shape, so that some vertices find no image: the
// sources and the blank marks are those of the search over every triangle.
TEST_F(Mirror, SourcesAreThoseOfTheSearchOverEveryTriangle) {
    head3 h;
    testmesh::icosphere(h, 3, 10.0);
    fnd::RandomSource r(8);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vector3<double>& p = h.vertices[v].position;
        if (std::fabs(p.x) < 1e-9) continue;
        p = p * (1.0 + 0.04 * (r.next() / double(fnd::kRandomMax) - 0.5));
        h.vertices[v].loadPosition = p;
    }
    h.BuildMirror();
    const double x0 = middleOf(h);
    const std::map<int, char> first = sidesBefore(h, x0);
    ASSERT_EQ(MirrorHead(h, 'L'), 1);
    std::vector<int> all;
    int blank = 0;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        all.push_back(v);
        blank += h.vertices[v].side == ' ';
    }
    EXPECT_GT(blank, 0);
    expectSourcesOverAll(h, all, x0, first);
    EXPECT_MODEL_SOUND(h);
}

// The full template head: one mirroring, and a seeded sample of its
// vertices checked against the search over every triangle.
TEST_F(Mirror, TemplateSourcesAreThoseOfTheSearchOverEveryTriangle) {
    services.app.state().pictureEditor = 0;
    head3 h;
    ASSERT_TRUE(testsupport::readTemplateHead(h));
    h.set_actual();
    h.BuildMirror();
    const double x0 = middleOf(h);
    const std::map<int, char> first = sidesBefore(h, x0);
    ASSERT_EQ(MirrorHead(h, 'R'), 1);
    std::vector<int> all, sample;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) all.push_back(v);
    fnd::RandomSource r(9);
    for (int k = 0; k < 120; ++k) sample.push_back(all[r.next() % all.size()]);
    expectSourcesOverAll(h, sample, x0, first);
    int sources = 0;
    for (int v : all) sources += h.vertices[v].mirrorTriangle != -1;
    EXPECT_GT(sources, int(all.size()) / 3);
    EXPECT_MODEL_SOUND(h);
}

}  // namespace
