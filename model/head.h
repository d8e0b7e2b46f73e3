#pragma once
// The two containers of the model: head3, the 3D head, and head2, the 2D
// feature set marked on the photo. Each owns one chain per element type over
// the shared pools; set_actual() makes a container the current one, through
// which the element queries reach their elements.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "seams/app.h"
#include "foundation/use.h"
#include "model/elements.h"

using fnd::commonchain_of_named_instance;

struct StoredNumbers;

// The head's texture picture: width x height RGB bytes, rows in order.
struct TextureImage {
    TextureImage();
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    // Moves on with every change of the texels or the size (Changed()). A
    // new texture takes a count no texture had before, a copy its
    // original's: one count, one picture. What is made from the texels (the
    // 3D view's upload, its 512 reduction) keeps the count it was made at;
    // an address says nothing, as a new texture may land where an old one
    // was.
    uint64_t changeCount() const { return changeCount_; }
    void Changed();

private:
    uint64_t changeCount_;
};

class head3 : public named_instance {
public:
    static constexpr const char* word = "AllOfEditedData3D";

    head3();
    ~head3();
    head3(const head3&) = delete;
    head3& operator=(const head3&) = delete;

    void set_actual();

    // Lookups by name on this head. An empty name adds a new element with
    // the default name; used marks the element as placed on the head.
    Index<featurepoint3> addFeaturepoint(const char* name, bool used);
    Index<featurepoint3> getFeaturepoint(const char* name, bool onlyUsed) const;
    Index<featureline3> addFeatureline(const char* name, bool used);
    Index<featureline3> getFeatureline(const char* name, bool onlyUsed) const;
    Index<region> addRegion(const char* name, bool used);
    Index<region> getRegion(const char* name, bool onlyUsed) const;

    // Bounding box over the vertices and edit points; re-centres heads of
    // old files when asked.
    void SetMinMax(bool moveToCenter);
    // Moves the region "whole_head" (every vertex once).
    void traf(Strafo3& t);

    // The head section in the model text format (always version 3, text),
    // with the given Group, Material and TxtCoordinate tables (null: the
    // document's).
    void write(fileTB& f, const svc::FaceTables* tables = nullptr) const;
    // Reads a head section and assembles the head (permutation, links,
    // the elements of the feature tables, weights, box). A stream that
    // fails, or a file whose references do not hold, leaves the stream
    // failed and the head empty with status 0.
    head3& read(fileTB& f, bool moveToCenter);
    // The header and the lists alone, as the file holds them (no
    // assembling); returns the file's permutation number.
    int read_text(fileTB& f);
    void read_version2(fileTB& f);
    // Empties every element chain (the reserved edit points stay).
    void clear();
    // Right after reading beside another head, which has gone since: the
    // elements move into the slots their file named where those are free
    // now, and every reference follows, so that the head is numbered as
    // its file. The work points go back to slots 0 and 1 when free.
    void settle();

    // Where a read puts the file's tables (null: the document's), so that a
    // head can be read beside the open project without touching it.
    svc::FaceTables* tablesTarget = nullptr;
    bool noTopology = false;
    int status = 0;
    commonchain<vertex> vertices;
    commonchain<triangle> triangles;
    commonchain<extrapoint> reserved;  // the two work points, never written
    commonchain<extrapoint> extrapoints;
    commonchain_of_named_instance<featurepoint3> featurepoints;
    commonchain_of_named_instance<featureline3> featurelines;
    commonchain<area> areas;
    commonchain_of_named_instance<featurecolor> colors;
    commonchain_of_named_instance<region> regions;
    vector3<double> weightPoint;
    vector3<double> boxMin, boxMax;
    double weight = 0.0;
    double extent = 0.0;
    int integers[2] = {3, 1};
    std::unique_ptr<TextureImage> texture;         // the full texture
    std::unique_ptr<TextureImage> reducedTexture;  // 512 x 512 for display
    int keepLooseVertices = 0;
    double scale = 1.0;
    vector3<double> offset;
    int secondFlag = 0;
    bool mirrored = false;
    fnd::CArray_NxM<float> mask;
    vector3<double> lastCentre;
    double lastRadius = 0.0;
    dynarray<fnd::Save_TRI> saved{0, 10, 1.25, 0.33};

