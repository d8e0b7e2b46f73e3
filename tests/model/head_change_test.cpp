// The head's two change counts: texture coordinates move the change count
// alone, the shape moves both; what is built from the shape (normals,
// octree) answers for the head as it is after either.

#include <gtest/gtest.h>

#include <vector>

#include "model/head.h"
#include "model/octree.h"
#include "model/topology.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_meshes.h"

namespace {

class HeadChange : public testsupport::ModelTest {};

struct ChangeCase {
    const char* name;
    void (*change)(head3& h);
    bool shape;  // whether the shape changed
};

std::vector<vector3<double>> freshNormals(const head3& h) {
    std::vector<vector3<double>> out;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) out.push_back(normalvector(v));
    return out;
}

std::vector<vector3<double>> keptNormals(head3& h) {
    const std::vector<vector3<double>>& all = h.vertexNormals();
    std::vector<vector3<double>> out;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) out.push_back(all[size_t(v)]);
    return out;
}

TEST_F(HeadChange, TextureCoordinatesMoveOnlyTheChangeCount) {
    const ChangeCase cases[] = {
        {"texture coordinates",
         [](head3& h) {
             for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
                 for (vector2<double>& c : h.triangles[t].texture) c = vector2<double>(0.25, 0.75);
             h.TextureChanged();
         },
         false},
        {"a vertex moved",
         [](head3& h) {
             h.vertices[h.vertices.first()].position += vector3<double>(0.3, -0.2, 0.1);
             h.Changed();
         },
         true},
        {"a triangle gone",
         [](head3& h) { remove_triangle(h.triangles.last()); },
         true},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        resetModelState();
        head3 h;
        testmesh::build(h, testmesh::icosphereShape(2));
        ASSERT_EQ(h.SetMinMaxOctree(false), 1);
        const uint64_t count = h.changeCount(), shape = h.geometryCount();
        const std::vector<vector3<double>> before = keptNormals(h);
        c.change(h);
        EXPECT_NE(h.changeCount(), count);
        EXPECT_EQ(h.geometryCount() != shape, c.shape);
        // The normals and the octree answer for the head as it is now.
        EXPECT_EQ(keptNormals(h), freshNormals(h));
        if (!c.shape) { EXPECT_EQ(keptNormals(h), before); }
        ASSERT_EQ(h.SetMinMaxOctree(false), 1);
        const int t = h.triangles.first();
        const vector3<double> centre = (h.vertices[h.triangles[t].a].position + h.vertices[h.triangles[t].b].position +
                                        h.vertices[h.triangles[t].c].position) /
                                       3.0;
        EXPECT_EQ(h.octree().getfirst(centre * 3.0, -centre, nullptr), t);
    }
}

}  // namespace
