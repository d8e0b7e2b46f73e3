// Assembling a head after its lists were read: the back links the file does
// not store, the regions, lines and points of the feature tables with their
// mirror links, the order of region lists, weights, box and octree.

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "seams/app.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/octree.h"
#include "model/surface.h"
#include "model/topology.h"

namespace {

template <class L>
auto values(const L& l) {
    std::vector<std::remove_cvref_t<decltype(l[0])>> out;
    for (int n = l.first(); n != -1; n = l.nextOf(n)) out.push_back(l[n]);
    return out;
}

}  // namespace

// ---- permutation of the axes ----

void head3::permutate(int px, int py, int pz) {
    int code[3] = {px, py, pz};
    for (int& c : code)
        if (c < 0 || c > 7) c = 0;
    int shift[3] = {code[0] / 2 != 0 ? code[0] / 2 - 1 : 0, code[1] / 2 == 0 ? 0 : (code[1] / 2 + 1) % 3,
                    (code[2] / 2) % 3};
    // Where each old coordinate goes, and whether negated.
    int target[3];
    for (int a = 0; a < 3; ++a) target[a] = code[a] / 2 == 0 ? a : code[a] / 2 - 1;
    bool valid = (shift[0] + shift[1] + shift[2]) % 3 == 0;
    // A permutation that sends two coordinates to one axis would flatten
    // the head: refused.
    if (target[0] == target[1] || target[1] == target[2] || target[0] == target[2]) valid = false;
    if (!valid) return;
    int parity = code[0] + code[1] + code[2] + ((shift[0] == shift[1] && shift[1] == shift[2]) ? 0 : 1);
    bool turnOver = parity % 2 == 1;
    bool moved = false;
    for (int a = 0; a < 3; ++a)
        if (target[a] != a || code[a] % 2 == 1) moved = true;
    if (moved) {
        for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) {
            vector3<double>& p = vertices[v].position;
            double old[3] = {p.x, p.y, p.z}, out[3] = {0, 0, 0};
            for (int a = 0; a < 3; ++a) out[target[a]] = code[a] % 2 ? -old[a] : old[a];
            p = {out[0], out[1], out[2]};
        }
    }
    if (turnOver) {
        // The corner data and the edit points' weights follow their corners,
        // so texture and points stay where they were on the surface.
        for (int t = triangles.first(); t != -1; t = triangles.nextOf(t)) {
            triangle& tr = triangles[t];
            std::swap(tr.b, tr.c);
            std::swap(tr.texture[1], tr.texture[2]);
            std::swap(tr.further[1], tr.further[2]);
            std::swap(tr.txtRow[1], tr.txtRow[2]);
        }
        for (int e = extrapoints.first(); e != -1; e = extrapoints.nextOf(e))
            std::swap(extrapoints[e].local.y, extrapoints[e].local.z);
    }
    if (moved || turnOver)
        for (int e = extrapoints.first(); e != -1; e = extrapoints.nextOf(e)) extrapoints[e].conversion();
}

void permutate_number(head3& h, int permutation) {
    if (permutation == 0) return;
    int d[3] = {(permutation / 100) % 10, (permutation / 10) % 10, permutation % 10};
    for (int& x : d)
        if (x > 7) x = 0;
    h.permutate(d[0], d[1], d[2]);
}

// ---- colours, weights, box ----

void head3::pre_read() {
    colors.remove_all();
    CString code;
    double r = 0, g = 0, b = 0;
    for (int n = 0; GetFeatureColorInfo(n, &code, &r, &g, &b); ++n) {
        Index<featurecolor> c = colors.add_new(code);
        colors[c].x = r;
        colors[c].y = g;
        colors[c].z = b;
    }
}

void head3::set_weights() {
    for (int a = areas.first(); a != -1; a = areas.nextOf(a)) areas[a].set_weights();
    for (int r = regions.first(); r != -1; r = regions.nextOf(r)) regions[r].set_weights();
    vector3<double> sum;
    double total = 0.0;
    for (int a = areas.first(); a != -1; a = areas.nextOf(a)) {
        sum += areas[a].weightPoint * areas[a].weight;
        total += areas[a].weight;
    }
    if (total < 1e-10) {
        weightPoint = {};
        weight = 0.0;
    } else {
        weightPoint = sum / total;
        weight = total;
    }
}

