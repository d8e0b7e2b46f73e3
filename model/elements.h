#pragma once
// The elements of the head model. Each lives by value in the one pool of its
// type and is named everywhere by its Index (slot number, -1 for none).
// Fields that the model fills later (mirror data, morph deltas, weights)
// start at zero, indices at -1, so nothing reads an unset value.

#include "foundation/chain.h"
#include "foundation/filetb.h"
#include "foundation/list.h"
#include "foundation/named.h"
#include "foundation/use.h"
#include "model/trafo3.h"

using fnd::commonchain;
using fnd::commonchainindex;
using fnd::commonlist;
using fnd::commonlistindex;
using fnd::fileTB;
using fnd::Index;
using fnd::named_class;
using fnd::named_instance;
using fnd::tabGuard;

class vertex;
class triangle;
class extrapoint;
class area;
class region;
class featurepoint3;
class featureline3;
class linepoint3;
class featurecolor;
class featurepoint2;
class featureline2;
class linepoint2;

// How an edit point's position follows from its weights: 1 the plane of the
// triangle, 2 the smooth patch over the neighbours; 0 is taken as 1.
typedef int pointConversionMode;
enum : int { roughConversion = 1, sophisticatedConversion = 2 };

// Version of the head file being read; the element readers consult it.
inline int head3Version = 3;

// Passed as the index of a write: the record body alone, without line break
// and index.
extern const int global_no_index;

// ---- point bases ----

class simplepoint {
public:
    simplepoint() = default;
    explicit simplepoint(const vector3<double>& v) : position(v) {}

    // Moves the point unless this transformation already moved it.
    void traf(Strafo3& t);

    vector3<double> position;
    int trafonum = -1;  // serial of the last transformation applied
};

class generalpoint2 {
public:
    generalpoint2() = default;
    explicit generalpoint2(const vector2<double>& v) : position(v) {}
    bool operator==(const generalpoint2& o) const { return position.x == o.position.x && position.y == o.position.y; }

    vector2<double> position;  // pixels of the working photo
};

// A point on the head, fixed to a vertex or rubber on an edit point.
class generalpoint3 {
public:
    bool isRubber() const { return extra != -1; }
    bool isFixed() const { return vtx != -1; }
    // The vertex's position, else the edit point's, else the origin.
    const vector3<double>& point() const;
    vector3<double> roughNormal() const;
    // Copies all five fields.
    void set_generalpoint3(const generalpoint3& o) { *this = o; }
    // Puts the point's edit point (a new one when it has none) on triangle
    // t at the barycentric coordinates; the point is rubber afterwards.
    void set_extrapoint(Index<triangle> t, const vector3<double>& bary, pointConversionMode mode);
    // A fixed point becomes rubber (_makeExtra); nothing for any other.
    void makeExtra();
    // The point fixed at vertex v becomes rubber on a new edit point at v's
    // corner of v's first triangle; nothing when v has no triangle. When
    // the point is v's feature point or one of v's line points, that link
    // moves from v to the edit point.
    void _makeExtra();

    // Stamp of the cached projection; valid while it equals ProjCounter.
    static inline int ProjCounter = 1;

    int projStamp = -1;
    double projX = 0.0, projY = 0.0;  // position in the overlay view
    int projFlag = 0;
    Index<extrapoint> extra = -1;
    Index<vertex> vtx = -1;
};

fileTB& operator<<(fileTB& f, const generalpoint3& g);
fileTB& operator>>(fileTB& f, generalpoint3& g);

// ---- 3D elements ----

class vertex : public simplepoint, public named_class {
public:
    static constexpr const char* word = "Vertex";
    vertex() = default;
    explicit vertex(const vector3<double>& v) : simplepoint(v) {}

    // Mean colour of the vertex's triangles; black for a vertex without any.
    vector3<double> color() const;

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    Index<vertex> mirror = -1;
    commonlistindex<triangle> triangles;
    commonlistindex<linepoint3> linepoints;
    Index<featurepoint3> featurepoint = -1;
    Index<triangle> mirrorTriangle = -1;
    vector3<double> loadPosition;
    vector3<double> mirrorCoord;
    vector3<double> age80;
    vector3<double> age30;
    char side = '?';
};

