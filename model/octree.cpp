#include "model/octree.h"

#include <algorithm>
#include <cmath>

#include "model/head.h"

namespace {

const int kDepth = 4;          // levels over which triangles are split
const int kMaxHalvings = 12;   // a huge triangle is indexed whole below this

double largestExtent(const vector3<double>& lo, const vector3<double>& hi) {
    return std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
}

double comp(const vector3<double>& v, int a) { return a == 0 ? v.x : a == 1 ? v.y : v.z; }
double& comp(vector3<double>& v, int a) { return a == 0 ? v.x : a == 1 ? v.y : v.z; }

// Keeps the part of the polygon (n points) on one side of the plane
// x_axis = value.
void clipPlane(const double (*in)[3], int n, double (*out)[3], int& m, int axis, double value, bool keepBelow) {
    m = 0;
    for (int k = 0; k < n; ++k) {
        const double* a = in[k];
        const double* b = in[k + 1 == n ? 0 : k + 1];
        double da = keepBelow ? value - a[axis] : a[axis] - value;
        double db = keepBelow ? value - b[axis] : b[axis] - value;
        if (da >= 0) {
            out[m][0] = a[0];
            out[m][1] = a[1];
            out[m][2] = a[2];
            ++m;
        }
        if ((da >= 0) != (db >= 0)) {
            double s = da / (da - db);
            for (int c = 0; c < 3; ++c) out[m][c] = a[c] + (b[c] - a[c]) * s;
            out[m][axis] = value;
            ++m;
        }
    }
}

}  // namespace

bool getABCforOcttree(Index<triangle> t, vector3<double>& a, vector3<double>& b, vector3<double>& c) {
    if (t == -1) return false;
    const triangle& tr = t.data();
    if (tr.a == -1 || tr.b == -1 || tr.c == -1) return false;
    vector3<double> p0 = tr.a.data().position, p1 = tr.b.data().position, p2 = tr.c.data().position;
    vector3<double> g = (p0 + p1 + p2) / 3.0;
    a = p0 + (p0 - g) * 0.1;
    b = p1 + (p1 - g) * 0.1;
    c = p2 + (p2 - g) * 0.1;
    return true;
}

void minmax(const vector3<double>& cmin, const vector3<double>& centre, const vector3<double>& cmax, int i, int j,
            int k, vector3<double>& childMin, vector3<double>& childMax) {
    childMin.x = i ? centre.x : cmin.x;
    childMax.x = i ? cmax.x : centre.x;
    childMin.y = j ? centre.y : cmin.y;
    childMax.y = j ? cmax.y : centre.y;
    childMin.z = k ? centre.z : cmin.z;
    childMax.z = k ? cmax.z : centre.z;
}

void getSections(const vector3<double>& P, const vector3<double>& d, const vector3<double>& planePoint,
                 bool valid[3], double t[3]) {
    for (int a = 0; a < 3; ++a) {
        double da = comp(d, a);
        valid[a] = std::fabs(da) > 1e-10;
        t[a] = valid[a] ? (comp(planePoint, a) - comp(P, a)) / da : 0.0;
    }
}

void head3::octtreeDeleter::operator()(octtree* t) const { delete t; }

octtree& head3::octree() {
    if (!octree_) octree_.reset(new octtree);
    return *octree_;
}

octtree* current_octtree() {
    if (actual_head3) return &actual_head3->octree();
    return octtree::actual_octtree;
}

void add_triangle_to_octtree(Index<triangle> t) {
    if (octtree* o = current_octtree()) o->ask(t, true);
}

void remove_triangle_from_octtree(Index<triangle> t) {
    if (octtree* o = current_octtree()) o->ask(t, false);
}

octtree::octtree() {
    set_actual();
    root_ = cells_.add();
    set_actual();
}

octtree::~octtree() {
    if (root_ != -1) {
        kill(root_);
        cells_.remove_index(root_);
        root_ = -1;
    }
    if (actual_octtree == this) {
        actual_octtree = nullptr;
        actual_tree = -1;
        if (Index<octtree_rec>::actual == &cells_) Index<octtree_rec>::actual = nullptr;
        if (fnd::lindex<Index<triangle>>::actual == &triangleList_) fnd::lindex<Index<triangle>>::actual = nullptr;
    }
}

