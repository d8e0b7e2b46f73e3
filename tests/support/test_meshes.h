#pragma once
// Closed test meshes, every triangle wound counter-clockwise seen from
// outside. Two ways to put them on a head: `build` makes a complete head
// (one area in the region "whole_head", every vertex's fan in order);
// `addShape` only adds the elements, as an editing step would, to the
// current head: one new area holding every triangle, each triangle linked
// to its corners and to the octree. All but `build` are inline so that the
// benchmarks, which do not link the test support, can use them too.

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "model/head.h"
#include "model/topology.h"

namespace testmesh {

struct Shape {
    std::vector<vector3<double>> positions;
    std::vector<std::array<int, 3>> faces;  // indices into positions
};

// An icosahedron subdivided `levels` times, corners on the sphere of the
// radius about the origin.
inline Shape icosphereShape(int levels, double radius = 1.0) {
    const double t = (1 + std::sqrt(5.0)) / 2;
    Shape s;
    std::vector<vector3<double>>& p = s.positions;
    p = {{-1, t, 0}, {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
         {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    std::vector<std::array<int, 3>>& f = s.faces;
    f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9},  {5, 11, 4},
         {11, 10, 2}, {10, 7, 6}, {7, 1, 8},   {3, 9, 4},  {3, 4, 2},   {3, 2, 6},  {3, 6, 8},
         {3, 8, 9},  {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
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
    return s;
}
// The cube [-s, s]^3 with each face cut into n x n squares of two triangles.
inline Shape subdividedCubeShape(int n, double s) {
    Shape out;
    std::map<std::array<long, 3>, int> index;
    auto vid = [&](vector3<double> v) {
        std::array<long, 3> key = {std::lround(v.x * 1e6), std::lround(v.y * 1e6), std::lround(v.z * 1e6)};
        auto it = index.find(key);
        if (it != index.end()) return it->second;
        out.positions.push_back(v);
        return index[key] = int(out.positions.size()) - 1;
    };
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
                out.faces.push_back({p00, p10, p11});
                out.faces.push_back({p00, p11, p01});
            }
    }
    return out;
}
// A bumpy closed surface of latitude rings and longitude segments:
// 2 * segments * rings triangles.
inline Shape bumpySphereShape(int rings, int segments) {
    auto at = [](double th, double ph) {
        double r = 1.0 + 0.08 * std::sin(5 * th) * std::cos(3 * ph) + 0.05 * std::cos(7 * ph);
        return vector3<double>(r * std::sin(th) * std::cos(ph), r * std::cos(th) * 1.2, r * std::sin(th) * std::sin(ph));
    };
    const double pi = std::acos(-1.0);
    Shape s;
    s.positions = {at(0, 0), at(pi, 0)};  // top 0, bottom 1
    auto ring = [&](int i, int j) { return 2 + i * segments + j % segments; };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) s.positions.push_back(at(pi * (i + 1) / (rings + 1), 2 * pi * j / segments));
    for (int j = 0; j < segments; ++j) {
        int k = j + 1;
        s.faces.push_back({0, ring(0, k), ring(0, j)});
        s.faces.push_back({1, ring(rings - 1, j), ring(rings - 1, k)});
        for (int i = 0; i + 1 < rings; ++i) {
            s.faces.push_back({ring(i, j), ring(i, k), ring(i + 1, k)});
            s.faces.push_back({ring(i, j), ring(i + 1, k), ring(i + 1, j)});
        }
    }
    return s;
}

struct Mesh {
    std::vector<Index<vertex>> vertices;
    std::vector<Index<triangle>> triangles;
    Index<::area> baseArea = -1;
    Index<region> wholeHead = -1;
};

// Builds the given positions and corner triples (indices into positions)
// on h, which becomes the current head.
Mesh build(head3& h, const std::vector<vector3<double>>& positions, const std::vector<std::array<int, 3>>& faces);
inline Mesh build(head3& h, const Shape& s) { return build(h, s.positions, s.faces); }
inline Mesh icosphere(head3& h, int levels, double radius) { return build(h, icosphereShape(levels, radius)); }
inline Mesh subdividedCube(head3& h, int n, double s) { return build(h, subdividedCubeShape(n, s)); }

// Single elements on the current head h.
inline Index<vertex> addVertex(head3& h, const vector3<double>& p) {
    Index<vertex> v = h.vertices.add();
    h.vertices[v].position = p;
    return v;
}
inline Index<triangle> addTriangle(head3& h, Index<::area> a, int p, int q, int r) {
    Index<triangle> t = h.triangles.add();
    h.triangles[t].a = p;
    h.triangles[t].b = q;
    h.triangles[t].c = r;
    add_triangle(t, a);
    return t;
}
// The shape's vertices and triangles on the current head h, in one new area.
inline Index<::area> addShape(head3& h, const Shape& s) {
    std::vector<int> idx;
    for (const auto& p : s.positions) idx.push_back(addVertex(h, p));
    Index<::area> a = h.areas.add();
    for (const auto& f : s.faces) addTriangle(h, a, idx[f[0]], idx[f[1]], idx[f[2]]);
    return a;
}

}  // namespace testmesh
