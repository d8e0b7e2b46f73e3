#pragma once
// Spatial index of a head's triangles: which triangle a ray meets first.
// Triangles are indexed slightly enlarged (10 % about their centroid), split
// into pieces while they are large, and sink to the smallest cell that holds
// them whole; the walk visits cells front to back along the ray.
//
// Every operation works on the current pools (the current head's vertices
// and triangles).

#include <unordered_map>
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

    // Inspection, for tests and benchmarks.
    Index<octtree_rec> root() const { return root_; }
    const commonchain<octtree_rec>& cellChain() const { return cells_; }
    bool filled() const { return filled_; }
    double sizeThreshold() const { return sizeThreshold_; }
    // Every cell that lists t.
    std::vector<int> cellsHolding(Index<triangle> t) const;
    // Cells visited and triangles tested by the last getfirst.
    int lastWalkSteps() const { return walkSteps_; }

    // A walk stops after this many cells and triangle tests, whatever the
    // head (a head thrown apart by a bad fit holds cells of thousands of
    // long triangles); a sane head needs a few hundred.
    static constexpr int kMaxWalkSteps = 1 << 14;

    static inline Index<octtree_rec> actual_tree = -1;
    static inline octtree* actual_octtree = nullptr;

private:
    struct Poly {
        vector3<double> p[12];
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
    void walk(Index<octtree_rec> cell, const vector3<double>& cmin, const vector3<double>& cmax,
              const cubeSection& in, const cubeSection& out, const vector3<double>& P,
              const vector3<double>& d, double& best, Index<triangle>& bestT, vector3<double>& bestB,
              vector3<double>& bestHit) const;

    commonchain<octtree_rec> cells_;
    commonlistindex<triangle> triangleList_;  // always empty
    vector3<double> min_, max_;
    Index<octtree_rec> root_ = -1;
    double sizeThreshold_ = 10.0;
    bool filled_ = false;
    // The cells that list each triangle, so a triangle leaves exactly the
    // cells it was put into even when its vertices moved since.
    std::unordered_map<int, std::vector<int>> holders_;
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
