#pragma once
// The built-in full template head (TEMPLATE 122) as the program reads it,
// outside the picture-editor mode, and a plain ray-triangle intersection to
// check the model's projections against. Header only.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "framework/resources.h"
#include "model/head.h"
#include "tests/support/model_fixture.h"

namespace testsupport {

// Reads a TEMPLATE resource through head3::read; false when it is missing
// or does not read.
inline bool readTemplateHead(head3& h, unsigned number = 122) {
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", number);
    if (!bytes.data()) return false;
    fileTB f;
    f.open(bytes.data(), bytes.size());
    h.read(f, true);
    return f.good() && h.status != 0;
}

// A model test on the full template head: the picture-editor mode off and
// the document's template 122.
class TemplateHeadTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        services.app.state().pictureEditor = 0;
        services.document.state().templateId = 122;
    }
    // Reads the template into h (which becomes the current head) and fills
    // its octree.
    void load(head3& h) {
        ASSERT_TRUE(readTemplateHead(h)) << "the template head does not read";
        h.set_actual();
        ASSERT_EQ(h.SetMinMaxOctree(false), 1);
    }
};

// Where the ray P + t d (t >= 0) meets the triangle a, b, c (Moller and
// Trumbore): t and the barycentric coordinates (1 - u - v, u, v); false when
// it passes by or runs along the plane.
inline bool rayMeetsTriangle(const vector3<double>& P, const vector3<double>& d, const vector3<double>& a,
                             const vector3<double>& b, const vector3<double>& c, double* t, vector3<double>* bary) {
    const vector3<double> e1 = b - a, e2 = c - a;
    const vector3<double> p = d % e2;
    const double det = e1 * p;
    if (std::fabs(det) < 1e-14 * e1.length() * e2.length() * d.length()) return false;
    const vector3<double> s = P - a;
    const double u = (s * p) / det;
    if (u < 0 || u > 1) return false;
    const vector3<double> q = s % e1;
    const double v = (d * q) / det;
    if (v < 0 || u + v > 1) return false;
    const double tt = (e2 * q) / det;
    if (tt < 0) return false;
    *t = tt;
    *bary = vector3<double>(1 - u - v, u, v);
    return true;
}

// The nearest triangle of the head that the ray meets (t along the unit
// direction), by trying every triangle whose bounding sphere the line
// passes; -1 when none.
class RayOverAllTriangles {
public:
    explicit RayOverAllTriangles(const head3& h) : h_(h) {
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
            const triangle& tr = h.triangles[t];
            const vector3<double> &a = h.vertices[tr.a].position, &b = h.vertices[tr.b].position,
                                  &c = h.vertices[tr.c].position;
            const vector3<double> centre = (a + b + c) / 3.0;
            const double r = std::max({(a - centre).length(), (b - centre).length(), (c - centre).length()});
            tris_.push_back(t);
            cx_.push_back(centre.x);
            cy_.push_back(centre.y);
            cz_.push_back(centre.z);
            rr_.push_back((r * 1.001 + 1e-9) * (r * 1.001 + 1e-9));
        }
    }

    int first(const vector3<double>& P, const vector3<double>& d, double* t, vector3<double>* bary) const {
        const vector3<double> u = d / d.length();
        int best = -1;
        double bestT = 1e300;
        for (size_t k = 0; k < tris_.size(); ++k) {
            const double wx = cx_[k] - P.x, wy = cy_[k] - P.y, wz = cz_[k] - P.z;
            const double along = wx * u.x + wy * u.y + wz * u.z;
            if (wx * wx + wy * wy + wz * wz - along * along > rr_[k]) continue;
            const triangle& tr = h_.triangles[tris_[k]];
            double tt;
            vector3<double> b;
            if (!rayMeetsTriangle(P, u, h_.vertices[tr.a].position, h_.vertices[tr.b].position,
                                  h_.vertices[tr.c].position, &tt, &b))
                continue;
            if (tt < bestT) {
                bestT = tt;
                best = tris_[k];
                if (bary) *bary = b;
            }
        }
        if (t) *t = bestT;
        return best;
    }

private:
    const head3& h_;
    std::vector<int> tris_;
    std::vector<double> cx_, cy_, cz_, rr_;
};

// The point of a triangle at barycentric coordinates.
inline vector3<double> pointOn(const head3& h, Index<triangle> t, const vector3<double>& b) {
    const triangle& tr = h.triangles[t];
    return h.vertices[tr.a].position * b.x + h.vertices[tr.b].position * b.y + h.vertices[tr.c].position * b.z;
}

}  // namespace testsupport