int head3::SetMinMaxOctree(bool moveToCenter) {
    SetMinMax(moveToCenter);
    vector3<double> side = boxMax - boxMin;
    if (0.75 * std::min({side.x, side.y, side.z}) < 0.00001) return 0;
    if (noTopology) return 1;
    octreeStale_ = false;  // filled here
    return fillOctree();
}

// ---- defaults from the feature tables ----

void addRegions(const char* name) {
    head3* h = actual_head3;
    if (!h) return;
    CString code, mirror, colour;
    dynarray<CString> neighbours;
    for (int n = 0; GetRegionInfo(n, &code, &mirror, &colour, nullptr, &neighbours); ++n) {
        if (name && code.View() != std::string_view(name)) continue;
        Index<region> r = h->getRegion(code, false);
        if (r == -1) continue;
        h->regions[r].mirror = h->getRegion(mirror, false);
        h->regions[r].colour = h->colors.get(colour);
        Index<featureline3> line = h->regions[r].borderLine;
        if (line != -1)
            for (int k = 0; k < neighbours.size(); ++k) add_region_to_featureline(h->getRegion(neighbours[k], false), line);
    }
}

void addFeaturelines3(const char* name) {
    head3* h = actual_head3;
    if (!h) return;
    CString code, mirror, type;
    dynarray<CString> regions;
    for (int n = 0; GetFeatureLineInfo(n, &code, &mirror, &type, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       &regions);
         ++n) {
        // Lines of the 3D view and the automatic editable lines.
        if (type.GetLength() < 3 || (type[2] != '1' && type[2] != '3')) continue;
        if (name && code.View() != std::string_view(name)) continue;
        Index<featureline3> l = h->addFeatureline(code, false);
        Index<featureline3> m = h->getFeatureline(mirror, false);
        h->featurelines[l].mirror = m;
        if (m != -1) h->featurelines[m].mirror = l;
        for (int k = 0; k < regions.size(); ++k) add_region_to_featureline(h->getRegion(regions[k], false), l);
    }
}

void addFeaturepoints3(const char* name) {
    head3* h = actual_head3;
    if (!h) return;
    CString code, mirror;
    double weight = 0;
    int kind = 0;
    dynarray<CString> regions;
    for (int n = 0;; ++n) {
        regions.resize(0);
        if (!GetFeaturePointInfo(n, &code, &mirror, &weight, &kind, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 &regions))
            break;
        if (kind <= 0) continue;
        if (name && code.View() != std::string_view(name)) continue;
        Index<featurepoint3> p = h->addFeaturepoint(code, false);
        h->featurepoints[p].weight = weight;
        Index<featurepoint3> m = h->getFeaturepoint(mirror, false);
        h->featurepoints[p].mirror = m;
        if (m != -1) h->featurepoints[m].mirror = p;
        for (int k = 0; k < regions.size(); ++k) add_region_to_featurepoint(h->getRegion(regions[k], false), p);
    }
}

void order_regions(commonchainindex<region>& regions) {
    if (regions.count() < 2) return;
    std::vector<int> v;
    for (int n = regions.first(); n != -1; n = regions.nextOf(n)) v.push_back(regions[n]);
    std::stable_sort(v.begin(), v.end(), [](int x, int y) {
        return Index<region>(x).data().areas.count() < Index<region>(y).data().areas.count();
    });
    int k = 0;
    for (int n = regions.first(); n != -1; n = regions.nextOf(n)) regions[n] = v[k++];
}

void connect_triangles_of_area(Index<area> a) {
    if (a == -1) return;
    commonchainindex<triangle>& l = a.data().triangles;
    for (int n = l.first(); n != -1;) {
        int next = l.nextOf(n);
        Index<triangle> t = l[n];
        triangle& tr = t.data();
        if (tr.areaOf != -1 && tr.areaOf != a && tr.areaNode != -1) {
            // A triangle belongs to one area: a second listing is dropped.
            l.remove_index(n);
        } else if (tr.areaOf == a && tr.areaNode != -1 && tr.areaNode != n) {
            l.remove_index(n);
        } else {
            tr.areaOf = a;
            tr.areaNode = n;
        }
        n = next;
    }
}

// ---- after reading ----

void head3::post2_read() {
    CString code;
    for (int n = 0; GetRegionInfo(n, &code); ++n) addRegion(code, false);
    addRegions(nullptr);
    addFeaturelines3(nullptr);
    addFeaturepoints3(nullptr);
}

