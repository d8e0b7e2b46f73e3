#include "tests/support/test_meshes.h"

#include "model/topology.h"

namespace testmesh {

Mesh build(head3& h, const std::vector<vector3<double>>& positions, const std::vector<std::array<int, 3>>& faces) {
    h.set_actual();
    Mesh m;
    m.baseArea = h.areas.add();
    m.wholeHead = h.addRegion("whole_head", true);
    for (const vector3<double>& p : positions) {
        Index<vertex> v = h.vertices.add();
        h.vertices[v].position = p;
        h.vertices[v].loadPosition = p;
        m.vertices.push_back(v);
    }
    for (const auto& f : faces) {
        Index<triangle> t = h.triangles.add();
        triangle& tr = h.triangles[t];
        tr.a = m.vertices[f[0]];
        tr.b = m.vertices[f[1]];
        tr.c = m.vertices[f[2]];
        add_triangle_to_area(t, m.baseArea);
        add_triangle_to_vertices(t);
        m.triangles.push_back(t);
    }
    add_region_to_area(m.wholeHead, m.baseArea);
    for (Index<vertex> v : m.vertices) order_trianges_of_vertex(v);
    return m;
}

}  // namespace testmesh
