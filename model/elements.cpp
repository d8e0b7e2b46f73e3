#include "model/elements.h"

#include "seams/app.h"
#include "model/head.h"
#include "model/topology.h"

#include <cmath>

const int global_no_index = -1;

// ---- points ----

void simplepoint::traf(Strafo3& t) {
    if (t.apply(position, trafonum)) headChanged();
}

const vector3<double>& generalpoint3::point() const {
    static const vector3<double> zero;
    if (vtx != -1) return vtx.data().position;
    if (extra != -1) return extra.data().position;
    return zero;
}

vector3<double> generalpoint3::roughNormal() const {
    if (vtx != -1) return normalvector(vtx);
    if (extra != -1) {
        Index<triangle> t = extra.data().tri;
        if (t != -1) return t.data()._normalvector();
    }
    return {};
}

void generalpoint3::set_extrapoint(Index<triangle> t, const vector3<double>& bary, pointConversionMode mode) {
    ::set_extrapoint(&extra, t, bary, mode);
    vtx = -1;
}

void generalpoint3::makeExtra() {
    if (isFixed()) _makeExtra();
}

void generalpoint3::_makeExtra() {
    Index<vertex> v = vtx;
    if (v == -1 || v.data().triangles.count() == 0) return;
    const commonlistindex<triangle>& ts = v.data().triangles;
    const Index<triangle> t = ts[ts.first()];
    const triangle& tr = t.data();
    const vector3<double> corner(tr.a == v ? 1 : 0, tr.b == v ? 1 : 0, tr.c == v ? 1 : 0);
    if (corner.x + corner.y + corner.z != 1) return;
    // Which element this point is, found by its address: the vertex's
    // feature point or one of its line points. Only that link moves; the
    // vertex's other points stay fixed where they are.
    Index<featurepoint3> asFeature = -1;
    Index<linepoint3> asLine = -1;
    Index<featurepoint3> fp = v.data().featurepoint;
    if (fp != -1 && static_cast<generalpoint3*>(&fp.data()) == this) asFeature = fp;
    commonlistindex<linepoint3>& lps = v.data().linepoints;
    for (int n = lps.first(); n != -1 && asLine == -1; n = lps.nextOf(n)) {
        Index<linepoint3> lp = lps[n];
        if (static_cast<generalpoint3*>(&lp.data()) == this) asLine = lp;
    }
    Index<extrapoint> e = -1;
    ::set_extrapoint(&e, t, corner, roughConversion);
    if (e == -1) return;
    if (asFeature != -1) {
        v.data().featurepoint = -1;
        e.data().featurepoint = asFeature;
    }
    if (asLine != -1) {
        v.data().linepoints.remove_data(asLine);
        e.data().linepoint = asLine;
    }
    extra = e;
    vtx = -1;
}

fileTB& operator<<(fileTB& f, const generalpoint3& g) { return f << g.extra << g.vtx; }
fileTB& operator>>(fileTB& f, generalpoint3& g) { return f >> g.extra >> g.vtx; }

// ---- triangle ----

double triangle::weight() const {
    const vector3<double>& u = a.data().position;
    return ((b.data().position - u) % (c.data().position - u)).length();
}

vector3<double> triangle::weightpoint() const {
    return (a.data().position + b.data().position + c.data().position) / 3.0;
}

vector3<double> triangle::_normalvector() const {
    const vector3<double>& u = a.data().position;
    return ((b.data().position - u) % (c.data().position - u)).normalized();
}

Index<region> triangle::getRegion() const {
    if (areaOf == -1) return -1;
    const area& ar = areaOf.data();
    Index<Index<region>> first = ar.regions.first();
    return first == -1 ? Index<region>(-1) : ar.regions[first];
}

vector3<double> triangle::getColor() const {
    Index<region> r = getRegion();
    if (r == -1) return default_default_featurecolor();
    Index<featurecolor> col = r.data().colour;
    // Colours are looked up in the current head's colour chain.
    if (col == -1 || !actual_head3) return default_default_featurecolor();
    return actual_head3->colors[col];
}

