#include "tests/support/test_meshes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

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

Mesh icosphere(head3& h, int levels, double radius) {
    const double t = (1 + std::sqrt(5.0)) / 2;
    std::vector<vector3<double>> p = {{-1, t, 0}, {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                                      {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    std::vector<std::array<int, 3>> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                         {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                         {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                         {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    auto norm = [&](vector3<double> v) { return v * (radius / std::sqrt(v * v)); };
    for (auto& v : p) v = norm(v);
    for (int l = 0; l < levels; ++l) {
        std::map<std::pair<int, int>, int> mid;
        auto midpoint = [&](int a, int b) {
            auto key = std::minmax(a, b);
            auto it = mid.find(key);
            if (it != mid.end()) return it->second;
            p.push_back(norm((p[a] + p[b]) * 0.5));
            return mid[key] = int(p.size()) - 1;
        };
        std::vector<std::array<int, 3>> g;
        for (const auto& x : f) {
            int ab = midpoint(x[0], x[1]), bc = midpoint(x[1], x[2]), ca = midpoint(x[2], x[0]);
            g.push_back({x[0], ab, ca});
            g.push_back({x[1], bc, ab});
            g.push_back({x[2], ca, bc});
            g.push_back({ab, bc, ca});
        }
        f = g;
    }
    return build(h, p, f);
}

Mesh subdividedCube(head3& h, int n, double s) {
    std::vector<vector3<double>> p;
    std::map<std::array<long, 3>, int> index;
    auto vid = [&](vector3<double> v) {
        std::array<long, 3> key = {std::lround(v.x * 1e6), std::lround(v.y * 1e6), std::lround(v.z * 1e6)};
        auto it = index.find(key);
        if (it != index.end()) return it->second;
        p.push_back(v);
        return index[key] = int(p.size()) - 1;
    };
    std::vector<std::array<int, 3>> f;
    // Each face: its outward normal and two in-plane axes u, v with u x v = normal.
    const vector3<double> axes[6][3] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
        {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}};
    for (const auto& a : axes) {
        auto at = [&](int i, int j) {
            return vid(a[0] * s + a[1] * (s * (2.0 * i / n - 1)) + a[2] * (s * (2.0 * j / n - 1)));
        };
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                int p00 = at(i, j), p10 = at(i + 1, j), p11 = at(i + 1, j + 1), p01 = at(i, j + 1);
                f.push_back({p00, p10, p11});
                f.push_back({p00, p11, p01});
            }
    }
    return build(h, p, f);
}

}  // namespace testmesh