void octtree::set_actual() {
    if (root_ != -1) {
        actual_tree = root_;
        cells_[root_].set(root_, -1);
    }
    Index<octtree_rec>::actual = &cells_;
    actual_octtree = this;
    fnd::lindex<Index<triangle>>::actual = &triangleList_;
}

std::vector<int> octtree::cellsHolding(Index<triangle> t) const {
    if (t < 0 || t >= int(holders_.size())) return {};
    return holders_[t];
}

// Empties the cell and removes its subtree; the root stays as an empty cell.
void octtree::kill(Index<octtree_rec> cell) {
    for (int s = 0; s < 8; ++s) {
        Index<octtree_rec> ch = cells_[cell].children[s];
        if (ch != -1) kill(ch);
    }
    octtree_rec& c = cells_[cell];
    c.triangles.remove_all();
    if (cell == root_) return;
    Index<octtree_rec> parent = c.parent;
    if (parent != -1)
        for (auto& ch : cells_[parent].children)
            if (ch == cell) ch = -1;
    cells_.remove_index(cell);
}

// A cell without triangles and children leaves its parent (the root
// stays); returns the parent when the cell went, else -1.
Index<octtree_rec> octtree::clean(Index<octtree_rec> cell) {
    if (cell == -1 || cell == root_) return -1;
    octtree_rec& c = cells_[cell];
    if (c.triangles.count() != 0) return -1;
    for (auto ch : c.children)
        if (ch != -1) return -1;
    Index<octtree_rec> parent = c.parent;
    if (parent != -1)
        for (auto& ch : cells_[parent].children)
            if (ch == cell) ch = -1;
    cells_.remove_index(cell);
    return parent;
}

Index<octtree_rec> octtree::childOf(Index<octtree_rec> cell, int i, int j, int k, bool create) {
    Index<octtree_rec> ch = cells_[cell].child(i, j, k);
    if (ch != -1 || !create) return ch;
    ch = cells_.add();  // may move the pool: re-read the cells below
    cells_[ch].set(ch, cell);
    cells_[cell].child(i, j, k) = ch;
    return ch;
}

int octtree::fill() {
    set_actual();
    // The whole tree goes at once; the root comes back as an empty cell.
    if (root_ != -1) {
        cells_.remove_all();
        root_ = cells_.add();
        set_actual();
    }
    for (std::vector<int>& h : holders_) h.clear();
    filled_ = false;

    fnd::chain<triangle>& tris = Index<triangle>::current();
    vector3<double> lo(1e10, 1e10, 1e10), hi(-1e10, -1e10, -1e10);
    double sum = 0.0;
    int count = 0;
    for (int t = tris.first(); t != -1; t = tris.nextOf(t)) {
        vector3<double> a, b, c;
        if (!getABCforOcttree(t, a, b, c)) continue;
        vector3<double> tlo = fnd::min(fnd::min(a, b), c), thi = fnd::max(fnd::max(a, b), c);
        lo = fnd::min(lo, tlo);
        hi = fnd::max(hi, thi);
        sum += largestExtent(tlo, thi);
        ++count;
    }
    if (count == 0) return 0;
    sizeThreshold_ = 3.0 * (sum / count);
    vector3<double> centre = (lo + hi) / 2.0;
    if (std::min({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z}) < 1e-5) return 0;
    double h = 1.5 * largestExtent(lo, hi);
    min_ = centre - vector3<double>(h, h, h);
    max_ = centre + vector3<double>(h, h, h);
    octtree_rec::minSizeofCube = (max_ - min_).length() / 4096.0;
    filled_ = true;
    for (int t = tris.first(); t != -1; t = tris.nextOf(t)) ask(t, true);
    return 1;
}

void octtree::ask(Index<triangle> t, bool add) {
    if (t == -1 || root_ == -1) return;
    if (!add) {
        if (t >= int(holders_.size()) || holders_[t].empty()) return;
        std::vector<int> cells;
        cells.swap(holders_[t]);
        for (int cell : cells) {
            cells_[cell].triangles.remove_data(t);
            for (Index<octtree_rec> c = cell; c != -1;) c = clean(c);
        }
        return;
    }
    if (!filled_) return;
    vector3<double> a, b, c;
    if (!getABCforOcttree(t, a, b, c)) return;
    askPiece(t, a, b, c, 0);
}

