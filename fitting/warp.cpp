#include "fitting/warp.h"

#include <algorithm>
#include <cmath>

#include "model/head.h"

namespace {

vector3<double> mapped(const vector3<double>& p, const htraf3<double>& h) { return (p * h).vec3(); }

}  // namespace

bela23Trafo::bela23Trafo(Index<featureline3> fixedLine, const fnd::vector<vector2<double>>& from,
                         const fnd::vector<vector2<double>>& to, const fnd::vector<double>& w,
                         const htraf3<double>& plane, const htraf3<double>& photo, double weightFactor, double a,
                         double radius)
    : alpha(a), fixRadius(radius), toPlane(plane), toPhoto(photo), fromPhoto(photo.Inv()) {
    featureline3* line = fixedLine != -1 ? &fixedLine.data() : nullptr;
    fixedCount = line ? line->count() : 0;
    count = fixedCount + from.size();
    basePoints.resize(count);
    planePoints.resize(count);
    weights.resize(count);
    displacements.resize(count);
    int k = 0;
    if (line)
        for (int i = line->first(); i != -1; i = line->nextOf(i), ++k) {
            const linepoint3& lp = (*line)[i];
            basePoints[k] = lp.point();
            weights[k] = lp.weight1;
            displacements[k] = vector3<double>(0, 0, 0);
        }
    bool ownWeights = w.size() == from.size();
    for (int j = 0; j < from.size(); ++j, ++k) {
        basePoints[k] = mapped(vector3<double>(from[j].x, from[j].y, 0), fromPhoto);
        weights[k] = ownWeights ? weightFactor * w[j] : weightFactor;
        displacements[k] = j < to.size() ? setModif(from[j], to[j]) : vector3<double>(0, 0, 0);
    }
    for (int i = 0; i < count; ++i) planePoints[i] = mapped(basePoints[i], toPlane);
}

vector3<double> bela23Trafo::setModif(const vector2<double>& a, const vector2<double>& b) const {
    return {b.x - a.x, b.y - a.y, 0};
}

vector3<double> bela23Trafo::setModif(const vector3<double>& a, const vector2<double>& b) const {
    vector3<double> q = mapped(a, toPhoto);
    return {b.x - q.x, b.y - q.y, 0};
}

vector3<double> bela23Trafo::setModif(const vector3<double>& a, const vector3<double>& b) const {
    vector3<double> q = mapped(b - a, toPhoto);
    return {q.x, q.y, 0};
}

vector3<double> bela23Trafo::modify(const vector3<double>& p, const vector3<double>& d) const {
    return mapped(mapped(p, toPhoto) + d, fromPhoto);
}

double bela23Trafo::fixingWeight(double nearFixed, double nearMoving) const {
    double c = nearFixed / (nearFixed + nearMoving + 1e-10) / (fixRadius + 1e-10);
    if (c > 1) return 0;
    return 2 * c * c * c - 3 * c * c + 1;
}

vector3<double> bela23Trafo::traf(const vector3<double>& p) const {
    vector3<double> q = mapped(p, toPlane);
    double nearFixed = 1e10, nearMoving = 1e10;
    vector3<double> D(0, 0, 0);
    double W = 0;
    const double halfAlpha = 0.5 * alpha;
    // The fitting's exponent: weights inversely proportional to the squared
    // distance, without a call of pow for every pair.
    const bool inverseSquare = alpha == -2.0;
    const bool fixing = fixedCount > 0;
    for (int k = 0; k < count; ++k) {
        double s = distdistance2(q, planePoints[k]);
        if (s < 1e-8) return modify(p, displacements[k]);
        double w = (inverseSquare ? 1.0 / s : std::pow(s, halfAlpha)) * weights[k];
        D += displacements[k] * w;
        W += w;
        if (!fixing) continue;
        double e = (p - basePoints[k]).length();
        if (k < fixedCount)
            nearFixed = std::min(nearFixed, e);
        else
            nearMoving = std::min({nearMoving, e, (p - (basePoints[k] + displacements[k])).length()});
    }
    if (W < 1e-20) return p;
    vector3<double> r = modify(p, D * (1.0 / W));
    if (!fixing) return r;
    double f = fixingWeight(nearFixed, nearMoving);
    return r * (1 - f) + p * f;
}

void bela23TrafoHead(const trafdef22& feature, bool flatDistances, double alpha) {
    if (!actual_head3) return;
    htraf3<double> toPhoto = feature.projection;
    htraf3<double> toPlane = flatDistances ? toPhoto * trafdef_detail::dropDepth() : toPhoto;
    Sbela23Trafo t(-1, feature.from, feature.to, feature.weights, false, toPlane, toPhoto, feature.length, alpha,
                   0.3);
    actual_head3->traf(t);
}

void Bela23TrafoHead(fnd::vector<trafdef22>& features, bool flatDistances, double alpha) {
    correctDirection(features);
    trafdef22 all(features, true);
    bela23TrafoHead(all, flatDistances, alpha);
}