    // members defined in readhead.cpp, oldlayout.cpp, morph.cpp, topology.cpp, octree.cpp
    // After reading: the colours of the feature tables, the rebuilt links,
    // the table's regions, lines and points, weights and box.
    void pre_read();
    bool post_read(bool moveToCenter);
    void post2_read();
    void prepost_read();
    // Each code 0..7 for the old x, y, z (see readhead.cpp).
    void permutate(int px, int py, int pz);
    void set_weights();
    int SetMinMaxOctree(bool moveToCenter);
    // Removes every area without triangles; 1 when one went.
    int cleanAreas();
    // Old layouts: a PHS stream, or the arrays of the OBJ importer.
    struct PNT { float v[7]; };
    struct TRI { int v[9]; };
    head3& readPHS(fileTB& f);
    head3& read_version1(fileTB& f, int nV, int nT, const PNT* pnt, const TRI* tri);
    // The head's triangle octree (built on first use). After vertices moved,
    // OctreeMoved() has it filled again at its next use: a morph step costs
    // far less than a fill, and several steps may come before a query.
    struct octtreeDeleter { void operator()(class octtree* t) const; };
    class octtree& octree();
    void OctreeMoved() {
        octreeStale_ = true;
        Changed();
    }
    bool octreeStale() const { return octreeStale_; }
    // The octree, filled from this head's triangles when it is not yet.
    class octtree& filledOctree() const;
    std::unique_ptr<class octtree, octtreeDeleter> octree_;
    bool octreeStale_ = false;
    // end of those members

    // members defined in head_change.cpp
    // The change count moves on with every change that what is built from
    // the head depends on: vertices moved, triangles made, removed or given
    // other corners, texture coordinates or groups changed, the head read
    // again. No two heads share a count. The octree, the vertex normals and
    // the views' display lists keep the count they were built at and are
    // built again only when it has moved.
    uint64_t changeCount() const { return changeCount_; }
    // The geometry count moves on with the changes of vertices and
    // triangles alone (Changed()), not with those of texture coordinates
    // (TextureChanged()): what is built from the shape alone (the octree,
    // the vertex normals, a list drawn without texture) keeps it.
    uint64_t geometryCount() const { return geometryCount_; }
    void Changed();
    void TextureChanged();
    // normalvector of every vertex, by vertex slot, made once per geometry
    // count. The head must be the current one.
    const std::vector<vector3<double>>& vertexNormals();
    // Whether built (a count taken with builtAt) is this head's present
    // count. Builds with assertions also check that the head is the same as
    // when its count was first built from, and stop the program on a change
    // that did not move the count.
    bool unchangedSince(uint64_t built, const char* what) const;
    uint64_t builtAt() const;
    // The same for the geometry count.
    bool geometryUnchangedSince(uint64_t built, const char* what) const;
    uint64_t geometryBuiltAt() const;
    // What a build was made from: the two counts, and hashes of the shape
    // (vertex slots and positions with their triangle fans, triangle slots
    // and corners) and of the triangles' texture coordinates and groups.
    struct BuildStamp {
        uint64_t count = 0, geometryCount = 0, shape = 0, texture = 0;
    };
    // The stamp of a build made now (each hash made once per count).
    BuildStamp stampNow() const;
    // Whether a build stamped b would come out the same now: made from the
    // shape alone (the octree, the normals, a lit list), or from the shape
    // and the texture coordinates (a textured list). So it is when the
    // count has not moved (checked as geometryUnchangedSince and
    // unchangedSince do), or when the hashes are the same: the same head
    // read again, or a change that left what the build reads as it was.
    bool sameGeometry(const BuildStamp& b, const char* what) const;
    bool sameGeometryAndTexture(const BuildStamp& b, const char* what) const;
    // The octree and the vertex normals of a head, taken before it goes
    // (while its elements are still there), for the head that replaces it.
    struct Builds {
        std::unique_ptr<class octtree, octtreeDeleter> octree;
        BuildStamp octreeStamp;
        int octreeEdits = -1;
        std::vector<vector3<double>> normals;
        BuildStamp normalsStamp;
    };
    Builds releaseBuilds();
    // Keeps what a head gave up when this head would build it the same.
    void adoptBuilds(Builds&& old);
    // end of those members

