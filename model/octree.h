#pragma once
// Spatial index of a head's triangles: which triangle a ray meets first.
// Triangles are indexed slightly enlarged (10 % about their centroid), split
// into pieces while they are large, and sink to the smallest cell that holds
// them whole; the walk visits cells front to back along the ray.
//
// Every operation works on the current pools (the current head's vertices
// and triangles).

#include <functional>
#include <vector>

#include "model/elements.h"

class octtree_rec {
public:
    explicit octtree_rec(int self = -1) { set(self, -1); }
    void set(Index<octtree_rec> self_, Index<octtree_rec> parent_) {
        self = self_;
        parent = parent_;
    }
    bool operator==(const octtree_rec& o) const { return self == o.self; }

    Index<octtree_rec>& child(int i, int j, int k) { return children[(i * 2 + j) * 2 + k]; }

    // Cells whose edge is below twice this are not divided (set by fill).
    static inline double minSizeofCube = 0.0;

    Index<octtree_rec> children[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    Index<octtree_rec> parent = -1;
    Index<octtree_rec> self = -1;
    commonlistindex<triangle> triangles;  // newest first
};

// A point where a ray enters or leaves a cell.
struct cubeSection {
    double t = 0.0;
    vector3<double> p;
};

// Which triangles a ray query may return.
using TriangleFilter = std::function<bool(Index<triangle>)>;

class octtree {
public:
    octtree();
    ~octtree();
    octtree(const octtree&) = delete;
    octtree& operator=(const octtree&) = delete;

    void set_actual();
    // Rebuilds the tree from the current head's triangles; 0 (and an empty
    // tree) for a flat head.
    int fill();
    // Adds or removes one triangle; -1 is ignored.
    void ask(Index<triangle> t, bool add);
    // The first triangle met by the line P + t d (t may be negative), with
    // the barycentric coordinates of the hit (and the hit point); -1 when
    // none.
    Index<triangle> getfirst(const vector3<double>& P, const vector3<double>& d, vector3<double>* bary,
                             vector3<double>* hit = nullptr) const;
    // The first triangle met on the ray from P along d: only hits at a
    // distance of at least -tolerance along the ray count (a start on the
    // surface finds its own triangle). A triangle the ray meets comes before
    // every near-miss (a smallest coordinate from -0.01 to 0); near-misses
    // rank by distance plus 100 x their miss, in units of length, so the
    // answer does not depend on the length of d. -1 when none.
    Index<triangle> getfirstOnRay(const vector3<double>& P, const vector3<double>& d, double tolerance,
                                  vector3<double>* bary, vector3<double>* hit = nullptr,
                                  const TriangleFilter* accept = nullptr) const;
    // The triangle that the line through P along d meets nearest to P, on
    // either side, ranked as by getfirstOnRay on each side. -1 when none.
    Index<triangle> getnearest(const vector3<double>& P, const vector3<double>& d, vector3<double>* bary,
                               vector3<double>* hit = nullptr, const TriangleFilter* accept = nullptr) const;

    // Inspection, for tests and benchmarks.
    Index<octtree_rec> root() const { return root_; }
    const commonchain<octtree_rec>& cellChain() const { return cells_; }
    bool filled() const { return filled_; }
    double sizeThreshold() const { return sizeThreshold_; }
    // Every cell that lists t.
    std::vector<int> cellsHolding(Index<triangle> t) const;
    // Cells visited and triangles tested by the last query.
    int lastWalkSteps() const { return walkSteps_; }

    // A walk stops after this many cells and triangle tests, whatever the
    // head (a head thrown apart by a bad fit holds cells of thousands of
    // long triangles); a sane head needs a few hundred.
    static constexpr int kMaxWalkSteps = 1 << 14;

    static inline Index<octtree_rec> actual_tree = -1;
    static inline octtree* actual_octtree = nullptr;

private:
    // A piece of a triangle: a convex polygon of plain points (left
    // uninitialised: it is copied and clipped many times while filling).
    struct Poly {
        double p[12][3];
        int n = 0;
    };
    void kill(Index<octtree_rec> cell);
    Index<octtree_rec> clean(Index<octtree_rec> cell);
    Index<octtree_rec> childOf(Index<octtree_rec> cell, int i, int j, int k, bool create);
    void askPiece(Index<triangle> t, const vector3<double>& v1, const vector3<double>& v2,
                  const vector3<double>& v3, int halvings);
    void insert(Index<octtree_rec> cell, Index<triangle> t, const Poly& poly, vector3<double> bmin,
                vector3<double> bmax, int depth, const vector3<double>& cmin, const vector3<double>& cmax,
                double size, bool split);
    void store(Index<octtree_rec> cell, Index<triangle> t);
    // Walks the cells along the ray front to back; the ranking decides which
    // triangle is best and where the walk may stop.
    template <class Ranking>
    void walk(Index<octtree_rec> cell, const vector3<double>& cmin, const vector3<double>& cmax,
              const cubeSection& in, const cubeSection& out, Ranking& r) const;
    struct RayHit {
        Index<triangle> tri = -1;
        bool exact = false;   // every coordinate at least 0
        double t = 0.0;       // along the unit direction
        double score = 0.0;   // t, or t + 100 x the miss of a near-miss
        vector3<double> bary, hit;
    };
    RayHit firstOnRay(const vector3<double>& P, const vector3<double>& u, double tMin,
                      const TriangleFilter* accept) const;
    // The ray's entry and exit of the root cube (false when it misses it).
    bool rootSection(const vector3<double>& P, const vector3<double>& d, cubeSection& in, cubeSection& out) const;

    commonchain<octtree_rec> cells_;
    commonlistindex<triangle> triangleList_;  // always empty
    vector3<double> min_, max_;
    Index<octtree_rec> root_ = -1;
    double sizeThreshold_ = 10.0;
    bool filled_ = false;
    // The cells that list each triangle, so a triangle leaves exactly the
    // cells it was put into even when its vertices moved since.
    // (indexed by triangle slot; the lists keep their room across fills).
    std::vector<std::vector<int>> holders_;
    mutable int walkSteps_ = 0;
};

// The triangle's corners as the tree sees them: moved 10 % away from the
// centroid. False when a corner is missing.
bool getABCforOcttree(Index<triangle> t, vector3<double>& a, vector3<double>& b, vector3<double>& c);

// The current head's tree (null when there is none).
octtree* current_octtree();
void add_triangle_to_octtree(Index<triangle> t);
void remove_triangle_from_octtree(Index<triangle> t);

// The box of child [i][j][k] of the cell cmin..cmax with the given centre.
void minmax(const vector3<double>& cmin, const vector3<double>& centre, const vector3<double>& cmax, int i, int j,
            int k, vector3<double>& childMin, vector3<double>& childMax);
// Ray parameters of the crossings with the three axis planes through
// planePoint; valid is false for an axis the ray runs along.
void getSections(const vector3<double>& P, const vector3<double>& d, const vector3<double>& planePoint,
                 bool valid[3], double t[3]);
