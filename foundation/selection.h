#pragma once
// One selectable item of the model or of a view: the views keep their
// selections and hit-test candidates as dynarray<IndexSelector>.

#include "foundation/chain.h"
#include "foundation/vecmath.h"

class extrapoint;
class featurepoint3;
class featureline3;
class linepoint3;
class featurepoint2;
class featureline2;
class linepoint2;

namespace fnd {

// The kinds are single bits, the same as the item mask of the views' hit
// test; an entry holds exactly one.
enum SelectionKind : int {
    kSelectNone = 0,
    kSelectExtraPoint = 1,    // Index<extrapoint> of the 3D view's own chain
    kSelectFreePoint = 2,     // Index<vector3<double>> of the 3D view's own chain
    kSelectLine3 = 4,         // Index<featureline3>, second: Index<linepoint3> or -1
    kSelectFeaturePoint3 = 8, // Index<featurepoint3>
    kSelectLine2 = 16,        // Index<featureline2>, second: Index<linepoint2>
    kSelectFeaturePoint2 = 32 // Index<featurepoint2>
};

struct IndexSelector {
    int index = -1;
    int second = -1;  // line point of a feature line; unused by other kinds
    int kind = kSelectNone;

    void set(Index<extrapoint> i) { setKind(kSelectExtraPoint, i); }
    void set(Index<vector3<double>> i) { setKind(kSelectFreePoint, i); }
    // The whole line: the second index is left as it is.
    void set(Index<featureline3> line) { setKind(kSelectLine3, line); }
    void set(Index<featureline3> line, Index<linepoint3> point) {
        setKind(kSelectLine3, line);
        second = point;
    }
    void set(Index<featurepoint3> i) { setKind(kSelectFeaturePoint3, i); }
    void set(Index<featureline2> line, Index<linepoint2> point) {
        setKind(kSelectLine2, line);
        second = point;
    }
    void set(Index<featurepoint2> i) { setKind(kSelectFeaturePoint2, i); }

    // Read as a kind: the index when the entry is of that kind, else -1.
    int get(int asKind) const { return kind == asKind ? index : -1; }
    int getSecond(int asKind) const {
        return kind == asKind && (asKind == kSelectLine3 || asKind == kSelectLine2) ? second : -1;
    }

    Index<extrapoint> extraPoint() const { return get(kSelectExtraPoint); }
    Index<vector3<double>> freePoint() const { return get(kSelectFreePoint); }
    Index<featureline3> featureLine3() const { return get(kSelectLine3); }
    Index<linepoint3> linePoint3() const { return getSecond(kSelectLine3); }
    Index<featurepoint3> featurePoint3() const { return get(kSelectFeaturePoint3); }
    Index<featureline2> featureLine2() const { return get(kSelectLine2); }
    Index<linepoint2> linePoint2() const { return getSecond(kSelectLine2); }
    Index<featurepoint2> featurePoint2() const { return get(kSelectFeaturePoint2); }

    bool operator==(const IndexSelector& o) const {
        return index == o.index && second == o.second && kind == o.kind;
    }

private:
    void setKind(int k, int i) {
        kind = k;
        index = i;
    }
};

}  // namespace fnd