// Large triangles are halved at the middle of their longest edge until
// they are small enough to sink into small cells.
void octtree::askPiece(Index<triangle> t, const vector3<double>& v1, const vector3<double>& v2,
                       const vector3<double>& v3, int halvings) {
    vector3<double> lo = fnd::min(fnd::min(v1, v2), v3), hi = fnd::max(fnd::max(v1, v2), v3);
    if (largestExtent(lo, hi) > sizeThreshold_ && halvings < kMaxHalvings) {
        double l23 = (v3 - v2) * (v3 - v2), l31 = (v1 - v3) * (v1 - v3), l12 = (v2 - v1) * (v2 - v1);
        if (l23 > l31 && l23 > l12) {
            vector3<double> m = (v2 + v3) / 2.0;
            askPiece(t, v1, v2, m, halvings + 1);
            askPiece(t, v1, m, v3, halvings + 1);
        } else if (l31 > l12) {
            vector3<double> m = (v3 + v1) / 2.0;
            askPiece(t, v2, v3, m, halvings + 1);
            askPiece(t, v2, m, v1, halvings + 1);
        } else {
            vector3<double> m = (v1 + v2) / 2.0;
            askPiece(t, v3, v1, m, halvings + 1);
            askPiece(t, v3, m, v2, halvings + 1);
        }
        return;
    }
    Poly poly;
    const vector3<double>* corners[3] = {&v1, &v2, &v3};
    for (int k = 0; k < 3; ++k) {
        poly.p[k][0] = corners[k]->x;
        poly.p[k][1] = corners[k]->y;
        poly.p[k][2] = corners[k]->z;
    }
    poly.n = 3;
    insert(root_, t, poly, lo, hi, kDepth, min_, max_, max_.x - min_.x, true);
}

void octtree::store(Index<octtree_rec> cell, Index<triangle> t) {
    // holders_ lists exactly the cells that list t.
    if (t >= int(holders_.size())) holders_.resize(std::max<size_t>(t + 1, holders_.size() * 5 / 4));
    std::vector<int>& in = holders_[t];
    if (std::find(in.begin(), in.end(), int(cell)) != in.end()) return;
    commonlistindex<triangle>& l = cells_[cell].triangles;
    l.insert_after_index(-1);
    l[l.first()] = t;
    in.push_back(cell);
}

// A triangle (or a piece of one, given as a polygon) goes to the smallest
// cell that holds its box whole; one that straddles the middle of a cell is
// cut by the child boxes while splitting is allowed, else given whole to
// every child its box overlaps.
void octtree::insert(Index<octtree_rec> cell, Index<triangle> t, const Poly& poly, vector3<double> bmin,
                     vector3<double> bmax, int depth, const vector3<double>& cellMin, const vector3<double>& cellMax,
                     double size, bool split) {
    vector3<double> cmin = cellMin, cmax = cellMax, centre;
    int side[3];
    // Down through the cells that hold the box whole on one side of every
    // mid-plane (a loop: most of a triangle's way down is this).
    for (;;) {
        bmin = fnd::max(bmin, cmin);
        bmax = fnd::min(bmax, cmax);
        double e = largestExtent(bmin, bmax);
        if (2 * e > size || size < 2 * octtree_rec::minSizeofCube) {
            store(cell, t);
            return;
        }
        centre = (cmin + cmax) / 2.0;
        bool oneSide = true;
        for (int a = 0; a < 3; ++a) {
            if (comp(bmin, a) >= comp(centre, a))
                side[a] = 1;
            else if (comp(bmax, a) <= comp(centre, a))
                side[a] = 0;
            else {
                side[a] = -1;
                oneSide = false;
            }
        }
        if (!oneSide) break;
        const Index<octtree_rec> ch = childOf(cell, side[0], side[1], side[2], true);
        vector3<double> lo, hi;
        minmax(cmin, centre, cmax, side[0], side[1], side[2], lo, hi);
        cell = ch;
        cmin = lo;
        cmax = hi;
        size /= 2;
    }
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            for (int k = 0; k < 2; ++k) {
                if ((side[0] != -1 && side[0] != i) || (side[1] != -1 && side[1] != j) ||
                    (side[2] != -1 && side[2] != k))
                    continue;
                vector3<double> lo, hi;
                minmax(cmin, centre, cmax, i, j, k, lo, hi);
                if (split && depth > 0) {
                    // The piece of the polygon inside the child's box: the
                    // polygon lies in this cell, so only the mid-planes it
                    // straddles cut it.
                    Poly a, b;
                    const Poly* from = &poly;
                    const int half[3] = {i, j, k};
                    for (int axis = 0; axis < 3; ++axis) {
                        if (side[axis] != -1) continue;
                        Poly* to = from == &a ? &b : &a;
                        clipPlane(from->p, from->n, to->p, to->n, axis, comp(centre, axis), half[axis] == 0);
                        from = to;
                        if (from->n == 0) break;
                    }
                    if (from->n == 0) continue;
                    vector3<double> plo(from->p[0][0], from->p[0][1], from->p[0][2]), phi = plo;
                    for (int q = 1; q < from->n; ++q) {
                        const vector3<double> pq(from->p[q][0], from->p[q][1], from->p[q][2]);
                        plo = fnd::min(plo, pq);
                        phi = fnd::max(phi, pq);
                    }
                    Index<octtree_rec> ch = childOf(cell, i, j, k, true);
                    insert(ch, t, *from, plo, phi, depth - 1, lo, hi, size / 2, true);
                } else {
                    if (!(bmin.x <= hi.x && bmax.x >= lo.x && bmin.y <= hi.y && bmax.y >= lo.y &&
                          bmin.z <= hi.z && bmax.z >= lo.z))
                        continue;
                    Index<octtree_rec> ch = childOf(cell, i, j, k, true);
                    insert(ch, t, poly, bmin, bmax, depth, lo, hi, size / 2, false);
                }
            }
    clean(cell);
}