    // members defined in surface.cpp, intervals.cpp, refine.cpp, gather.cpp, brush.cpp, mirror.cpp, cut.cpp
    bool ProjectOnHeadTowardDirection(const vector3<double>& p, const vector3<double>& d, Index<triangle>* t,
                                      vector3<double>* bary) const;
    vector3<double> getBasePoint(const vector3<double>& p, extrapoint* e);
    bool ProjectOnHead(double t, const spline3D& s, const dynarray<vector3<double> >& directions,
                       Index<triangle>* hit, vector3<double>* bary) const;
    // The same onto the triangles that accept takes (all when null).
    bool ProjectOnHead(double t, const spline3D& s, const dynarray<vector3<double> >& directions,
                       Index<triangle>* hit, vector3<double>* bary,
                       const std::function<bool(Index<triangle>)>* accept) const;
    vector3<double> GetMirrorPoint(vector3<double>* p, vector3<double>* reference);
    int gatherTriangles2(vector3<double> centre, double radius);
    int Save_gatheredTriangles();
    int LoadSaved_gatheredTriangles();
    void DeleteSaved_gatheredTriangles();
    void ModifOctree_by_gatheredTriangles();
    void UpdateFeaturePoints();
    int BuildMirror();
    void gatherTriangles(Index<featureline3> line, Index<triangle> start);
    Index<triangle> triangleInside(Index<featureline3> line, bool useSurface) const;
    int generateRegion(Index<region> r);
    int generateRegion(Index<region> r, Index<featureline3> line, Index<triangle> start);
    bool TriangulizationOfSubInterval(generalpoint3& gp, double t0, double t1, const spline3D& s,
                                      const dynarray<vector3<double> >& normals, dynarray<Index<vertex> >* inserted,
                                      pointConversionMode mode);
    int MakeNonExtrem(Index<featureline3> line, double minLength);
    int MakeFix(Index<featureline3> line, pointConversionMode mode, double minLength);
    // Every point of the line becomes rubber (the closing duplicate of a
    // closed line shares the first point's edit point again); 1 on success.
    int MakeRubber(Index<featureline3> line);
    // The vertices of the gathered triangles whose triangles are all
    // gathered, in chain order; their number.
    int gatherVertices(dynarray<Index<vertex> >* out) const;
    // After triangles went: the areas left without triangles go, and the
    // regions left without areas that no feature table names; every area's
    // region list is put in order again. 1 when something went.
    int cleanRegions();
    Index<featureline3> cutBySurface();
    bool cutBySurface(Index<featureline3>& line, vector3<double> origin, vector3<double> a, vector3<double> b,
                      double (*f)(const vector2<double>&));
    // end of those members

private:
    static uint64_t nextChangeCount();
    // What the builds are made from: with the texture coordinates and
    // groups, or the shape alone.
    uint64_t fingerprint(bool withTexture) const;
    uint64_t textureFingerprint() const;
    uint64_t changeCount_ = nextChangeCount();
    uint64_t geometryCount_ = changeCount_;
    std::vector<vector3<double>> normals_;
    BuildStamp normalsStamp_;
    BuildStamp octreeStamp_;  // the last fill
    int octreeEditsAt_ = -1;
    // The octree of the head this one replaced, for its first fill.
    std::unique_ptr<class octtree, octtreeDeleter> adoptedOctree_;
    BuildStamp adoptedStamp_;
    mutable uint64_t shapeHashAt_ = 0, shapeHash_ = 0, textureHashAt_ = 0, textureHash_ = 0;
    mutable uint64_t fingerprintAt_ = 0, fingerprint_ = 0;
    mutable uint64_t shapeFingerprintAt_ = 0, shapeFingerprint_ = 0;
    // Fills the octree unless it holds what a fill would give.
    int fillOctree();

    void postset();
    // The numbers of the last read, for settle().
    std::unique_ptr<StoredNumbers> stored_;
    // Moves this head's reserved edit point out of slot i (a file names it).
    void moveReservedFrom(int i);
    bool readLists(fileTB& f);
    static void readTables(fileTB& f, svc::FaceTables& tables, const int (&counts)[3]);
    // Whether every index in the lists names an element of this head
    // (txtCount < 0: texture rows are not checked), mirror links are
    // two-sided and no vertex or edit point carries two feature points.
    bool referencesHold(int txtCount) const;
    // Whether every number read is finite (no nan, inf or overflow).
    bool valuesHold() const;
    static bool tablesHold(const svc::FaceTables& tables);
};

class head2 : public named_instance {
public:
    static constexpr const char* word = "AllOfEditedData2D";

    head2();
    ~head2();
    head2(const head2&) = delete;
    head2& operator=(const head2&) = delete;

    void set_actual();
    void write(fileTB& f) const;
    void read_version2(fileTB& f);
    // As head3::settle.
    void settle();

    int valid = 0;
    commonchain_of_named_instance<featurepoint2> photoPoints;
    commonchain_of_named_instance<featurepoint2> overlayPoints;
    commonchain_of_named_instance<featureline2> photoLines;
    commonchain_of_named_instance<featureline2> overlayLines;
    int integer = 3;
    double params[4] = {2.2, 6.0, 3.69, 13.5};

private:
    std::unique_ptr<StoredNumbers> stored_;
};

// The current containers (null while none).
inline head3* actual_head3 = nullptr;

// The current head changed (see head3::Changed); nothing without one.
void headChanged();

// What heads had built from them since the last reset: octree fills and
// vertex-normal computations (tests and benchmarks count the rebuilds).
struct HeadBuildCounts {
    long octreeFills = 0;
    long normalSets = 0;
};
const HeadBuildCounts& headBuildCounts();
void resetHeadBuildCounts();
inline head2* actual_head2 = nullptr;

// Scratch points for picking and the visibility test; the current head's
// reserved edit points carry them.
generalpoint3& working_generalpoint3();
generalpoint3& auxiliar_generalpoint3();

// The global set of gathered triangles (a chain with a private pool).
fnd::chain<Index<triangle>>& gatheredTriangles();

// Builds the pools in their start-up order (idempotent).
void startModelPools();
// Tests: empties the gathered set, forgets the current heads and the work
// points, and returns every pool to no slots. No head may be alive.
void resetModelState();
