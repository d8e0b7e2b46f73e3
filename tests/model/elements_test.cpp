// Element defaults, copies and queries, the head containers, and the edit
// point conversion, weights and normals.

#if defined(__SANITIZE_ADDRESS__)
#define HEAP_COUNTED_BY_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HEAP_COUNTED_BY_SANITIZER 1
#endif
#endif
#if HEAP_COUNTED_BY_SANITIZER
#include <cstddef>
// The sanitizer runtime's count of the bytes allocated now.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/head.h"
#include "tests/support/fakes.h"
#include "tests/support/model_fixture.h"

namespace {

class Elements : public testsupport::ModelTest {};

void expectNear(const vector3<double>& a, const vector3<double>& b, double eps = 1e-9) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

// Vertices and triangles on the current head, each triangle linked into its
// corners' triangle lists.
struct Mesh {
    head3& h;
    Index<vertex> v(const vector3<double>& p) {
        Index<vertex> i = h.vertices.add();
        h.vertices[i].position = p;
        return i;
    }
    Index<triangle> t(Index<vertex> a, Index<vertex> b, Index<vertex> c) {
        Index<triangle> i = h.triangles.add();
        triangle& tr = h.triangles[i];
        tr.a = a, tr.b = b, tr.c = c;
        for (Index<vertex> k : {a, b, c}) h.vertices[k].triangles.add_data(i);
        return i;
    }
};

TEST_F(Elements, Defaults) {
    triangle t;
    EXPECT_EQ(std::vector<int>({t.a, t.b, t.c, t.txtRow[0], t.txtRow[1], t.txtRow[2], t.areaOf, t.gatheredNode,
                                t.mirror, t.quadPartner}),
              std::vector<int>(10, -1));
    EXPECT_EQ(t.group, 0);
    EXPECT_EQ(t.material, 0);
    EXPECT_EQ(t.texture[2].x, 0.0);
    EXPECT_EQ(t.extrapoints.count(), 0);
    vertex v;
    EXPECT_EQ(v.mirrorTriangle, -1);
    EXPECT_EQ(v.age80.x + v.age30.y + v.loadPosition.z, 0.0);  // no unset morph deltas
    extrapoint e;
    EXPECT_EQ(e.active, 1);
    EXPECT_EQ(e.mode, 1);
    region r;
    EXPECT_EQ(r.axisY.y, 1.0);
    EXPECT_EQ(r.colour, -1);
    featurecolor c;
    EXPECT_EQ(std::vector<double>({c.x, c.y, c.z}), std::vector<double>({0.34, 0.26, 0.25}));
    EXPECT_STREQ(c.name(), "default_name_of_FeatureColor");
    EXPECT_STREQ(featurepoint3().name(), "default_name_of_FeaturePoint3D");
    EXPECT_STREQ(featureline3().name(), "default_name_of_FeatureLine3D");
    EXPECT_STREQ(region().name(), "default_name_of_AnatomicalRegion");
    EXPECT_STREQ(featurepoint2().name(), "default_name_of_FeaturePoint2D");
    EXPECT_EQ(featureline3().splineType, 3);
    EXPECT_EQ(featureline2().a, 1);
    generalpoint3 g;
    expectNear(g.point(), {0, 0, 0});
    expectNear(g.roughNormal(), {0, 0, 0});
    EXPECT_FALSE(g.isFixed() || g.isRubber());
}

TEST_F(Elements, CopiedFeatureLineOwnsItsPoints) {
    head3 h;
    Index<featureline3> l = h.featurelines.add_new("line");
    fnd::chain<linepoint3>& pts = h.featurelines[l];
    for (int k = 0; k < 3; ++k) pts[pts.add()].kind = k;
    Index<featureline3> copy = h.featurelines.add_data(h.featurelines[l]);
    fnd::chain<linepoint3>& cp = h.featurelines[copy];
    EXPECT_STREQ(h.featurelines[copy].name(), "line");
    ASSERT_EQ(cp.count(), 3);
    cp.remove_index(cp.first());
    EXPECT_EQ(h.featurelines[l].count(), 3);
    h.featurelines[copy].set_name("other", false);
    EXPECT_STREQ(h.featurelines[l].name(), "line");

    // Removing a line returns its points to their pool as null line points.
    int slot = pts.first();
    pts[slot].kind = 7;
    h.featurelines.remove_index(l);
    EXPECT_TRUE(fnd::commonchain<linepoint3>::commonbas().isFree(slot));
    EXPECT_EQ(fnd::commonchain<linepoint3>::commonbas().tag(slot).value.kind, 0);
}

TEST_F(Elements, ColoursOfTrianglesAndVertices) {
    head3 h;
    Mesh m{h};
    Index<vertex> a = m.v({0, 0, 0}), b = m.v({1, 0, 0}), c = m.v({0, 1, 0});
    Index<triangle> t = m.t(a, b, c);
    Index<triangle> u = m.t(a, c, b);
    const vector3<double> fallback(0.34, 0.26, 0.25);
    // No area at all, then an area without a region.
    expectNear(h.triangles[t].getColor(), fallback);
    EXPECT_EQ(h.triangles[t].getRegion(), -1);
    Index<area> ar = h.areas.add();
    h.triangles[t].areaOf = ar;
    h.areas[ar].triangles.add_data(t);
    expectNear(h.triangles[t].getColor(), fallback);
    EXPECT_EQ(h.areas[ar].getColor(), -1);
    Index<featurecolor> red = h.colors.add_new("red");
    static_cast<vector3<double>&>(h.colors[red]) = {1, 0, 0};
    Index<region> r = h.regions.add_new("r");
    h.regions[r].colour = red;
    h.areas[ar].regions.add_data(r);
    EXPECT_EQ(h.triangles[t].getRegion(), r);
    expectNear(h.triangles[t].getColor(), {1, 0, 0});
    expectNear(h.vertices[a].color(), (vector3<double>(1, 0, 0) + fallback) * 0.5);
    expectNear(vertex().color(), {0, 0, 0});
    (void)u;
}

TEST_F(Elements, HeadContainers) {
    head3 h;
    EXPECT_EQ(actual_head3, &h);
    EXPECT_EQ(h.vertices.count() + h.triangles.count() + h.extrapoints.count() + h.featurepoints.count() +
                  h.featurelines.count() + h.areas.count() + h.colors.count() + h.regions.count(),
              0);
    EXPECT_EQ(h.reserved.first(), 0);
    EXPECT_EQ(h.reserved.nextOf(0), 1);
    EXPECT_EQ(h.reserved[0].active, 0);
    EXPECT_EQ(working_generalpoint3().extra, 0);
    EXPECT_EQ(auxiliar_generalpoint3().extra, 1);
    EXPECT_EQ(h.scale, 1.0);
    EXPECT_STREQ(h.name(), "default_name_of_AllOfEditedData3D");
    EXPECT_EQ(h.extrapoints.add(), 2);  // the head's own edit points start at 2

    Index<featurepoint3> p = h.addFeaturepoint("tip", false);
    EXPECT_EQ(h.getFeaturepoint("tip", true), -1);
    EXPECT_EQ(h.getFeaturepoint("tip", false), p);
    EXPECT_EQ(h.addFeaturepoint("tip", true), p);
    EXPECT_EQ(h.getFeaturepoint("tip", true), p);
    Index<featurepoint3> d1 = h.addFeaturepoint("", false), d2 = h.addFeaturepoint("", false);
    EXPECT_NE(d1, d2);
    EXPECT_STREQ(h.featurepoints[d2].name(), "default_name_of_FeaturePoint3D");
    EXPECT_STREQ(h.featurelines[h.addFeatureline("", false)].name(), "default_name_of_FeatureLine3D");
    EXPECT_STREQ(h.regions[h.addRegion(nullptr, true)].name(), "default_name_of_AnatomicalRegion");

    h.extrapoints.remove_all();
    h.SetMinMax(false);
    EXPECT_EQ(h.boxMin.x, 1e10);
    EXPECT_EQ(h.boxMax.z, -1e10);
    EXPECT_LT(h.extent, 0.0);

    head2 set;
    EXPECT_EQ(actual_head2, &set);
    EXPECT_EQ(set.valid, 0);
    EXPECT_EQ(std::vector<double>(set.params, set.params + 4), std::vector<double>({2.2, 6.0, 3.69, 13.5}));
    EXPECT_EQ(Index<featurepoint2>::actual, &set.overlayPoints);
}

TEST_F(Elements, SecondHeadAndDestruction) {
    auto a = std::make_unique<head3>();
    Index<triangle> t = a->triangles.add();
    gatheredTriangles().add_data(t);
    {
        head3 b;  // slots 0 and 1 are a's: b's work points go elsewhere
        EXPECT_NE(b.reserved.first(), 0);
        EXPECT_EQ(actual_head3, &b);
        EXPECT_EQ(working_generalpoint3().extra, b.reserved.first());
        // A file that names b's work-point slot still reads; the work point moves.
        int taken = b.reserved.first();
        std::string text = "3 1 0 1 0 0 0 0 1 AllOfEditedData3D::x "
                           "0 of::V 0 of::T 1 of::E 0 of::P 0 of::L 0 of::C 0 of::A 0 of::R 0 of::G 0 of::M 0 of::X :::::: "
                           "0 of::V 0 of::T 1 of::E " +
                           std::to_string(taken) +
                           " -1 -1 0 0 0 1 0 of::P 0 of::L 0 of::C 0 of::A 0 of::R 0 of::G 0 of::M 0 of::X ";
        fileTB f;
        f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
        b.read_text(f);
        EXPECT_TRUE(f.good());
        EXPECT_EQ(b.extrapoints.first(), taken);
        EXPECT_NE(b.reserved.first(), taken);
        EXPECT_EQ(working_generalpoint3().extra, b.reserved.first());
    }
    // b was current: its pointers are cleared, nothing points into it.
    EXPECT_EQ(actual_head3, nullptr);
    EXPECT_EQ(Index<triangle>::actual, nullptr);
    EXPECT_EQ(working_generalpoint3().extra, -1);
    a->set_actual();
    EXPECT_EQ(working_generalpoint3().extra, 0);
    a.reset();
    EXPECT_EQ(gatheredTriangles().count(), 0);
    EXPECT_EQ(actual_head3, nullptr);
}

// Bytes the heap holds now (the sanitizer's count under it, else glibc's).
size_t heapInUse() {
#if HEAP_COUNTED_BY_SANITIZER
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// The head owns its texture records: replacing one frees the old, and the
// head frees both with itself.
TEST_F(Elements, TextureBlocksBelongToTheHead) {
    const size_t block = 4 << 20;
    auto record = [&] {
        auto t = std::make_unique<TextureImage>();
        t->rgb.assign(block, 7);
        return t;
    };
    const size_t start = heapInUse();
    auto h = std::make_unique<head3>();
    h->texture = record();
    h->reducedTexture = record();
    EXPECT_GE(heapInUse(), start + 2 * block);
    const size_t held = heapInUse();
    h->texture = record();  // the old record goes
    EXPECT_LT(heapInUse(), held + block / 2);
    h.reset();
    EXPECT_LT(heapInUse(), start + block / 2);
}

// ---- conversion, weights and normals ----

TEST_F(Elements, EditPointConversion) {
    head3 h;
    Mesh m{h};
    Index<vertex> U = m.v({0, 0, 0}), V = m.v({2, 0, 0}), W = m.v({0, 2, 0});
    Index<triangle> t = m.t(U, V, W);
    struct Case {
        const char* what;
        vector3<double> weights;
        int mode;
        int forced;
        vector3<double> local, position;
        int modeAfter;
    };
    const double a = 0.5 / 0.95, b = 0.45 / 0.95;
    const Case cases[] = {
        {"a small weight is dropped", {0.05, 0.5, 0.45}, 1, 0, {0, a, b}, {2 * a, 2 * b, 0}, 1},
        {"weights are normalised", {1, 1, 2}, 1, 0, {0.25, 0.25, 0.5}, {0.5, 1, 0}, 1},
        {"a first corner in mode 2", {1, 0, 0}, 2, 0, {1, 0, 0}, {0, 0, 0}, 2},
        {"a border triangle in mode 2 gets the linear point", {0.2, 0.3, 0.5}, 2, 0, {0.2, 0.3, 0.5}, {0.6, 1.0, 0}, 2},
        {"mode 0 is taken as 1", {0.2, 0.3, 0.5}, 0, 0, {0.2, 0.3, 0.5}, {0.6, 1.0, 0}, 1},
        {"a forced mode replaces the point's", {0.2, 0.3, 0.5}, 1, 2, {0.2, 0.3, 0.5}, {0.6, 1.0, 0}, 2},
        {"weights summing to zero", {0.5, -0.5, 0}, 1, 0, {1, 0, 0}, {0, 0, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        extrapoint::ForcedConversionMode = c.forced;
        extrapoint e;
        e.set(t, c.weights, c.mode);
        expectNear(e.local, c.local);
        expectNear(e.position, c.position);
        EXPECT_EQ(e.mode, c.modeAfter);
    }
    extrapoint::ForcedConversionMode = 0;
    extrapoint none;
    none.local = {0.2, 0.3, 0.5};
    none.position = {5, 5, 5};
    none.conversion();
    expectNear(none.local, {1, 0, 0});
    expectNear(none.position, {0, 0, 0});
}

// A closed octahedron: every edge has a triangle on each side.
struct Octahedron {
    Index<vertex> px, nx, py, ny, pz, nz;
    Index<triangle> face;  // the face (+x, +y, +z)
    explicit Octahedron(Mesh& m) {
        px = m.v({1, 0, 0}), nx = m.v({-1, 0, 0}), py = m.v({0, 1, 0});
        ny = m.v({0, -1, 0}), pz = m.v({0, 0, 1}), nz = m.v({0, 0, -1});
        face = m.t(px, py, pz);
        m.t(py, nx, pz);
        m.t(nx, ny, pz);
        m.t(ny, px, pz);
        m.t(py, px, nz);
        m.t(nx, py, nz);
        m.t(ny, nx, nz);
        m.t(px, ny, nz);
    }
};

TEST_F(Elements, SmoothPatchPointOnAClosedMesh) {
    head3 h;
    Mesh m{h};
    Octahedron o(m);
    extrapoint e;
    const double third = 1.0 / 3.0;
    e.set(o.face, {third, third, third}, 2);
    // Each edge point is pushed out past its edge by the distance to the
    // centre, away from the vertex across the edge: the mean is 5/9 each.
    expectNear(e.position, {5.0 / 9, 5.0 / 9, 5.0 / 9});
    e.set(o.face, {third, third, third}, 1);
    expectNear(e.position, {third, third, third});
}

TEST_F(Elements, VertexNormals) {
    head3 h;
    Mesh m{h};
    // A flat fan of four right angles around a centre, an octahedron and a
    // vertex without triangles.
    Index<vertex> c = m.v({0, 0, 0});
    Index<vertex> r[4] = {m.v({1, 0, 0}), m.v({0, 1, 0}), m.v({-1, 0, 0}), m.v({0, -1, 0})};
    for (int k = 0; k < 4; ++k) m.t(c, r[k], r[(k + 1) % 4]);
    Octahedron o(m);
    Index<vertex> lone = m.v({3, 3, 3});
    // A right-angle corner (normal +z, weight 1) beside a 60-degree and a
    // 120-degree corner whose normals point along -y: the corner weights are
    // 1 - sqrt(0.5) and 1 + sqrt(0.5), the cross products sqrt(3)/2 long.
    const double h3 = std::sqrt(3.0) / 2;
    Index<vertex> sharp = m.v({0, 0, 0}), blunt = m.v({0, 0, 0});
    for (Index<vertex> v : {sharp, blunt}) m.t(v, m.v({1, 0, 0}), m.v({0, 1, 0}));
    m.t(sharp, m.v({1, 0, 0}), m.v({0.5, 0, h3}));
    m.t(blunt, m.v({1, 0, 0}), m.v({-0.5, 0, h3}));
    struct Case {
        const char* what;
        Index<vertex> v;
        vector3<double> normal;
    };
    const Case cases[] = {
        {"flat fan centre, four right angles", c, {0, 0, 1}},
        {"flat fan border vertex", r[0], {0, 0, 1}},
        {"octahedron +x", o.px, {1, 0, 0}},
        {"octahedron -z", o.nz, {0, 0, -1}},
        {"no triangles", lone, {0, 0, 0}},
        {"a 60-degree corner", sharp, vector3<double>(0, -(1 - std::sqrt(0.5)) * h3, 1).normalized()},
        {"a 120-degree corner", blunt, vector3<double>(0, -(1 + std::sqrt(0.5)) * h3, 1).normalized()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        expectNear(normalvector(k.v), k.normal);
    }
    // Fixed and rubber points take the vertex and the triangle normal.
    featurepoint3 p;
    p.vtx = o.py;
    expectNear(p.roughNormal(), {0, 1, 0});
    expectNear(p.point(), {0, 1, 0});
    Index<extrapoint> e = h.extrapoints.add();
    h.extrapoints[e].set(o.face, {1, 1, 1}, 1);
    generalpoint3 g;
    g.extra = e;
    const double s = 1 / std::sqrt(3.0);
    expectNear(g.roughNormal(), {s, s, s});
    expectNear(g.point(), {1.0 / 3, 1.0 / 3, 1.0 / 3});
}

TEST_F(Elements, AFixedPointBecomesRubber) {
    head3 h;
    Mesh m{h};
    Index<vertex> a = m.v({0, 0, 0}), b = m.v({4, 0, 0}), c = m.v({0, 4, 0});
    Index<triangle> t = m.t(a, b, c);
    featurepoint3 p;
    p.vtx = b;
    EXPECT_TRUE(p.isFixed());
    p.set_extrapoint(t, {0.5, 0.25, 0.25}, 1);
    EXPECT_FALSE(p.isFixed());
    ASSERT_TRUE(p.isRubber());
    EXPECT_EQ(h.extrapoints.count(), 1);
    EXPECT_EQ(h.triangles[t].extrapoints.count(), 1);
    expectNear(p.point(), {1, 1, 0});
    Index<extrapoint> same = p.extra;
    p.set_extrapoint(t, {0, 0.5, 0.5}, 1);  // the same edit point moves
    EXPECT_EQ(p.extra, same);
    expectNear(p.point(), {2, 2, 0});
}

TEST_F(Elements, TransformationsMoveEachPointOncePerPass) {
    head3 h;
    Mesh m{h};
    Index<vertex> a = m.v({0, 0, 0}), b = m.v({10, 2, 0}), c = m.v({0, 4, 1}), d = m.v({10, 4, -1});
    Index<triangle> t1 = m.t(a, b, c), t2 = m.t(b, d, c);
    Index<area> ar = h.areas.add();
    h.areas[ar].triangles.add_data(t1);
    h.areas[ar].triangles.add_data(t2);
    Index<region> whole = h.regions.add_new("whole_head");
    h.regions[whole].areas.add_data(ar);
    Index<extrapoint> e = h.extrapoints.add();
    h.extrapoints[e].set(t1, {0.5, 0.5, 0}, 1);
    h.triangles[t1].extrapoints.add_data(e);

    SmoveTrafo move({1, 2, 3});
    h.traf(move);
    expectNear(h.vertices[b].position, {11, 4, 3});
    expectNear(h.vertices[c].position, {1, 6, 4});
    expectNear(h.extrapoints[e].position, {6, 3, 3});
    h.traf(move);  // the same pass again moves nothing
    expectNear(h.vertices[b].position, {11, 4, 3});
    SmoveTrafo again({1, 2, 3});
    h.traf(again);
    expectNear(h.vertices[b].position, {12, 6, 6});

    // Heads of old files are centred when asked (x as well, status below 2).
    head3Version = 2;
    h.status = 1;
    h.SetMinMax(true);
    head3Version = 3;
    expectNear(h.boxMin, {-5, -2, -1});
    expectNear(h.boxMax, {5, 2, 1});
    expectNear(h.vertices[a].position, {-5, -2, 0});
    EXPECT_DOUBLE_EQ(h.extent, 10.0);
    h.SetMinMax(true);  // a version-3 head is never moved
    expectNear(h.vertices[a].position, {-5, -2, 0});
}

TEST_F(Elements, WeightsAndWeightPoints) {
    head3 h;
    Mesh m{h};
    Index<vertex> a = m.v({0, 0, 0}), b = m.v({3, 0, 0}), c = m.v({0, 4, 0}), d = m.v({0, 0, 6});
    Index<triangle> t1 = m.t(a, b, c);  // weight 12
    Index<triangle> t2 = m.t(a, c, d);  // weight 24
    EXPECT_DOUBLE_EQ(h.triangles[t1].weight(), 12.0);
    expectNear(h.triangles[t1].weightpoint(), {1, 4.0 / 3, 0});
    expectNear(h.triangles[t1]._normalvector(), {0, 0, 1});
    Index<area> ar = h.areas.add();
    h.areas[ar].triangles.add_data(t1);
    h.areas[ar].triangles.add_data(t2);
    h.areas[ar].set_weights();
    EXPECT_DOUBLE_EQ(h.areas[ar].weight, 36.0);
    expectNear(h.areas[ar].weightPoint, (12.0 * vector3<double>(1, 4.0 / 3, 0) + 24.0 * vector3<double>(0, 4.0 / 3, 2)) / 36.0);

    // Degenerate triangles weigh nothing; their area has the zero point.
    Index<vertex> q = m.v({5, 5, 5});
    Index<triangle> flat = m.t(q, q, q);
    EXPECT_EQ(h.triangles[flat].weight(), 0.0);
    Index<area> empty = h.areas.add();
    h.areas[empty].triangles.add_data(flat);
    h.areas[empty].set_weights();
    expectNear(h.areas[empty].weightPoint, {0, 0, 0});

    // A region averages its areas by weight and updates its border line.
    Index<featureline3> line = h.featurelines.add_new("border");
    fnd::chain<linepoint3>& pts = h.featurelines[line];
    for (Index<vertex> v : {a, b, d}) {
        Index<linepoint3> lp = pts.add();
        pts[lp].vtx = v;
    }
    Index<region> r = h.regions.add_new("r");
    h.regions[r].areas.add_data(ar);
    h.regions[r].areas.add_data(empty);
    h.regions[r].borderLine = line;
    h.regions[r].set_weights();
    EXPECT_DOUBLE_EQ(h.regions[r].weight, 36.0);
    expectNear(h.regions[r].weightPoint, h.areas[ar].weightPoint);
    // Points at 0, 3 and 3 + sqrt(45) along the line: weights 3, 3 + 6.7, 6.7.
    featureline3& l = h.featurelines[line];
    EXPECT_EQ(l.weightsComputed, 1);
    double bd = std::sqrt(9.0 + 36.0);
    EXPECT_DOUBLE_EQ(pts[pts.first()].weight1, 3.0);
    vector3<double> expect = (3.0 * vector3<double>(0, 0, 0) + (3.0 + bd) * vector3<double>(3, 0, 0) +
                              bd * vector3<double>(0, 0, 6)) /
                             (6.0 + 2 * bd);
    expectNear(l.get_weightpoint(), expect);
}

}  // namespace
