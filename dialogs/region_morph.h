#pragma once
// The region morph engine: deforms one named facial region of a head by a
// signed amount. The region is the set of rows of the trafo table (FEATURES
// 145) with its operation code; each row found on the head becomes a record
// (a control point at the centre of the triangle holding the row's feature
// point, pushed along the row's direction), and the head model's
// control-point deformation moves the gathered triangles near the records.
// The morph pages run sequences of regions on one engine.

#include <span>
#include <string>
#include <vector>

#include "foundation/use.h"
#include "model/gather.h"
#include "model/head.h"

namespace morph {

// One row of the trafo table made concrete on the head.
struct Strafo {
    vector3<double> position;             // centre of the triangle holding the point
    Index<triangle> tri = -1;             // that triangle
    vector3<double> pointPosition;        // the feature point on the surface
    Index<featurepoint3> point = -1;      // the row's feature point
    double strength = 0;                  // range factor x the row's trafo value
    double radius = 0;                    // range factor x the row's radius
    int axis = 0;                         // 1 x, 2 y, 3 z, 4 the triangle's normal
    vector3<double> direction;            // of the axis (zero for another code)
    double factor = 0;                    // positive outwards, negative inwards
    int line = 0;                         // the row's line number (0 none)
};

// One engine serves one slider change (several regions in a row); while it
// lives the head changes only through it: it keeps the triangles' centres
// between the regions and renews those its deformations moved.
class RegionMorphEngine {
public:
    explicit RegionMorphEngine(head3& h) : head_(h) {}

    // Selector position (0..4; negative means 2, above 4 is 4) -> factor
    // 0.5, 0.75, 1.0, 1.5, 2.0.
    static double SelectorFactor(int position);

    // Names the region (lower case, as the table has it) with the range and
    // softness selector positions (negative: the middle), then SetMode().
    void SetMode(const std::string& name, int rangePosition, int softnessPosition);
    // Rebuilds the records from the table for the present name and
    // selectors (rows whose point is missing on the head or bound to no
    // surface point are skipped; the side selector picks the mask
    // character), then InitTransformation().
    void SetMode();
    // Gathers the head's triangles within each record's radius of its
    // position and saves the positions of every gathered triangle.
    void InitTransformation();
    // The control points of an amount: from each record's position along its
    // direction by amount x factor x softness factor x 5, with the strength
    // (truncated) as radius.
    dynarray<T3DControlPoint> ControlPoints(double amount) const;
    // Puts the gathered triangles back where InitTransformation found them
    // and deforms by the records pushed by amount; onlyGathered limits the
    // movement to vertices of gathered triangles only. Returns the
    // deformation's result (false: nothing moved).
    bool DoTransformation(double amount, bool onlyGathered);
    // The records along a line of records (a spline through their positions,
    // sampled every 15 units and projected onto the head); they are not
    // added to the records, the slider amounts assume they are not.
    std::vector<Strafo> MakeSpline(int line) const;
    // Index in the records of the n-th (from 0) record of the line, or -1.
    int GetIndex_in_m_trafo(int line, int n) const;
    // Closing: empties the gathered set and the records and refreshes the
    // head's box and octree.
    void OKK();

    const std::vector<Strafo>& records() const { return m_trafo; }
    const std::string& name() const { return name_; }
    // Names the region without rebuilding (SetMode() follows).
    void SetName(const std::string& name) { name_ = name; }

    int sidePosition = 1;  // 0 right, 1 both, 2 left
    int rangePosition = 2;
    int softnessPosition = 2;
    double rangeFactor = 1.0;
    double softnessFactor = 1.0;
    int mode = 1;  // the trafo type of the last record taken: the deformation's shape

private:
    // The centre of every triangle by slot, made on first use.
    void centres();
    head3& head_;
    std::string name_;
    std::vector<Strafo> m_trafo;
    std::vector<vector3<double>> centre_;
    std::vector<char> alive_;
    bool centresMade_ = false;
};

// One region of a slider's sequence: the table's name in capitals, the
// range and softness selector positions, and the amount per unit of
// a = 10 x the slider step.
struct RegionStep {
    const char* name;
    int range, softness;
    double factor;
};

extern const RegionStep kAsianSteps[8];
extern const RegionStep kAfricanSteps[7];
extern const RegionStep kAgePageAgeSteps[6];
extern const RegionStep kAgePageWeightSteps[5];

// Runs a slider's sequence for a step of delta positions on one engine:
// for each region SetMode(lower-case name, range, softness) and
// DoTransformation(10 x delta x factor, true). The gathered set is left
// holding every region's triangles (RefreshAfterRegions empties it).
void RunRegionSteps(head3& h, std::span<const RegionStep> steps, int delta);
// The lower-case table name of a step.
std::string StepName(const RegionStep& step);
// After a sequence: the set is emptied, the feature points follow the
// surface and the octree is filled again at its next use.
void RefreshAfterRegions(head3& h);

}  // namespace morph