void triangle::traf(Strafo3& t) {
    for (int k = 0; k < 3; ++k)
        if (corner(k) != -1) corner(k).data().traf(t);
    // Edit points follow the surface of the face's group (every group in
    // the picture-editor mode), once per pass.
    svc::FaceDocument* doc = svc::document();
    bool follow = svc::app().state().pictureEditor || (doc && group == doc->tables().headGroup);
    if (!follow) return;
    for (int k = extrapoints.first(); k != -1; k = extrapoints.nextOf(k)) {
        Index<extrapoint> ei = extrapoints[k];
        if (ei == -1) continue;
        extrapoint& e = ei.data();
        if (e.tri == -1 || e.passMark == t.serial) continue;
        e.conversion();
        e.passMark = t.serial;
    }
}

// ---- vertex ----

vector3<double> vertex::color() const {
    vector3<double> sum;
    int n = 0;
    for (int k = triangles.first(); k != -1; k = triangles.nextOf(k), ++n) sum += triangles[k].data().getColor();
    return n ? sum / static_cast<double>(n) : sum;
}

// ---- area ----

Index<featurecolor> area::getColor() const {
    Index<Index<region>> first = regions.first();
    if (first == -1) return -1;
    return regions[first].data().colour;
}

void area::traf(Strafo3& t) {
    for (int k = triangles.first(); k != -1; k = triangles.nextOf(k)) triangles[k].data().traf(t);
}

void region::traf(Strafo3& t) {
    for (int k = areas.first(); k != -1; k = areas.nextOf(k)) areas[k].data().traf(t);
}

const featurecolor& default_default_featurecolor() {
    static const featurecolor c(0.34, 0.26, 0.25);
    return c;
}

int triangle::metszes(vector3<double> p, vector3<double> d, vector3<double>* hit, double* t,
                      vector3<double>* bary) const {
    return fnd::baricoord(a.data().position, b.data().position, c.data().position, p, d, hit, t, bary);
}

// ---- edit points ----

void extrapoint::set(Index<triangle> t, const vector3<double>& l, pointConversionMode m) {
    tri = t;
    local = l;
    mode = m;
    conversion();
}

vector3<double> extrapoint::cleanedWeights(vector3<double> local) {
    const double sum = local.x + local.y + local.z;
    if (!(sum >= 1e-10)) return {1, 0, 0};
    local /= sum;
    double* w[3] = {&local.x, &local.y, &local.z};
    for (double* wk : w) {
        double old = *wk;
        if (old < bariCoordMinValue && 1.0 - old > 0.0) {
            *wk = 0.0;
            local /= (1.0 - old);
        }
    }
    return local;
}

void extrapoint::conversion() {
    double sum = local.x + local.y + local.z;
    if (tri == -1 || sum < 1e-10) {
        local = {1, 0, 0};
        position = {};
        return;
    }
    if (ForcedConversionMode != 0) mode = ForcedConversionMode;
    if (mode == 0) mode = roughConversion;
    local = cleanedWeights(local);
    position = mode == sophisticatedConversion ? sophisticatedPoint() : roughPoint();
}

vector3<double> extrapoint::roughPoint() const {
    const triangle& t = tri.data();
    return local.x * t.a.data().position + local.y * t.b.data().position + local.z * t.c.data().position;
}

namespace {

// The corner across the edge p-q from this triangle: in a triangle of p
// other than self that holds q, the corner that is neither p, q nor w.
Index<vertex> opposite(Index<vertex> p, Index<vertex> q, Index<vertex> w, Index<triangle> self) {
    const commonlistindex<triangle>& fan = p.data().triangles;
    for (int k = fan.first(); k != -1; k = fan.nextOf(k)) {
        Index<triangle> ti = fan[k];
        if (ti == self || ti == -1) continue;
        const triangle& t = ti.data();
        if (t.a != q && t.b != q && t.c != q) continue;
        for (int c = 0; c < 3; ++c) {
            Index<vertex> o = t.corner(c);
            if (o != p && o != q && o != w) return o;
        }
    }
    return -1;
}

}  // namespace