void head3::prepost_read() {
    if (noTopology) return;
    Index<area> a = areas.add();
    Index<region> r = regions.add_new("whole_head");
    regions[r].used = 1;
    regions[r].colour = colors.get("color_of_skin");
    regions[r].areas.add_data(a);
    for (int t = triangles.first(); t != -1; t = triangles.nextOf(t)) areas[a].triangles.add_data(t);
}

bool head3::post_read(bool moveToCenter) {
    for (int e = reserved.first(); e != -1; e = reserved.nextOf(e)) {
        reserved[e].tri = -1;
        reserved[e].active = 0;
    }
    if (noTopology) {
        SetMinMax(moveToCenter);
        Changed();
        return true;
    }
    for (int t = triangles.first(); t != -1; t = triangles.nextOf(t)) add_triangle_to_vertices(t);
    if (!keepLooseVertices) {
        // A loose vertex that a point still names stays, so no link dangles.
        std::set<int> named;
        for (int p = featurepoints.first(); p != -1; p = featurepoints.nextOf(p)) named.insert(featurepoints[p].vtx);
        for (int l = featurelines.first(); l != -1; l = featurelines.nextOf(l))
            for (int q = featurelines[l].first(); q != -1; q = featurelines[l].nextOf(q))
                named.insert(featurelines[l][q].vtx);
        for (int v = vertices.first(); v != -1;) {
            int next = vertices.nextOf(v);
            if (vertices[v].triangles.count() == 0 && !named.count(v)) vertices.remove_index(v);
            v = next;
        }
        for (int e = extrapoints.first(); e != -1; e = extrapoints.nextOf(e)) add_extrapoint_to_triangle(e);
        // The repair walks each fan, so the fans are put in order first.
        for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) order_trianges_of_vertex(v);
        repairVertices(5.0);
    }
    SetMinMax(moveToCenter);
    for (int p = featurepoints.first(); p != -1; p = featurepoints.nextOf(p)) add_featurepoint(p);
    for (int l = featurelines.first(); l != -1; l = featurelines.nextOf(l)) {
        std::vector<int> pts;
        for (int q = featurelines[l].first(); q != -1; q = featurelines[l].nextOf(q)) pts.push_back(q);
        for (int q : pts) add_linepoint(q, l);
    }
    for (int r = regions.first(); r != -1; r = regions.nextOf(r)) {
        add_region_to_featurepoints(r);
        add_region_to_featurelines(r);
        add_region_to_areas(r);
    }
    post2_read();
    if (svc::app().state().pictureEditor) {
        for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) {
            const commonlistindex<triangle>& l = vertices[v].triangles;
            if (l.count() > 0 && triangles[l[l.first()]].material == 2) vertices[v].position = {};
        }
        for (int t = triangles.first(); t != -1; t = triangles.nextOf(t)) {
            triangles[t].group = 0;
            triangles[t].material = 0;
        }
    }
    for (int p = featurepoints.first(); p != -1; p = featurepoints.nextOf(p)) order_regions(featurepoints[p].regions);
    for (int l = featurelines.first(); l != -1; l = featurelines.nextOf(l)) order_regions(featurelines[l].regions);
    for (int a = areas.first(); a != -1; a = areas.nextOf(a)) {
        connect_triangles_of_area(a);
        order_regions(areas[a].regions);
    }
    std::vector<int> touched;  // corners of the triangles that went
    for (int t = triangles.first(); t != -1;) {
        int next = triangles.nextOf(t);
        if (triangles[t].areaOf == -1) {
            for (int k = 0; k < 3; ++k) touched.push_back(triangles[t].corner(k));
            remove_triangle(t);
        }
        t = next;
    }
    // Refinement, elimination and gathering walk the fans in order: put in
    // order above, unless loose vertices were kept, but for the fans that
    // lost a triangle since.
    if (keepLooseVertices) {
        for (int v = vertices.first(); v != -1; v = vertices.nextOf(v)) order_trianges_of_vertex(v);
    } else {
        std::sort(touched.begin(), touched.end());
        touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
        for (int v : touched)
            if (v >= 0 && v < vertices.pool()->size() && !vertices.pool()->isFree(v)) order_trianges_of_vertex(v);
    }
    set_weights();
    // What was put in order, repaired or dropped above changed the head
    // (the octree may have been filled on the way, for lines laid on it).
    Changed();
    return true;
}
