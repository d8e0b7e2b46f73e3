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

// As largestExtent (the first of equal extents).
template <class B>
double widest(const B& b) {
    double e = b.hi[0] - b.lo[0];
    const double y = b.hi[1] - b.lo[1], z = b.hi[2] - b.lo[2];
    if (e < y) e = y;
    if (e < z) e = z;
    return e;
}

double comp(const vector3<double>& v, int a) { return a == 0 ? v.x : a == 1 ? v.y : v.z; }

inline void childBox(const vector3<double>& cmin, const vector3<double>& centre, const vector3<double>& cmax, int i,
                     int j, int k, vector3<double>& childMin, vector3<double>& childMax) {
    childMin.x = i ? centre.x : cmin.x;
    childMax.x = i ? cmax.x : centre.x;
    childMin.y = j ? centre.y : cmin.y;
    childMax.y = j ? cmax.y : centre.y;
    childMin.z = k ? centre.z : cmin.z;
    childMax.z = k ? cmax.z : centre.z;
}

inline void copy3(const double* from, double* to) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// Cuts the polygon (n points) by the plane x_axis = value into the part
// below it and the part above it, as clipping it to either side would: a
// point on the plane goes to both, and both parts share the points where
// the edges cross the plane.
void splitPolygon(const double (*in)[3], int n, int axis, double value, double (*below)[3], int& nb,
                  double (*above)[3], int& na) {
    nb = na = 0;
    const double* a = in[0];
    double da = value - a[axis];
    // Points are written to both sides and counted on the sides they
    // belong to (fewer branches a processor could not guess; the arrays
    // have room for the one write past the end).
    for (int j = 0; j < n; ++j) {
        const double* b = in[j + 1 == n ? 0 : j + 1];
        const double db = value - b[axis];
        copy3(a, below[nb]);
        nb += da >= 0;
        copy3(a, above[na]);
        na += da <= 0;
        const bool crossesBelow = (da >= 0) != (db >= 0), crossesAbove = (da <= 0) != (db <= 0);
        if (crossesBelow || crossesAbove) {
            const double s = da / (da - db);
            double x[3];
            for (int c = 0; c < 3; ++c) x[c] = a[c] + (b[c] - a[c]) * s;
            x[axis] = value;
            copy3(x, below[nb]);
            nb += crossesBelow;
            copy3(x, above[na]);
            na += crossesAbove;
        }
        a = b;
        da = db;
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
    childBox(cmin, centre, cmax, i, j, k, childMin, childMax);
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
    if (octreeStale_) {
        octreeStale_ = false;
        if (octree_->filled()) fillOctree();
    }
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

int octtree_rec::Triangles::count() const { return tree_ ? tree_->cellCount(cell_) : 0; }

Index<triangle> octtree_rec::Triangles::operator[](int n) const {
    const octtree_rec& c = tree_->cells_[size_t(cell_)];
    const std::vector<int>* added = size_t(cell_) < tree_->added_.size() ? &tree_->added_[size_t(cell_)] : nullptr;
    const int extra = added ? int(added->size()) : 0;
    if (n < extra) return (*added)[size_t(extra - 1 - n)];
    return tree_->tris_[size_t(c.begin_ + n - extra)];
}

int octtree::Cells::nextFrom(int c) const {
    if (!cells_) return -1;
    for (; size_t(c) < cells_->size(); ++c)
        if ((*cells_)[size_t(c)].self != -1) return c;
    return -1;
}

octtree::octtree() {
    cellList_.cells_ = &cells_;
    root_ = newCell(-1);
    set_actual();
}

octtree::~octtree() {
    if (actual_octtree == this) {
        actual_octtree = nullptr;
        actual_tree = -1;
        if (fnd::lindex<Index<triangle>>::actual == &triangleList_) fnd::lindex<Index<triangle>>::actual = nullptr;
    }
}

void octtree::set_actual() {
    if (root_ != -1) actual_tree = root_;
    actual_octtree = this;
    fnd::lindex<Index<triangle>>::actual = &triangleList_;
}

int octtree::newCell(int parent) {
    const int c = int(cells_.size());
    octtree_rec& cell = cells_.emplace_back();
    cell.parent = parent;
    cell.self = c;
    cell.triangles.tree_ = this;
    cell.triangles.cell_ = c;
    ++cellList_.live_;
    return c;
}

int octtree::cellCount(int cell) const {
    const int extra = size_t(cell) < added_.size() ? int(added_[size_t(cell)].size()) : 0;
    return cells_[size_t(cell)].size_ + extra;
}

std::span<const int> octtree::holders(int t) const {
    if (t < 0) return {};
    if (!edited_.empty()) {
        auto e = edited_.find(t);
        if (e != edited_.end()) return e->second;
    }
    if (filling_) return t == currentTriangle_ ? std::span<const int>(holderCells_).subspan(size_t(holderBegin_.back()))
                                              : std::span<const int>();
    if (size_t(t) + 1 >= holderBegin_.size()) return {};
    return std::span<const int>(holderCells_).subspan(size_t(holderBegin_[size_t(t)]),
                                                      size_t(holderBegin_[size_t(t) + 1] - holderBegin_[size_t(t)]));
}

std::vector<int>& octtree::editedHolders(int t) {
    auto e = edited_.find(t);
    if (e != edited_.end()) return e->second;
    std::span<const int> from = holders(t);
    return edited_.emplace(t, std::vector<int>(from.begin(), from.end())).first->second;
}

std::vector<int> octtree::cellsHolding(Index<triangle> t) const {
    std::span<const int> h = holders(t);
    return std::vector<int>(h.begin(), h.end());
}

// A cell without triangles and children leaves its parent (the root
// stays); returns the parent when the cell went, else -1.
int octtree::clean(int cell) {
    if (cell == -1 || cell == root_) return -1;
    octtree_rec& c = cells_[size_t(cell)];
    if (cellCount(cell) != 0) return -1;
    for (int ch : c.children)
        if (ch != -1) return -1;
    const int parent = c.parent;
    if (parent != -1)
        for (int& ch : cells_[size_t(parent)].children)
            if (ch == cell) ch = -1;
    c.self = -1;
    c.parent = -1;
    --cellList_.live_;
    return parent;
}

inline int octtree::childIn(int cell, int slot) {
    const int ch = cells_[size_t(cell)].children[slot];
    if (ch != -1) return ch;
    const int made = newCell(cell);  // may move the cells: indexed again below
    cells_[size_t(cell)].children[slot] = made;
    return made;
}

int octtree::fill() {
    set_actual();
    // The whole tree goes at once; the root comes back as an empty cell.
    cells_.clear();
    cellList_.live_ = 0;
    root_ = newCell(-1);
    set_actual();
    tris_.clear();
    added_.clear();
    edited_.clear();
    holderCells_.clear();
    holderBegin_.clear();
    fillOrder_.clear();
    corners_.clear();
    edits_ = 0;
    filled_ = false;
    pathLength_ = 0;

    // The corners are taken once, for the box and for the count pass.
    fnd::chain<triangle>& tris = Index<triangle>::current();
    vector3<double> lo(1e10, 1e10, 1e10), hi(-1e10, -1e10, -1e10);
    double sum = 0.0;
    int count = 0, slots = 0;
    for (int t = tris.first(); t != -1; t = tris.nextOf(t)) {
        slots = std::max(slots, t + 1);
        Corners& k = corners_.emplace_back();
        k.ok = getABCforOcttree(t, k.a, k.b, k.c);
        if (!k.ok) continue;
        vector3<double> tlo = fnd::min(fnd::min(k.a, k.b), k.c), thi = fnd::max(fnd::max(k.a, k.b), k.c);
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
    minSize_ = octtree_rec::minSizeofCube = (max_ - min_).length() / 4096.0;
    filled_ = true;
    // The count pass: each triangle goes down the tree, which records the
    // cells it lands in (in a row per triangle) and counts them per cell.
    filling_ = true;
    bool inSlotOrder = true;
    size_t k = 0;
    for (int t = tris.first(); t != -1; t = tris.nextOf(t), ++k) {
        currentTriangle_ = t;
        fillMark_ = int(k);
        inSlotOrder = inSlotOrder && (fillOrder_.empty() || fillOrder_.back() < t);
        holderBegin_.push_back(int(holderCells_.size()));
        fillOrder_.push_back(t);
        const Corners& c = corners_[k];
        if (c.ok) askPiece(t, c.a, c.b, c.c, 0);
    }
    filling_ = false;
    currentTriangle_ = -1;
    // The fill pass: each cell's slice, the newest triangle first.
    cursor_.resize(cells_.size());
    int at = 0;
    for (size_t c = 0; c < cells_.size(); ++c) {
        cells_[c].begin_ = cursor_[c] = at;
        at += cells_[c].size_;
    }
    tris_.resize(size_t(at));
    holderBegin_.push_back(int(holderCells_.size()));
    for (size_t k = fillOrder_.size(); k-- > 0;)
        for (int n = holderBegin_[k]; n < holderBegin_[k + 1]; ++n)
            tris_[size_t(cursor_[size_t(holderCells_[size_t(n)])]++)] = fillOrder_[k];
    // Where each triangle's cells begin, by triangle slot.
    rows_.swap(holderBegin_);
    holderBegin_.assign(size_t(slots) + 1, 0);
    for (size_t k = 0; k < fillOrder_.size(); ++k)
        holderBegin_[size_t(fillOrder_[k]) + 1] = rows_[k + 1] - rows_[k];
    for (size_t k = 1; k < holderBegin_.size(); ++k) holderBegin_[k] += holderBegin_[k - 1];
    // The rows go in slot order (they are so already when the triangles
    // came in slot order).
    if (!inSlotOrder) {
        bySlot_.resize(holderCells_.size());
        for (size_t k = 0; k < fillOrder_.size(); ++k)
            std::copy(holderCells_.begin() + rows_[k], holderCells_.begin() + rows_[k + 1],
                      bySlot_.begin() + holderBegin_[size_t(fillOrder_[k])]);
        holderCells_.swap(bySlot_);
    }
    return 1;
}

void octtree::ask(Index<triangle> t, bool add) {
    if (t == -1 || root_ == -1) return;
    if (!add) {
        if (holders(t).empty()) return;
        ++edits_;
        std::vector<int> cells;
        cells.swap(editedHolders(t));
        for (int cell : cells) {
            unlist(cell, t);
            for (int c = cell; c != -1;) c = clean(c);
        }
        return;
    }
    if (!filled_) return;
    vector3<double> a, b, c;
    if (!getABCforOcttree(t, a, b, c)) return;
    if (!filling_) ++edits_;
    askPiece(t, a, b, c, 0);
}

// Takes t off the cell's list (the rest keep their order).
void octtree::unlist(int cell, int t) {
    if (size_t(cell) < added_.size()) {
        std::vector<int>& a = added_[size_t(cell)];
        auto it = std::find(a.rbegin(), a.rend(), t);
        if (it != a.rend()) {
            a.erase(std::next(it).base());
            return;
        }
    }
    octtree_rec& c = cells_[size_t(cell)];
    int* from = tris_.data() + c.begin_;
    int* to = from + c.size_;
    int* at = std::find(from, to, t);
    if (at == to) return;
    std::copy(at + 1, to, at);
    --c.size_;
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
    // The way down from the root is the same as the last triangle's as far
    // as the box lies inside the cells of that way (strictly below their
    // upper faces, so that no mid-plane above sends it elsewhere) and each
    // cell above is large enough to pass it on: the descent starts at the
    // deepest such cell.
    const double extent = 2 * largestExtent(lo, hi), smallest = 2 * octtree_rec::minSizeofCube;
    int level = pathLength_ - 1;
    for (; level > 0; --level) {
        const PathStep& at = path_[level];
        const PathStep& above = path_[level - 1];
        if (cells_[size_t(at.cell)].self == -1 || extent > above.size || above.size < smallest) continue;
        if (at.box.lo[0] <= lo.x && lo.x < at.box.hi[0] && hi.x <= at.box.hi[0] && at.box.lo[1] <= lo.y &&
            lo.y < at.box.hi[1] && hi.y <= at.box.hi[1] && at.box.lo[2] <= lo.z && lo.z < at.box.hi[2] &&
            hi.z <= at.box.hi[2])
            break;
    }
    if (level <= 0) {
        pathRecordFrom_ = 0;
        insert(root_, t, poly, Box(lo, hi), kDepth, Box(min_, max_), max_.x - min_.x, true);
    } else {
        pathRecordFrom_ = level;
        const PathStep start = path_[level];
        insert(start.cell, t, poly, Box(lo, hi), kDepth, start.box, start.size, true);
    }
}

void octtree::store(int cell, Index<triangle> t) {
    if (filling_) {
        // A triangle is listed once per cell: a cell keeps the mark of the
        // last triangle it listed.
        octtree_rec& c = cells_[size_t(cell)];
        if (c.mark_ == fillMark_) return;
        c.mark_ = fillMark_;
        ++c.size_;
        holderCells_.push_back(cell);
        return;
    }
    std::span<const int> in = holders(t);
    if (std::find(in.begin(), in.end(), cell) != in.end()) return;
    if (added_.size() < cells_.size()) added_.resize(cells_.size());
    added_[size_t(cell)].push_back(t);
    editedHolders(t).push_back(cell);
}

// A triangle (or a piece of one, given as a polygon) goes to the smallest
// cell that holds its box whole; one that straddles the middle of a cell is
// cut by the child boxes while splitting is allowed, else given whole to
// every child its box overlaps.
void octtree::insert(int cell, int t, const Poly& poly, const Box& bIn, int depth, const Box& c, double size,
                     bool split) {
    // Only the first cell can cut the box: the children it goes down into
    // hold it whole, so its extent stays the same on the way down.
    const double bx0 = bIn.lo[0] > c.lo[0] ? bIn.lo[0] : c.lo[0], by0 = bIn.lo[1] > c.lo[1] ? bIn.lo[1] : c.lo[1],
                 bz0 = bIn.lo[2] > c.lo[2] ? bIn.lo[2] : c.lo[2];
    const double bx1 = bIn.hi[0] < c.hi[0] ? bIn.hi[0] : c.hi[0], by1 = bIn.hi[1] < c.hi[1] ? bIn.hi[1] : c.hi[1],
                 bz1 = bIn.hi[2] < c.hi[2] ? bIn.hi[2] : c.hi[2];
    double e = bx1 - bx0;
    const double ey = by1 - by0, ez = bz1 - bz0;
    if (e < ey) e = ey;
    if (e < ez) e = ez;
    const double extent = 2 * e, smallest = 2 * octtree_rec::minSizeofCube;
    // Down through the cells that hold the box whole on one side of every
    // mid-plane (a loop: most of a triangle's way down is this). The sides
    // are bits (x the highest); the cell's box is kept in locals.
    double lx = c.lo[0], ly = c.lo[1], lz = c.lo[2], hx = c.hi[0], hy = c.hi[1], hz = c.hi[2];
    double cx, cy, cz;
    int above, below;
    // A triangle's own way down is kept for the next one (see askPiece).
    int record = pathRecordFrom_;
    pathRecordFrom_ = -1;
    for (;;) {
        if (record >= 0) {
            if (record < kPathSteps) {
                PathStep& at = path_[record];
                at.cell = cell;
                at.box.lo[0] = lx, at.box.lo[1] = ly, at.box.lo[2] = lz;
                at.box.hi[0] = hx, at.box.hi[1] = hy, at.box.hi[2] = hz;
                at.size = size;
                pathLength_ = ++record;
            } else {
                record = -1;
            }
        }
        if (extent > size || size < smallest) {
            store(cell, t);
            return;
        }
        cx = (lx + hx) / 2.0, cy = (ly + hy) / 2.0, cz = (lz + hz) / 2.0;
        const int ax = bx0 >= cx, ay = by0 >= cy, az = bz0 >= cz;
        const int ux = bx1 <= cx, uy = by1 <= cy, uz = bz1 <= cz;
        above = ax << 2 | ay << 1 | az;
        below = ux << 2 | uy << 1 | uz;
        if ((above | below) != 7) break;
        // A box on the plane itself counts as above it.
        int ch = cells_[size_t(cell)].children[above];
        if (ch == -1) {
            ch = newCell(cell);
            cells_[size_t(cell)].children[above] = ch;
        }
        cell = ch;
        lx = ax ? cx : lx, hx = ax ? hx : cx;
        ly = ay ? cy : ly, hy = ay ? hy : cy;
        lz = az ? cz : lz, hz = az ? hz : cz;
        size /= 2;
    }
    Box here;
    here.lo[0] = lx, here.lo[1] = ly, here.lo[2] = lz, here.hi[0] = hx, here.hi[1] = hy, here.hi[2] = hz;
    const double centre[3] = {cx, cy, cz};
    // Per axis: 1 above the mid-plane, 0 below, -1 across.
    int side[3];
    for (int a = 0; a < 3; ++a) {
        const int up = above >> (2 - a) & 1, down = below >> (2 - a) & 1;
        side[a] = up - (1 - up) * (1 - down);
    }
    if (split && depth > 0) {
        // The pieces of the polygon in the children it reaches: it is cut
        // by each mid-plane it straddles in turn (x, then y, then z; the
        // polygon lies in this cell, so no other plane cuts it), the two
        // halves of a cut sharing what came before; the children go in
        // the order of their slots.
        Cut cut;
        cut.cell = cell;
        cut.t = t;
        cut.depth = depth;
        cut.c = &here;
        cut.centre = centre;
        cut.size = size;
        cut.scratch = pieces_[depth];
        for (int a = 0; a < 3; ++a) {
            cut.half[a] = side[a];
            cut.axes[cut.cuts] = a;
            cut.cuts += side[a] == -1;
        }
        insertPieces(cut, poly, 0);
    } else {
        const Box b(vector3<double>(bx0, by0, bz0), vector3<double>(bx1, by1, bz1));
        for (int k = 0; k < 8; ++k) {
            const int i = k >> 2, j = k >> 1 & 1, l = k & 1;
            if ((side[0] != -1 && side[0] != i) || (side[1] != -1 && side[1] != j) || (side[2] != -1 && side[2] != l))
                continue;
            const Box child = here.child(centre, k);
            if (!(b.lo[0] <= child.hi[0] && b.hi[0] >= child.lo[0] && b.lo[1] <= child.hi[1] &&
                  b.hi[1] >= child.lo[1] && b.lo[2] <= child.hi[2] && b.hi[2] >= child.lo[2]))
                continue;
            const int ch = childIn(cell, k);
            insert(ch, t, poly, b, depth, child, size / 2, false);
        }
    }
    // Mostly the cell has children now; only one left empty goes.
    const octtree_rec& r = cells_[size_t(cell)];
    if (r.size_ == 0 && std::all_of(r.children, r.children + 8, [](int ch) { return ch == -1; })) clean(cell);
}

void octtree::insertPieces(Cut& cut, const Poly& from, int level) {
    if (level == cut.cuts) {
        Box b;
        double x0 = from.p[0][0], y0 = from.p[0][1], z0 = from.p[0][2], x1 = x0, y1 = y0, z1 = z0;
        for (int q = 1; q < from.n; ++q) {
            const double x = from.p[q][0], y = from.p[q][1], z = from.p[q][2];
            x0 = x0 < x ? x0 : x;
            x1 = x1 > x ? x1 : x;
            y0 = y0 < y ? y0 : y;
            y1 = y1 > y ? y1 : y;
            z0 = z0 < z ? z0 : z;
            z1 = z1 > z ? z1 : z;
        }
        b.lo[0] = x0, b.lo[1] = y0, b.lo[2] = z0, b.hi[0] = x1, b.hi[1] = y1, b.hi[2] = z1;
        const int k = (cut.half[0] * 2 + cut.half[1]) * 2 + cut.half[2];
        const int ch = childIn(cut.cell, k);
        insert(ch, cut.t, from, b, cut.depth - 1, cut.c->child(cut.centre, k), cut.size / 2, true);
        return;
    }
    const int axis = cut.axes[level];
    Poly(&halves)[2] = cut.scratch[level];
    splitPolygon(from.p, from.n, axis, cut.centre[axis], halves[0].p, halves[0].n, halves[1].p, halves[1].n);
    for (int h = 0; h < 2; ++h) {
        if (halves[h].n == 0) continue;
        cut.half[axis] = h;
        insertPieces(cut, halves[h], level + 1);
    }
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
        // The score is at least t: a plane met at best or beyond cannot
        // win, and its coordinates are not worked out (meetTriangle's steps).
        const vector3<double> n = (b - a) % (c - a);
        const double nn = n * n;
        if (!(nn > 0)) return;
        const double nd = n * d;
        if (std::fabs(nd) < 1e-10 * std::sqrt(nn)) return;
        const double tt = (n * (a - P)) / nd;
        if (!(tt < best)) return;
        const vector3<double> h = P + d * tt;
        const vector3<double> ha = a - h, hb = b - h, hc = c - h;
        const vector3<double> w = vector3<double>((hb % hc) * n, (hc % ha) * n, (ha % hb) * n) / nn;
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
    LineRanking r;
    r.P = P;
    r.d = d;
    walkSteps_ = 0;
    newQuery();
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
    RayRanking r;
    r.P = P;
    r.d = u;
    r.tMin = tMin;
    r.accept = accept;
    walkSteps_ = 0;
    newQuery();
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

void octtree::newQuery() const {
    const size_t slots = size_t(Index<triangle>::current().pool() ? Index<triangle>::current().pool()->size() : 0);
    if (testedIn_.size() < slots) testedIn_.resize(slots, 0);
    if (++query_ == 0) {
        std::fill(testedIn_.begin(), testedIn_.end(), 0);
        query_ = 1;
    }
}

template <class Ranking>
void octtree::walk(Index<octtree_rec> cell, const vector3<double>& cmin, const vector3<double>& cmax,
                   const cubeSection& in, const cubeSection& out, Ranking& r) const {
    if (++walkSteps_ > kMaxWalkSteps) return;
    const octtree_rec& c = cells_[size_t(int(cell))];
    // Newest first: the triangles added since the fill, then the slice.
    const std::vector<int>* added = size_t(int(cell)) < added_.size() ? &added_[size_t(int(cell))] : nullptr;
    const int extra = added ? int(added->size()) : 0, total = extra + c.size_;
    const int* slice = tris_.data() + c.begin_;
    // The cell's triangles are fetched together, then their corners, so
    // that the memory waits overlap (picking runs on every mouse move).
    constexpr int kBatch = 16;
    int batch[kBatch];
    const triangle* tris[kBatch];
    for (int n = 0; n < total;) {
        int m = 0;
        for (; n < total && m < kBatch; ++n) batch[m++] = n < extra ? (*added)[size_t(extra - 1 - n)] : slice[n - extra];
        // A triangle this query tested in an earlier cell is passed over
        // (it still counts as a step).
        for (int k = 0; k < m; ++k) {
            const size_t t = size_t(batch[k]);
            if (t < testedIn_.size() && testedIn_[t] == query_) {
                tris[k] = nullptr;
                continue;
            }
            if (t < testedIn_.size()) testedIn_[t] = query_;
            tris[k] = &Index<triangle>(batch[k]).data();
            __builtin_prefetch(tris[k]);
        }
        for (int k = 0; k < m; ++k) {
            if (!tris[k]) continue;
            const triangle& tr = *tris[k];
            if (tr.a == -1 || tr.b == -1 || tr.c == -1) continue;
            __builtin_prefetch(&tr.a.data().position);
            __builtin_prefetch(&tr.b.data().position);
            __builtin_prefetch(&tr.c.data().position);
        }
        for (int k = 0; k < m; ++k) {
            if (++walkSteps_ > kMaxWalkSteps) return;
            if (!tris[k]) continue;
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
        const int ch = c.children[(oi[0] * 2 + oi[1]) * 2 + oi[2]];
        if (ch != -1) {
            vector3<double> lo, hi;
            childBox(cmin, centre, cmax, oi[0], oi[1], oi[2], lo, hi);
            walk(ch, lo, hi, in, out, r);
        }
        return;
    }
    for (int ch : c.children)
        if (ch != -1) __builtin_prefetch(&cells_[size_t(ch)]);
    bool valid[3];
    double ts[3];
    getSections(P, d, centre, valid, ts);
    cubeSection pts[5];
    int n = 0;
    pts[n++] = in;
    for (int a = 0; a < 3; ++a)
        if (valid[a] && ts[a] > in.t && ts[a] < out.t) pts[n++] = cubeSection{ts[a], P + d * ts[a]};
    pts[n++] = out;
    // By t, as std::sort orders so few: an insertion sort, a section less
    // than the first going to the front, else past every one it is not less
    // than.
    for (int i = 1; i < n; ++i) {
        const cubeSection v = pts[i];
        int j = i;
        if (v.t < pts[0].t)
            for (; j > 0; --j) pts[j] = pts[j - 1];
        else
            for (; j > 0 && v.t < pts[j - 1].t; --j) pts[j] = pts[j - 1];
        pts[j] = v;
    }
    for (int k = 0; k + 1 < n; ++k) {
        if (!(pts[k].t < r.bound())) return;
        int o[3];
        octant((pts[k].p + pts[k + 1].p) / 2.0, o);
        const int ch = c.children[(o[0] * 2 + o[1]) * 2 + o[2]];
        if (ch == -1) continue;
        vector3<double> lo, hi;
        childBox(cmin, centre, cmax, o[0], o[1], o[2], lo, hi);
        walk(ch, lo, hi, pts[k], pts[k + 1], r);
    }
}