namespace {

// Where the line P + t d meets the plane of the triangle a, b, c, and the
// barycentric coordinates of that point: what baricoord gives (the same
// normal, the same test for a line along the plane), by cross products in
// place of a matrix inverse, as picking runs this for every candidate.
bool meetTriangle(const vector3<double>& a, const vector3<double>& b, const vector3<double>& c,
                  const vector3<double>& P, const vector3<double>& d, vector3<double>* hit, double* t,
                  vector3<double>* w) {
    const vector3<double> n = (b - a) % (c - a);
    const double nn = n * n;
    if (!(nn > 0)) return false;
    const double nd = n * d;
    if (std::fabs(nd) < 1e-10 * std::sqrt(nn)) return false;
    const double tt = (n * (a - P)) / nd;
    const vector3<double> h = P + d * tt;
    const vector3<double> ha = a - h, hb = b - h, hc = c - h;
    *w = vector3<double>((hb % hc) * n, (hc % ha) * n, (ha % hb) * n) / nn;
    *t = tt;
    *hit = h;
    return true;
}

// The rule for a line: the smallest t + 100 x (the most negative
// coordinate's magnitude), in units of d; a hit when that triangle's
// smallest coordinate is at least -0.01.
struct LineRanking {
    vector3<double> P, d;
    double best = 1e10;
    Index<triangle> bestT = -1;
    vector3<double> bestB, bestHit;

    double bound() const { return best; }
    void offer(Index<triangle> t, const vector3<double>& a, const vector3<double>& b, const vector3<double>& c) {
        vector3<double> h, w;
        double tt;
        if (!meetTriangle(a, b, c, P, d, &h, &tt, &w)) return;
        const double score = tt - 100.0 * std::min({w.x, w.y, w.z, 0.0});
        if (score < best) {
            best = score;
            bestT = t;
            bestB = w;
            bestHit = h;
        }
    }
    bool found() const { return bestT != -1 && std::min({bestB.x, bestB.y, bestB.z}) >= -0.01; }
};

// The rule for a ray along a unit direction: hits from tMin on; a triangle
// the ray meets (every coordinate at least 0, up to rounding) beats every
// near-miss, the nearest such first; near-misses rank by t + 100 x their
// miss.
struct RayRanking {
    vector3<double> P, d;
    double tMin = 0.0;
    const TriangleFilter* accept = nullptr;
    double exactT = 1e10, nearScore = 1e10;
    Index<triangle> exactTri = -1, nearTri = -1;
    vector3<double> exactB, exactHit, nearB, nearHit;

