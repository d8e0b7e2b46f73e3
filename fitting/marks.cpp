#include "fitting/marks.h"

#include <cmath>
#include <string>

#include "model/featuretables.h"
#include "model/head.h"
#include "model/topology.h"

namespace {

const featurepoint2* markNamed(const head2& marks, const char* name) {
    for (int i = marks.photoPoints.first(); i != -1; i = marks.photoPoints.nextOf(i))
        if (std::string(marks.photoPoints[i].name()) == name) return &marks.photoPoints[i];
    return nullptr;
}

// The surface place of a feature point: a triangle and barycentric
// coordinates on it (a vertex point sits on a corner of its first triangle).
bool surfacePlace(const featurepoint3& p, Index<triangle>* t, vector3<double>* bary) {
    if (p.isRubber()) {
        const extrapoint& e = p.extra.data();
        if (e.tri == -1) return false;
        *t = e.tri;
        *bary = e.local;
        return true;
    }
    if (!p.isFixed()) return false;
    const commonlistindex<triangle>& ts = p.vtx.data().triangles;
    if (ts.count() == 0) return false;
    *t = ts[ts.first()];
    for (int k = 0; k < 3; ++k)
        if (t->data().corner(k) == p.vtx) {
            *bary = vector3<double>(k == 0, k == 1, k == 2);
            return true;
        }
    return false;
}

}  // namespace

int MarkedPointWeight(const head2& marks, int group) {
    int sum = 0;
    CString code;
    double weight = 0;
    for (int i = 0; GetFeaturePointInfo(i, &code, nullptr, &weight); ++i)
        if (GoodInfoCode(group, code) && markNamed(marks, code)) sum += int(weight);
    return sum;
}

CString PhotoMarksProblem(const head2& marks, int width, int height) {
    auto usable = [&](const vector2<double>& p) {
        return std::isfinite(p.x) && std::isfinite(p.y) && p.x >= -width && p.x <= 2.0 * width && p.y >= -height &&
               p.y <= 2.0 * height;
    };
    CString text;
    for (int i = marks.photoPoints.first(); i != -1; i = marks.photoPoints.nextOf(i))
        if (!usable(marks.photoPoints[i].position)) {
            text.Format("The mark %s lies outside the photo.", marks.photoPoints[i].name());
            return text;
        }
    for (int i = marks.photoLines.first(); i != -1; i = marks.photoLines.nextOf(i)) {
        const featureline2& l = marks.photoLines[i];
        for (int k = l.first(); k != -1; k = l.nextOf(k))
            if (!usable(l[k].position)) {
                text.Format("The line %s leaves the photo.", l.name());
                return text;
            }
    }
    return text;
}

int CreateAutomaticLines(head2& marks, head3& head, int group, bool rowsWithoutPoints,
                         const std::function<void(Index<featureline2>, const vector2<double>&)>& append) {
    int made = 0;
    CString code, type;
    for (int i = 0; GetFeatureLineInfo(i, &code, nullptr, &type); ++i) {
        if (!GoodInfoCode(group, code) || type != CString("3333")) continue;
        dynarray<CString> names;
        if (!GetFeatureLinePoints(code, &names) && !rowsWithoutPoints) continue;

        if (marks.photoLines.get(code) == -1) {
            fnd::vector<vector2<double>> points;
            for (int k = 0; k < names.size(); ++k)
                if (const featurepoint2* p = markNamed(marks, names[k])) points.add(p->position);
            // A line needs two points.
            if (points.size() >= 2) {
                const Index<featureline2> l = marks.photoLines.add_new(code);
                marks.photoLines[l].n = 2;
                for (int k = 0; k < points.size(); ++k) {
                    if (append) {
                        append(l, points[k]);
                    } else {
                        featureline2& line = marks.photoLines[l];
                        const Index<linepoint2> q = line.add();
                        line[q].position = points[k];
                        line[q].kind = 1;
                    }
                }
                // Made by the program: its ends are nodes.
                featureline2& line = marks.photoLines[l];
                if (line.first() != -1) line[line.first()].kind = line[line.last()].kind = 2;
                line.closing = line.closedSpline = 0;
                ++made;
            }
        }

        if (head.getFeatureline(code, true) != -1) continue;
        struct Place {
            Index<triangle> t;
            vector3<double> bary;
        };
        fnd::vector<Place> places;
        for (int k = 0; k < names.size(); ++k) {
            Index<featurepoint3> f = head.getFeaturepoint(names[k], true);
            Place p;
            if (f != -1 && surfacePlace(head.featurepoints[f], &p.t, &p.bary)) places.add(p);
        }
        if (places.size() < 2) continue;
        const Index<featureline3> L = head.addFeatureline(code, true);
        featureline3& line = head.featurelines[L];
        line.closing = line.closedSpline = 0;
        for (int k = 0; k < places.size(); ++k) {
            const Index<linepoint3> lp = line.add();
            line[lp].set_extrapoint(places[k].t, places[k].bary, roughConversion);
            line[lp].kind = k == 0 || k + 1 == places.size() ? 2 : 1;
            add_linepoint(lp, L);
        }
        line.weightsComputed = 0;
        ++made;
    }
    return made;
}
