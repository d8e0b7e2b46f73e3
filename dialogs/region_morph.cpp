#include "dialogs/region_morph.h"

#include <cctype>
#include <cmath>
#include <memory>

#include "dialogs/age_map.h"
#include "foundation/spline.h"
#include "model/featuretables.h"

namespace morph {

const RegionStep kAsianSteps[8] = {
    {"EYE_UPPER_LID", -1, -1, 0.05},      {"EYE_LOWER_LID", -1, -1, -0.05}, {"EYE_INCORNER", -1, -1, 0.05},
    {"NOSE_BOTTOM_WIDTH", -1, -1, -0.05}, {"NOSE_TOP", 3, -1, 0.05},        {"CHEEK_LIFT", -1, -1, -0.05},
    {"CHEEK_ROUND", -1, -1, -0.05},       {"CHIN", -1, -1, 0.1},
};
const RegionStep kAfricanSteps[7] = {
    {"NOSE_TOP", 3, 1, 0.06},
    {"NOSE_TIP", 1, -1, -0.04},
    {"NOSE_BOTTOM_WIDTH", -1, -1, -0.125},
    {"MOUTH_LOWER_THICKNESS", 0, -1, -0.04},
    {"MOUTH_UPPER_THICKNESS", 0, -1, -0.04},
    {"MOUTH_UPPER_LIP", 1, -1, -0.033},
    {"MOUTH_LOWER_LIP", 1, -1, 0.0275},
};
const RegionStep kAgePageAgeSteps[6] = {
    {"CHEEK_LIFT", 1, -1, 0.075}, {"MOUTH_LOWER_THICKNESS", 3, 1, 0.015}, {"MOUTH_UPPER_THICKNESS", 3, 1, 0.015},
    {"NOSE_TIP", 3, 3, 0.025},    {"NOSE_TOP", -1, -1, 0.04},             {"NECK", -1, -1, -0.075},
};
const RegionStep kAgePageWeightSteps[5] = {
    {"EYE_LOWER_LID", -1, -1, 0.15},  {"MOUTH_UPPER_THICKNESS", -1, -1, -0.05}, {"MOUTH_LOWER_THICKNESS", -1, -1, 0.05},
    {"NECK", 3, -1, -0.1},            {"CHEEK_ROUND", -1, -1, -0.1},
};

double RegionMorphEngine::SelectorFactor(int position) {
    static const double table[5] = {0.5, 0.75, 1.0, 1.5, 2.0};
    if (position < 0) position = 2;
    if (position > 4) position = 4;
    return table[position];
}

void RegionMorphEngine::SetMode(const std::string& name, int range, int softness) {
    name_ = name;
    rangePosition = range < 0 ? 2 : std::min(range, 4);
    softnessPosition = softness < 0 ? 2 : std::min(softness, 4);
    SetMode();
}

void RegionMorphEngine::SetMode() {
    head_.set_actual();
    m_trafo.clear();
    rangeFactor = SelectorFactor(rangePosition);
    softnessFactor = SelectorFactor(softnessPosition);
    const int side = sidePosition < 0 ? 0 : sidePosition > 2 ? 2 : sidePosition;
    CString operation, pointCode, sides;
    int type = 0, axis = 0, line = 0;
    double amount = 0, range = 0, factor = 0;
    for (int n = 0;
         GetFeatureTrafoInfo(n, &operation, &pointCode, &type, &amount, &range, &axis, &factor, &line, &sides); ++n) {
        if (operation.View() != name_) continue;
        const std::string_view mask = sides.View();
        if (mask.size() < 3 || mask[size_t(2 - side)] != '1') continue;
        const Index<featurepoint3> f = head_.getFeaturepoint(pointCode.GetString(), false);
        if (f == -1) continue;
        Index<triangle> t = -1;
        vector3<double> bary;
        if (!SurfaceTriangle(head_, head_.featurepoints[f], t, bary)) continue;
        Strafo r;
        r.tri = t;
        r.position = head_.triangles[t].weightpoint();
        r.point = f;
        r.pointPosition = head_.featurepoints[f].point();
        r.strength = rangeFactor * amount;
        r.radius = rangeFactor * range;
        r.axis = axis;
        switch (axis) {
            case 1: r.direction = {1, 0, 0}; break;
            case 2: r.direction = {0, 1, 0}; break;
            case 3: r.direction = {0, 0, 1}; break;
            case 4: r.direction = head_.triangles[t].normalvector(); break;
            default: r.direction = {0, 0, 0}; break;
        }
        r.factor = factor;
        r.line = line;
        mode = type;
        m_trafo.push_back(r);
    }
    InitTransformation();
}

void RegionMorphEngine::centres() {
    if (centresMade_) return;
    centre_.clear();
    alive_.clear();
    for (int t = head_.triangles.first(); t != -1; t = head_.triangles.nextOf(t)) {
        if (size_t(t) >= centre_.size()) {
            centre_.resize(size_t(t) + 1);
            alive_.resize(size_t(t) + 1, 0);
        }
        const triangle& tr = head_.triangles[t];
        centre_[size_t(t)] =
            (head_.vertices[tr.a].position + head_.vertices[tr.b].position + head_.vertices[tr.c].position) / 3.0;
        alive_[size_t(t)] = 1;
    }
    centresMade_ = true;
}

void RegionMorphEngine::InitTransformation() {
    head_.set_actual();
    // The records along the lines (MakeSpline) are not kept, so they are not
    // made here: their projections would only cost an octree fill after
    // every morph.
    if (!m_trafo.empty()) {
        centres();
        // The box of the records' reach, with room for rounding.
        vector3<double> lo(1e300, 1e300, 1e300), hi(-1e300, -1e300, -1e300);
        for (const Strafo& r : m_trafo) {
            const double reach = r.radius * (1 + 1e-9) + 1e-12;
            lo = fnd::min(lo, r.position - vector3<double>(reach, reach, reach));
            hi = fnd::max(hi, r.position + vector3<double>(reach, reach, reach));
        }
        for (size_t t = 0; t < centre_.size(); ++t) {
            if (!alive_[t]) continue;
            const vector3<double>& c = centre_[t];
            if (c.x < lo.x || c.y < lo.y || c.z < lo.z || c.x > hi.x || c.y > hi.y || c.z > hi.z) continue;
            for (const Strafo& r : m_trafo) {
                const vector3<double> d = r.position - c;
                if (std::sqrt(d * d) <= r.radius) {
                    add_triangle_to_gatheredTriangles(int(t));
                    break;
                }
            }
        }
    }
    head_.Save_gatheredTriangles();
}

dynarray<T3DControlPoint> RegionMorphEngine::ControlPoints(double amount) const {
    dynarray<T3DControlPoint> controls(0, 10, 1.25, 0.33);
    for (const Strafo& r : m_trafo) {
        T3DControlPoint& c = controls.add();
        c.start = r.position;
        c.target = r.position + r.direction * (amount * r.factor * softnessFactor * 5.0);
        c.radius = int(r.strength);
    }
    return controls;
}

bool RegionMorphEngine::DoTransformation(double amount, bool onlyGathered) {
    head_.set_actual();
    head_.LoadSaved_gatheredTriangles();
    dynarray<T3DControlPoint> controls = ControlPoints(amount);
    const bool result = CalculateNewPoints(head_, &controls, 2, onlyGathered, mode);
    head_.UpdateFeaturePoints();
    // Gathered only: every moved vertex has only gathered triangles.
    if (!onlyGathered) {
        centresMade_ = false;
    } else if (centresMade_) {
        fnd::chain<Index<triangle>>& g = gatheredTriangles();
        for (int n = g.first(); n != -1; n = g.nextOf(n)) {
            const int t = g[n];
            if (size_t(t) >= centre_.size()) continue;
            const triangle& tr = head_.triangles[t];
            // As triangle::weightpoint computes it.
            centre_[size_t(t)] =
                (head_.vertices[tr.a].position + head_.vertices[tr.b].position + head_.vertices[tr.c].position) / 3.0;
        }
    }
    return result;
}

int RegionMorphEngine::GetIndex_in_m_trafo(int line, int n) const {
    int seen = 0;
    for (size_t k = 0; k < m_trafo.size(); ++k)
        if (m_trafo[k].line == line && seen++ == n) return int(k);
    return -1;
}

std::vector<Strafo> RegionMorphEngine::MakeSpline(int line) const {
    std::vector<Strafo> out;
    dynarray<vector3<double>> points(0, 10, 1.25, 0.33), normals(0, 10, 1.25, 0.33);
    for (const Strafo& r : m_trafo) {
        if (r.line != line) continue;
        points.add(r.position);
        normals.add(head_.featurepoints[r.point].roughNormal());
    }
    if (points.size() < 2) return out;
    std::unique_ptr<spline3D> s(fnd::spline3DOfType(featureline3::defaultSplineType));
    s->Init(points, 0);
    s->computeOnce(0);
    const double length = s->length(0.0, double(s->n));
    if (!(length > 0)) return out;
    const Strafo& first = m_trafo[size_t(GetIndex_in_m_trafo(line, 0))];
    const int second = GetIndex_in_m_trafo(line, 1);
    const bool normal = first.axis == 4 && second != -1 && m_trafo[size_t(second)].axis == 4;
    for (double u = 0; u <= 1; u += 15 / length) {
        const double t = u * s->n;
        Index<triangle> hit = -1;
        vector3<double> bary;
        if (!head_.ProjectOnHead(t, *s, normals, &hit, &bary) || hit == -1) continue;
        const triangle& tr = head_.triangles[hit];
        Strafo r;
        r.tri = hit;
        r.position = head_.vertices[tr.a].position * bary.x + head_.vertices[tr.b].position * bary.y +
                     head_.vertices[tr.c].position * bary.z;
        r.pointPosition = r.position;
        r.strength = first.strength;
        r.radius = first.radius;
        r.factor = first.factor;
        r.line = -1;
        r.axis = first.axis;
        if (normal) {
            r.direction = tr.normalvector();
        } else {
            int segment = 0;
            double w = 1;
            s->weighting(t, segment, w);
            const vector3<double>& d0 = first.direction;
            const vector3<double>& d1 = second != -1 ? m_trafo[size_t(second)].direction : first.direction;
            r.direction = d0 * w + d1 * (1 - w);
        }
        out.push_back(r);
    }
    return out;
}

void RegionMorphEngine::OKK() {
    head_.set_actual();
    clean_gatheredTriangles();
    head_.SetMinMaxOctree(false);
    m_trafo.clear();
}

std::string StepName(const RegionStep& step) {
    std::string name = step.name;
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

void RunRegionSteps(head3& h, std::span<const RegionStep> steps, int delta) {
    RegionMorphEngine engine(h);
    const double a = 10.0 * delta;
    for (const RegionStep& s : steps) {
        engine.SetMode(StepName(s), s.range, s.softness);
        engine.DoTransformation(a * s.factor, true);
    }
}

void RefreshAfterRegions(head3& h) {
    h.set_actual();
    h.OctreeMoved();
    clean_gatheredTriangles();
    h.DeleteSaved_gatheredTriangles();
    h.UpdateFeaturePoints();
}

}  // namespace morph
