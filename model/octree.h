#pragma once
// Spatial index of a head's triangles: which triangle a ray meets first.
// Triangles are indexed slightly enlarged (10 % about their centroid), split
// into pieces while they are large, and sink to the smallest cell that holds
// them whole; the walk visits cells front to back along the ray.
//
// Every operation works on the current pools (the current head's vertices
// and triangles).

#include <cstdint>
#include <functional>
#include <span>
#include <unordered_map>
#include <vector>

#include "model/elements.h"

class octtree;

// One cell of the tree. The cells of a tree lie in one flat array and each
// lists its triangles as a slice of one flat array of triangle indices
// (filled by a count pass and then a fill pass), so a fill allocates
// nothing once the arrays have grown.
class octtree_rec {
public:
    // Cells whose edge is below twice this are not divided (set by fill).
    static inline double minSizeofCube = 0.0;

    // The triangles stored at the cell, newest first; n runs from first()
    // with nextOf(n) to -1.
    class Triangles {
    public:
        int first() const { return count() > 0 ? 0 : -1; }
        int nextOf(int n) const { return n + 1 < count() ? n + 1 : -1; }
        int count() const;
        Index<triangle> operator[](int n) const;

    private:
        friend class octtree;
        const octtree* tree_ = nullptr;
        int cell_ = -1;
    };

    Index<octtree_rec> child(int i, int j, int k) const { return children[(i * 2 + j) * 2 + k]; }

    int children[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int parent = -1;
    int self = -1;  // -1 once the cell is gone
    Triangles triangles;

private:
    friend class octtree;
    int begin_ = 0, size_ = 0;  // its slice of the tree's triangle array
    int mark_ = -1;              // the last triangle a fill listed here
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

    // The live cells, walked as a chain: from first() with nextOf(c) to -1.
    class Cells {
    public:
        int first() const { return nextFrom(0); }
        int nextOf(int c) const { return nextFrom(c + 1); }
        int count() const { return live_; }
        const octtree_rec& operator[](int c) const { return (*cells_)[size_t(c)]; }

    private:
        friend class octtree;
        int nextFrom(int c) const;
        const std::vector<octtree_rec>* cells_ = nullptr;
        int live_ = 0;
    };

    // Inspection, for tests and benchmarks.
    Index<octtree_rec> root() const { return root_; }
    const Cells& cellChain() const { return cellList_; }
    bool filled() const { return filled_; }
    double sizeThreshold() const { return sizeThreshold_; }
    // Every cell that lists t.
    std::vector<int> cellsHolding(Index<triangle> t) const;
    // Cells visited and triangles tested by the last query.
    int lastWalkSteps() const { return walkSteps_; }
    // Raised by every triangle added or removed after a fill (a tree kept
    // up to date by edits is not the tree a fill of the same head makes).
    int edits() const { return edits_; }
    // The cell size limit of this tree's last fill (the static is shared).
    double minimalCellSize() const { return minSize_; }

    // A walk stops after this many cells and triangle tests, whatever the
    // head (a head thrown apart by a bad fit holds cells of thousands of
    // long triangles); a sane head needs a few hundred.
    static constexpr int kMaxWalkSteps = 1 << 14;

    static inline Index<octtree_rec> actual_tree = -1;
    static inline octtree* actual_octtree = nullptr;

private:
    friend class octtree_rec::Triangles;
    // A piece of a triangle: a convex polygon of plain points (left
    // uninitialised: it is copied and clipped many times while filling).
    struct Poly {
        double p[18][3];  // 15 at most (3 corners, one more per cut); a split writes past its points
        int n = 0;
    };
    int newCell(int parent);
    int clean(int cell);
    // The child in slot (i * 2 + j) * 2 + k, made when missing.
    int childIn(int cell, int slot);
    void askPiece(Index<triangle> t, const vector3<double>& v1, const vector3<double>& v2,
                  const vector3<double>& v3, int halvings);
    // An axis-aligned box.
    struct Box {
        double lo[3], hi[3];
        Box() = default;
        Box(const vector3<double>& l, const vector3<double>& h) : lo{l.x, l.y, l.z}, hi{h.x, h.y, h.z} {}
        // The child box in slot k (x the highest bit) about the centre.
        Box child(const double* centre, int k) const {
            Box out;
            // Picked by index, not by branches: the slots come in no
            // order a processor could guess.
            for (int a = 0; a < 3; ++a) {
                const int upper = k >> (2 - a) & 1;
                const double v[3] = {lo[a], centre[a], hi[a]};
                out.lo[a] = v[upper];
                out.hi[a] = v[1 + upper];
            }
            return out;
        }
    };
    void insert(int cell, int t, const Poly& poly, const Box& b, int depth, const Box& c, double size, bool split);
    // A polygon being cut by the mid-planes of the given axes of a cell
    // into the pieces its children get.
    struct Cut {
        int cell = -1, t = -1, depth = 0, cuts = 0;
        int axes[3] = {0, 0, 0}, half[3] = {0, 0, 0};
        const Box* c = nullptr;
        const double* centre = nullptr;
        double size = 0.0;
        Poly (*scratch)[2] = nullptr;
    };
    void insertPieces(Cut& cut, const Poly& poly, int level);
    // The cells the last whole triangle (or halved piece) went down
    // through from the root, with their boxes and sizes.
    struct PathStep {
        int cell = -1;
        Box box;
        double size = 0.0;
    };
    static constexpr int kPathSteps = 64;
    PathStep path_[kPathSteps];
    int pathLength_ = 0;
    int pathRecordFrom_ = -1;  // where the next descent's cells go in path_
    int fillMark_ = -1;        // the triangle being filled, as the cells mark it
    void store(int cell, Index<triangle> t);
    int cellCount(int cell) const;
    // The cells that list t (in the order it went into them).
    std::span<const int> holders(int t) const;
    std::vector<int>& editedHolders(int t);
    void unlist(int cell, int t);
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

    std::vector<octtree_rec> cells_;
    Cells cellList_;
    // The cells' slices, each newest first.
    std::vector<int> tris_;
    // Triangles added after the fill, per cell, oldest first (they come
    // before the cell's slice).
    std::vector<std::vector<int>> added_;
    // While filling, the cells that list each triangle in the order of the
    // triangles (each triangle's cells in a row), and where each triangle's
    // row begins (by triangle slot); edits keep their own lists.
    std::vector<int> holderCells_, holderBegin_, fillOrder_;
    // Scratch of a fill: each triangle's corners as the tree sees them, and
    // where each cell's slice is filled up to.
    struct Corners {
        vector3<double> a, b, c;
        bool ok = false;
    };
    std::vector<Corners> corners_;
    std::vector<int> cursor_, rows_, bySlot_;
    // The pieces of a cut polygon, by the depth it may still be cut to.
    Poly pieces_[5][3][2];
    std::unordered_map<int, std::vector<int>> edited_;
    bool filling_ = false;
    int currentTriangle_ = -1;
    int edits_ = 0;
    double minSize_ = 0.0;
    commonlistindex<triangle> triangleList_;  // always empty
    vector3<double> min_, max_;
    Index<octtree_rec> root_ = -1;
    double sizeThreshold_ = 10.0;
    bool filled_ = false;
    mutable int walkSteps_ = 0;
    // The query each triangle slot was last tested in: a triangle listed in
    // several cells that a ray crosses is tested once (a test gives the same
    // answer each time, and the ranking keeps the first of equals).
    mutable std::vector<uint32_t> testedIn_;
    mutable uint32_t query_ = 0;
    void newQuery() const;
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
