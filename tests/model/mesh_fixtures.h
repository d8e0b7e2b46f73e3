#pragma once
// Closed test meshes built on the current head: one area holding every
// triangle, each triangle linked to its corners, outward orientation.

#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "model/head.h"
#include "model/topology.h"

namespace meshes {

inline Index<vertex> addVertex(head3& h, const vector3<double>& p) {
    Index<vertex> v = h.vertices.add();
    h.vertices[v].position = p;
    return v;
}

inline Index<triangle> addTriangle(head3& h, Index<area> a, int p, int q, int r) {
    Index<triangle> t = h.triangles.add();
    h.triangles[t].a = p;
    h.triangles[t].b = q;
    h.triangles[t].c = r;
    add_triangle(t, a);
    return t;
}

// An icosahedron subdivided `levels` times, projected onto the sphere.
inline Index<area> icosphere(head3& h, int levels, double radius = 1.0) {
    const double g = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<vector3<double>> p = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                                      {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    std::vector<std::vector<int>> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                       {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                       {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                       {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (int l = 0; l < levels; ++l) {
        std::map<std::pair<int, int>, int> mid;
        auto middle = [&](int a, int b) {
            auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto it = mid.find(key);
            if (it != mid.end()) return it->second;
            p.push_back((p[a] + p[b]) / 2.0);
            return mid[key] = int(p.size()) - 1;
        };
        std::vector<std::vector<int>> next;
        for (auto& t : f) {
            int a = middle(t[0], t[1]), b = middle(t[1], t[2]), c = middle(t[2], t[0]);
            next.push_back({t[0], a, c});
            next.push_back({t[1], b, a});
            next.push_back({t[2], c, b});
            next.push_back({a, b, c});
        }
        f = next;
    }
    std::vector<int> idx;
    for (auto& q : p) idx.push_back(addVertex(h, q * (radius / q.length())));
    Index<area> a = h.areas.add();
    for (auto& t : f) addTriangle(h, a, idx[t[0]], idx[t[1]], idx[t[2]]);
    return a;
}

// A bumpy closed surface of latitude rings and longitude segments:
// 2 * segments * (rings - 1) triangles.
inline Index<area> bumpySphere(head3& h, int rings, int segments) {
    auto at = [](double th, double ph) {
        double r = 1.0 + 0.08 * std::sin(5 * th) * std::cos(3 * ph) + 0.05 * std::cos(7 * ph);
        return vector3<double>(r * std::sin(th) * std::cos(ph), r * std::cos(th) * 1.2, r * std::sin(th) * std::sin(ph));
    };
    const double pi = std::acos(-1.0);
    int top = addVertex(h, at(0, 0)), bottom = addVertex(h, at(pi, 0));
    std::vector<std::vector<int>> ring(rings);
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j)
            ring[i].push_back(addVertex(h, at(pi * (i + 1) / (rings + 1), 2 * pi * j / segments)));
    Index<area> a = h.areas.add();
    for (int j = 0; j < segments; ++j) {
        int k = (j + 1) % segments;
        addTriangle(h, a, top, ring[0][k], ring[0][j]);
        addTriangle(h, a, bottom, ring[rings - 1][j], ring[rings - 1][k]);
        for (int i = 0; i + 1 < rings; ++i) {
            addTriangle(h, a, ring[i][j], ring[i][k], ring[i + 1][k]);
            addTriangle(h, a, ring[i][j], ring[i + 1][k], ring[i + 1][j]);
        }
    }
    return a;
}

// The cube of edge 20 about the origin: 8 vertices, 12 triangles.
inline Index<area> cube(head3& h) {
    std::vector<int> v;
    for (int k = 0; k < 8; ++k) v.push_back(addVertex(h, {k & 1 ? 10.0 : -10.0, k & 2 ? 10.0 : -10.0, k & 4 ? 10.0 : -10.0}));
    int f[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                    {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    Index<area> a = h.areas.add();
    for (auto& t : f) addTriangle(h, a, v[t[0]], v[t[1]], v[t[2]]);
    return a;
}

}  // namespace meshes