    // Cells that start beyond this cannot hold a better triangle; a
    // near-miss never ends the walk, a triangle the ray meets farther on
    // still beats it.
    double bound() const { return exactT; }
    void offer(Index<triangle> t, const vector3<double>& a, const vector3<double>& b, const vector3<double>& c) {
        vector3<double> h, w;
        double tt;
        if (!meetTriangle(a, b, c, P, d, &h, &tt, &w)) return;
        if (tt < tMin) return;
        if (accept && !(*accept)(t)) return;
        const double lo = std::min({w.x, w.y, w.z});
        // A ray through an edge or a corner meets its triangles up to
        // rounding.
        if (lo >= -1e-9) {
            if (tt < exactT) {
                exactT = tt;
                exactTri = t;
                exactB = w;
                exactHit = h;
            }
        } else if (lo >= -0.01) {
            const double score = tt - 100.0 * lo;
            if (score < nearScore) {
                nearScore = score;
                nearTri = t;
                nearB = w;
                nearHit = h;
            }
        }
    }
};

}  // namespace

bool octtree::rootSection(const vector3<double>& P, const vector3<double>& d, cubeSection& in,
                          cubeSection& out) const {
    bool v1[3], v2[3];
    double t1[3], t2[3];
    getSections(P, d, min_, v1, t1);
    getSections(P, d, max_, v2, t2);
    double tin = 1e10, tout = -1e10;
    for (int a = 0; a < 3; ++a) {
        if (v1[a]) tin = std::min(tin, t1[a]), tout = std::max(tout, t1[a]);
        if (v2[a]) tin = std::min(tin, t2[a]), tout = std::max(tout, t2[a]);
    }
    if (tin > tout) return false;
    in = cubeSection{tin, P + d * tin};
    out = cubeSection{tout, P + d * tout};
    return true;
}

Index<triangle> octtree::getfirst(const vector3<double>& P, const vector3<double>& d, vector3<double>* bary,
                                  vector3<double>* hit) const {
    if (root_ == -1 || !filled_) return -1;
    cubeSection in, out;
    if (!rootSection(P, d, in, out)) return -1;
    LineRanking r{P, d};
    walkSteps_ = 0;
    walk(root_, min_, max_, in, out, r);
    if (!r.found()) return -1;
    if (bary) *bary = r.bestB;
    if (hit) *hit = r.bestHit;
    return r.bestT;
}

octtree::RayHit octtree::firstOnRay(const vector3<double>& P, const vector3<double>& u, double tMin,
                                    const TriangleFilter* accept) const {
    RayHit out;
    if (root_ == -1 || !filled_) return out;
    cubeSection in, exit;
    if (!rootSection(P, u, in, exit)) return out;
    if (exit.t < tMin) return out;
    if (in.t < tMin) in = cubeSection{tMin, P + u * tMin};
    RayRanking r{P, u, tMin, accept};
    walkSteps_ = 0;
    walk(root_, min_, max_, in, exit, r);
    if (r.exactTri != -1) {
        out = {r.exactTri, true, r.exactT, r.exactT, r.exactB, r.exactHit};
    } else if (r.nearTri != -1) {
        out = {r.nearTri, false, (r.nearHit - P) * u, r.nearScore, r.nearB, r.nearHit};
    }
    return out;
}

namespace {

bool unitDirection(const vector3<double>& d, vector3<double>& u) {
    const double length = d.length();
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    u = d / length;
    return true;
}

}  // namespace

Index<triangle> octtree::getfirstOnRay(const vector3<double>& P, const vector3<double>& d, double tolerance,
                                       vector3<double>* bary, vector3<double>* hit,
                                       const TriangleFilter* accept) const {
    vector3<double> u;
    if (!unitDirection(d, u)) return -1;
    const RayHit r = firstOnRay(P, u, -std::fabs(tolerance), accept);
    if (r.tri == -1) return -1;
    if (bary) *bary = r.bary;
    if (hit) *hit = r.hit;
    return r.tri;
}