class triangle : public named_class {
public:
    static constexpr const char* word = "Triangle";

    Index<vertex>& corner(int k) { return k == 0 ? a : k == 1 ? b : c; }
    Index<vertex> corner(int k) const { return k == 0 ? a : k == 1 ? b : c; }

    // |(V - U) x (W - U)|: twice the triangle's area.
    double weight() const;
    vector3<double> weightpoint() const;
    vector3<double> _normalvector() const;
    vector3<double> normalvector() const { return _normalvector(); }
    Index<region> getRegion() const;
    // The colour of the first region of the triangle's area; the default
    // colour when there is none.
    vector3<double> getColor() const;
    // Meets the line through p along d with the triangle (barycentric result).
    int metszes(vector3<double> p, vector3<double> d, vector3<double>* hit, double* t,
                vector3<double>* bary) const;
    void traf(Strafo3& t);

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    static inline double minimalLengthOfEdge = 0.05;

    Index<triangle> mirror = -1;
    Index<triangle> quadPartner = -1;
    int spare = 0;
    int gatheredNode = -1;
    Index<vertex> a = -1, b = -1, c = -1;
    vector3<double> spareVector;
    int spareInt = 0;
    vector2<double> texture[3];
    vector2<double> further[3];
    int txtRow[3] = {-1, -1, -1};
    int material = 0;
    int group = 0;
    Index<area> areaOf = -1;
    int areaNode = -1;
    commonlistindex<extrapoint> extrapoints;
};

class extrapoint : public simplepoint, public named_class {
public:
    static constexpr const char* word = "EditPoint";
    extrapoint() = default;
    explicit extrapoint(const vector3<double>& v) : simplepoint(v) {}

    void set(Index<triangle> t, const vector3<double>& local, pointConversionMode mode);
    // Recomputes the position from the triangle and the weights.
    void conversion();
    // The weights as conversion leaves them: summing to 1, each below
    // bariCoordMinValue dropped (the zero weights for a sum below 1e-10).
    static vector3<double> cleanedWeights(vector3<double> local);
    vector3<double> roughPoint() const;
    vector3<double> sophisticatedPoint() const;
    void traf(Strafo3& t) { simplepoint::traf(t); }

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    static inline double bariCoordMinValue = 0.1;
    static inline double bariCoordMinValue_forMakeFix = 0.02;
    static inline int ForcedConversionMode = 0;
    // The current head's edit points.
    static inline commonchain<extrapoint>* Container = nullptr;

    Index<extrapoint> mirror = -1;
    Index<triangle> tri = -1;
    vector3<double> local;  // barycentric weights on the corners
    int active = 1;
    pointConversionMode mode = roughConversion;
    Index<linepoint3> linepoint = -1;
    Index<featurepoint3> featurepoint = -1;
    int passMark = -1;  // the last transformation pass that recomputed it
};

class area : public named_class {
public:
    static constexpr const char* word = "BasicArea";

    // The colour of the area's first region; -1 without a region.
    Index<featurecolor> getColor() const;
    void set_weights();
    void traf(Strafo3& t);

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    Index<area> link = -1;
    commonchainindex<triangle> triangles;
    commonchainindex<region> regions;
    vector3<double> weightPoint;
    double weight = 0.0;
};

class region : public named_instance {
public:
    static constexpr const char* word = "AnatomicalRegion";
    region() : named_instance(word, true) {}

    void set_weights();
    void traf(Strafo3& t);

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    int used = -1;
    Index<region> mirror = -1;
    commonchainindex<area> areas;
    Index<featureline3> borderLine = -1;
    commonchainindex<featureline3> lines;
    commonchainindex<featurepoint3> points;
    double weight = 0.0;
    vector3<double> weightPoint;
    vector3<double> origin;
    vector3<double> axisX{1, 0, 0}, axisY{0, 1, 0}, axisZ{0, 0, 1};
    matrix44<double> frame;
    Index<featurecolor> colour = -1;
};

class featurepoint3 : public named_instance, public generalpoint3 {
public:
    static constexpr const char* word = "FeaturePoint3D";
    featurepoint3() : named_instance(word, true) {}

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    int used = -1;
    Index<featurepoint3> mirror = -1;
    double weight = 0.0;
    int spare = 0;
    commonchainindex<region> regions;
};