vector3<double> extrapoint::sophisticatedPoint() const {
    const triangle& t = tri.data();
    const vector3<double>& U = t.a.data().position;
    const vector3<double>& V = t.b.data().position;
    const vector3<double>& W = t.c.data().position;
    double u = local.x, v = local.y, w = local.z;
    const double one = 0.9999999999;
    if (u > one) return U;
    if (v > one) return V;
    if (w > one) return W;
    Index<vertex> oUV = opposite(t.a, t.b, t.c, tri);
    Index<vertex> oUW = opposite(t.a, t.c, t.b, tri);
    Index<vertex> oVW = opposite(t.b, t.c, t.a, tri);
    vector3<double> P = u * U + v * V + w * W;
    if (oUV == -1 || oUW == -1 || oVW == -1 || oUV == oUW || oUV == oVW || oUW == oVW) return P;
    if (v + w <= 0.0 || u + w <= 0.0 || u + v <= 0.0) return P;
    const vector3<double>& OUV = oUV.data().position;
    const vector3<double>& OUW = oUW.data().position;
    const vector3<double>& OVW = oVW.data().position;
    vector3<double> EU = (v * V + w * W) / (v + w);
    vector3<double> EV = (u * U + w * W) / (u + w);
    vector3<double> EW = (u * U + v * V) / (u + v);
    double dU = (P - EU).length(), dV = (P - EV).length(), dW = (P - EW).length();
    double DUV = (OUV - EW).length(), DVW = (OVW - EU).length(), DUW = (OUW - EV).length();
    if (DUV < 1e-12 || DVW < 1e-12 || DUW < 1e-12) return P;  // a neighbour folded onto the edge
    vector3<double> QW = ((dW + DUW) * EW - dW * OUV) / DUW;
    vector3<double> QV = ((dV + DVW) * EV - dV * OUW) / DVW;
    vector3<double> QU = ((dU + DUV) * EU - dU * OVW) / DUV;
    return (QU + QV + QW) / 3.0;
}

// ---- normals and weight points ----

vector3<double> normalvector(Index<vertex> vi) {
    const vertex& v = vi.data();
    vector3<double> sum;
    for (int k = v.triangles.first(); k != -1; k = v.triangles.nextOf(k)) {
        Index<triangle> ti = v.triangles[k];
        if (ti == -1) continue;
        const triangle& t = ti.data();
        int c = t.a == vi ? 0 : t.b == vi ? 1 : t.c == vi ? 2 : -1;
        if (c < 0) continue;
        vector3<double> e = (t.corner((c + 1) % 3).data().position - v.position).normalized();
        vector3<double> f = (t.corner((c + 2) % 3).data().position - v.position).normalized();
        double d = e * f;
        double weight = d >= 0 ? 1.0 - std::sqrt(d) : 1.0 + std::sqrt(-d);
        sum += weight * (e % f);
    }
    return sum.normalized();
}

void featureline3::set_weights() {
    if (weightsComputed) return;
    vector3<double> sum;
    double total = 0.0;
    for (int k = first(); k != -1; k = nextOf(k)) {
        linepoint3& lp = (*this)[k];
        const vector3<double>& p = lp.point();
        double w = 0.0;
        if (prevOf(k) != -1) w += (p - (*this)[prevOf(k)].point()).length();
        if (nextOf(k) != -1) w += (p - (*this)[nextOf(k)].point()).length();
        lp.weight1 = w;
        sum += w * p;
        total += w;
    }
    weightPoint = total < 1e-10 ? vector3<double>() : sum / total;
    weightsComputed = 1;
}

vector3<double> featureline3::get_weightpoint() {
    if (!weightsComputed) set_weights();
    return weightPoint;
}

void area::set_weights() {
    vector3<double> sum;
    weight = 0.0;
    for (int k = triangles.first(); k != -1; k = triangles.nextOf(k)) {
        const triangle& t = triangles[k].data();
        double w = t.weight();
        weight += w;
        sum += w * t.weightpoint();
    }
    weightPoint = weight < 1e-10 ? vector3<double>() : sum / weight;
}

void region::set_weights() {
    vector3<double> sum;
    weight = 0.0;
    for (int k = areas.first(); k != -1; k = areas.nextOf(k)) {
        const area& a = areas[k].data();
        weight += a.weight;
        sum += a.weight * a.weightPoint;
    }
    weightPoint = weight < 1e-10 ? vector3<double>() : sum / weight;
    if (borderLine != -1) borderLine.data().set_weights();
}