Index<triangle> octtree::getnearest(const vector3<double>& P, const vector3<double>& d, vector3<double>* bary,
                                    vector3<double>* hit, const TriangleFilter* accept) const {
    vector3<double> u;
    if (!unitDirection(d, u)) return -1;
    const RayHit ahead = firstOnRay(P, u, 0.0, accept), behind = firstOnRay(P, -u, 0.0, accept);
    const RayHit* best = nullptr;
    for (const RayHit* r : {&ahead, &behind}) {
        if (r->tri == -1) continue;
        if (!best || (r->exact && !best->exact) || (r->exact == best->exact && r->score < best->score)) best = r;
    }
    if (!best) return -1;
    if (bary) *bary = best->bary;
    if (hit) *hit = best->hit;
    return best->tri;
}

template <class Ranking>
void octtree::walk(Index<octtree_rec> cell, const vector3<double>& cmin, const vector3<double>& cmax,
                   const cubeSection& in, const cubeSection& out, Ranking& r) const {
    if (++walkSteps_ > kMaxWalkSteps) return;
    const octtree_rec& c = cells_[cell];
    // The cell's triangles are fetched together, then their corners, so
    // that the memory waits overlap (picking runs on every mouse move).
    constexpr int kBatch = 16;
    int batch[kBatch];
    const triangle* tris[kBatch];
    for (int n = c.triangles.first(); n != -1;) {
        int m = 0;
        for (; n != -1 && m < kBatch; n = c.triangles.nextOf(n)) batch[m++] = c.triangles[n];
        for (int k = 0; k < m; ++k) {
            tris[k] = &Index<triangle>(batch[k]).data();
            __builtin_prefetch(tris[k]);
        }
        for (int k = 0; k < m; ++k) {
            const triangle& tr = *tris[k];
            if (tr.a == -1 || tr.b == -1 || tr.c == -1) continue;
            __builtin_prefetch(&tr.a.data().position);
            __builtin_prefetch(&tr.b.data().position);
            __builtin_prefetch(&tr.c.data().position);
        }
        for (int k = 0; k < m; ++k) {
            if (++walkSteps_ > kMaxWalkSteps) return;
            const triangle& tr = *tris[k];
            if (tr.a == -1 || tr.b == -1 || tr.c == -1) continue;
            r.offer(batch[k], tr.a.data().position, tr.b.data().position, tr.c.data().position);
        }
    }
    if ((out.p - in.p).length() < 1e-10) return;
    const vector3<double>& P = r.P;
    const vector3<double>& d = r.d;
    vector3<double> centre = (cmin + cmax) / 2.0;
    auto octant = [&](const vector3<double>& p, int o[3]) {
        o[0] = p.x >= centre.x;
        o[1] = p.y >= centre.y;
        o[2] = p.z >= centre.z;
    };
    int oi[3], oo[3];
    octant(in.p, oi);
    octant(out.p, oo);
    if (oi[0] == oo[0] && oi[1] == oo[1] && oi[2] == oo[2]) {
        Index<octtree_rec> ch = c.children[(oi[0] * 2 + oi[1]) * 2 + oi[2]];
        if (ch != -1) {
            vector3<double> lo, hi;
            minmax(cmin, centre, cmax, oi[0], oi[1], oi[2], lo, hi);
            walk(ch, lo, hi, in, out, r);
        }
        return;
    }
    for (Index<octtree_rec> ch : c.children)
        if (ch != -1) __builtin_prefetch(&cells_[ch]);
    bool valid[3];
    double ts[3];
    getSections(P, d, centre, valid, ts);
    cubeSection pts[5];
    int n = 0;
    pts[n++] = in;
    for (int a = 0; a < 3; ++a)
        if (valid[a] && ts[a] > in.t && ts[a] < out.t) pts[n++] = cubeSection{ts[a], P + d * ts[a]};
    pts[n++] = out;
    std::sort(pts, pts + n, [](const cubeSection& x, const cubeSection& y) { return x.t < y.t; });
    for (int k = 0; k + 1 < n; ++k) {
        if (!(pts[k].t < r.bound())) return;
        int o[3];
        octant((pts[k].p + pts[k + 1].p) / 2.0, o);
        Index<octtree_rec> ch = c.children[(o[0] * 2 + o[1]) * 2 + o[2]];
        if (ch == -1) continue;
        vector3<double> lo, hi;
        minmax(cmin, centre, cmax, o[0], o[1], o[2], lo, hi);
        walk(ch, lo, hi, pts[k], pts[k + 1], r);
    }
}