class linepoint3 : public generalpoint3, public named_class {
public:
    static constexpr const char* word = "LinePoint3D";

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    Index<featureline3> line = -1;
    double weight1 = 1.0;
    double weight2 = 1.0;
    int kind = 0;  // 2 node (ends of a line), 1 inner point
};

class featureline3 : public commonchain<linepoint3>, public named_instance {
public:
    static constexpr const char* word = "FeatureLine3D";
    featureline3() : named_instance(word, true) {}

    // The line points' weights (distances to their neighbours) and the
    // weighted centre, computed once until the line changes.
    void set_weights();
    vector3<double> get_weightpoint();

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    static inline int defaultSplineType = 3;

    int used = -1;
    Index<featureline3> mirror = -1;
    int splineType = defaultSplineType;
    int spare = 0;
    int closing = 0;
    int closedSpline = 0;
    int side = 0;
    int spare2 = -1;
    commonchainindex<region> regions;
    vector3<double> weightPoint;
    int weightsComputed = 0;
};

class featurecolor : public vector3<double>, public named_instance {
public:
    static constexpr const char* word = "FeatureColor";
    featurecolor() : vector3<double>(0.34, 0.26, 0.25), named_instance(word, true) {}
    featurecolor(double r, double g, double b) : vector3<double>(r, g, b), named_instance(word, true) {}

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);
};

// The colour of triangles whose area has no region.
const featurecolor& default_default_featurecolor();

// ---- 2D elements ----

class featurepoint2 : public named_instance, public generalpoint2 {
public:
    static constexpr const char* word = "FeaturePoint2D";
    featurepoint2() : named_instance(word, true) {}
    explicit featurepoint2(const vector2<double>& v) : named_instance(word, true), generalpoint2(v) {}

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    double weight = 0.0;
};

class linepoint2 : public generalpoint2, public named_class {
public:
    static constexpr const char* word = "LinePoint2D";

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    double weight = 0.0;
    int kind = 0;
};

class featureline2 : public commonchain<linepoint2>, public named_instance {
public:
    static constexpr const char* word = "FeatureLine2D";
    featureline2() : named_instance(word, true) {}

    void write(fileTB& f, const int& index) const;
    void read(fileTB& f, int& index);

    static inline int defaultSplineType = 3;

    int a = 1;  // the first integer (1)
    int splineType = defaultSplineType;
    int closing = 0;
    int closedSpline = 0;
    int n = 0;  // the last integer
};

// Record bodies (everything after the index and its tab).
fileTB& operator<<(fileTB& f, const vertex& v);
fileTB& operator>>(fileTB& f, vertex& v);
fileTB& operator<<(fileTB& f, const triangle& t);
fileTB& operator>>(fileTB& f, triangle& t);
fileTB& operator<<(fileTB& f, const extrapoint& e);
fileTB& operator>>(fileTB& f, extrapoint& e);
fileTB& operator<<(fileTB& f, const area& a);
fileTB& operator>>(fileTB& f, area& a);
fileTB& operator<<(fileTB& f, const region& r);
fileTB& operator>>(fileTB& f, region& r);
fileTB& operator<<(fileTB& f, const featurepoint3& p);
fileTB& operator>>(fileTB& f, featurepoint3& p);
fileTB& operator<<(fileTB& f, const linepoint3& p);
fileTB& operator>>(fileTB& f, linepoint3& p);
fileTB& operator<<(fileTB& f, const featureline3& l);
fileTB& operator>>(fileTB& f, featureline3& l);
fileTB& operator<<(fileTB& f, const featurecolor& c);
fileTB& operator>>(fileTB& f, featurecolor& c);
fileTB& operator<<(fileTB& f, const featurepoint2& p);
fileTB& operator>>(fileTB& f, featurepoint2& p);
fileTB& operator<<(fileTB& f, const linepoint2& p);
fileTB& operator>>(fileTB& f, linepoint2& p);
fileTB& operator<<(fileTB& f, const featureline2& l);
fileTB& operator>>(fileTB& f, featureline2& l);

// The vertex normal: corner-angle weighted sum of the triangles' normals.
vector3<double> normalvector(Index<vertex> v);
