#include "model/mirror.h"

#include <cmath>

#include "seams/app.h"
#include "seams/dialogs.h"
#include "framework/system.h"
#include "model/head.h"
#include "seams/views.h"

int head3::BuildMirror() {
    for (Index<vertex> v = vertices.first(); v != -1; v = vertices.nextOf(v)) vertices[v].side = '?';
    mirrored = false;
    const svc::FaceDocument* doc = svc::document();
    if (!(doc && doc->state().counter > 0))
        for (Index<vertex> v = vertices.first(); v != -1; v = vertices.nextOf(v))
            vertices[v].loadPosition = vertices[v].position;
    return 1;
}

namespace {

bool matchedMaterial(int material) {
    svc::FaceDocument* doc = svc::document();
    if (!doc) return false;
    const svc::FaceTables& t = doc->tables();
    return material == t.faceMaterial || material == t.lipMaterial || material == t.eyeSocketMaterial;
}

// The first triangle of the matched materials, all corners on one side,
// that holds W (load-time positions); its coordinates snapped to a corner
// when within 0.01 of it.
Index<triangle> findSource(head3& h, const vector3<double>& W, vector3<double>* bary) {
    for (Index<triangle> t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        const triangle& tr = h.triangles[t];
        if (!matchedMaterial(tr.material)) continue;
        const vertex &a = h.vertices[tr.a], &b = h.vertices[tr.b], &c = h.vertices[tr.c];
        if (a.side != b.side || a.side != c.side) continue;
        vector3<double> k = bariCoord(a.loadPosition, b.loadPosition, c.loadPosition, W);
        if (k.x < -0.01 || k.y < -0.01 || k.z < -0.01) continue;
        if (k.x > 1.01 || k.y > 1.01 || k.z > 1.01 || k.x + k.y + k.z > 1.01) continue;
        const vector3<double> m = a.loadPosition * k.x + b.loadPosition * k.y + c.loadPosition * k.z - W;
        if (!(std::sqrt(m * m) < 1.0)) continue;
        if (std::fabs(k.x - 1) < 0.01) k = {1, 0, 0};
        else if (std::fabs(k.y - 1) < 0.01) k = {0, 1, 0};
        else if (std::fabs(k.z - 1) < 0.01) k = {0, 0, 1};
        *bary = k;
        return t;
    }
    return -1;
}

void mirrorTexture(TextureImage* tex, char side) {
    if (!tex || tex->width <= 0 || tex->height <= 0) return;
    const int w = tex->width;
    for (int row = 0; row < tex->height / 2; ++row)
        for (int q = 0; q < w; ++q) {
            const bool replaced = side == 'L' ? q < w / 2 : q >= w / 2;
            if (!replaced) continue;
            unsigned char* to = &tex->rgb[3 * (size_t(row) * w + q)];
            const unsigned char* from = &tex->rgb[3 * (size_t(row) * w + (w - 1 - q))];
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
}

}  // namespace

int MirrorHead(head3& h, char side) {
    CWaitCursor wait;
    if (h.mirrored) {
        MessageBeep(MB_ICONASTERISK);
        return 0;
    }
    h.set_actual();
    svc::Progress& progress = svc::progress();
    progress.Open(0, 18, side == 'L' ? "Mirroring right to left" : "Mirroring left to right", false);
    h.mirrored = true;

    // The middle plane x = x0 through the foremost vertices.
    vector3<double> lo(1e10, 1e10, 1e10), hi(-1e10, -1e10, -1e10);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const vector3<double>& p = h.vertices[v].loadPosition;
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    double sumX = 0;
    int front = 0;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const vector3<double>& p = h.vertices[v].loadPosition;
        if (std::fabs(p.z - hi.z) <= 1e-8) sumX += p.x, ++front;
    }
    const double x0 = front ? sumX / front : 0.0;
    const double halfWidth = (hi.x - lo.x) * 0.5;

    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vertex& vx = h.vertices[v];
        vx.loadPosition.x -= x0;
        const double x = vx.loadPosition.x;
        vx.side = std::fabs(x) < 1e-8 ? '=' : x >= 0 ? 'R' : 'L';
        // -1 is the only "no source" mark.
        vx.mirrorTriangle = -1;
        vx.mirrorCoord = {};
    }

    mirrorTexture(h.texture.get(), side);

    const int n = h.vertices.count();
    auto stepAt = [n](int index) {
        if (index == 0) return true;
        for (int k = 1; k <= 13; ++k)
            if (index == k * n / 14) return true;
        for (int k = 1; k <= 7; k += 2)
            if (index == k * n / 28) return true;
        return false;
    };
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        if (stepAt(v)) progress.Step(0);
        vertex& vx = h.vertices[v];
        // A vertex without triangles has no material to judge by.
        if (vx.triangles.count() == 0) continue;
        if (!matchedMaterial(h.triangles[vx.triangles[vx.triangles.first()]].material) || vx.side == '=') continue;
        const vector3<double> W(-vx.loadPosition.x, vx.loadPosition.y, vx.loadPosition.z);
        vector3<double> b;
        Index<triangle> t = findSource(h, W, &b);
        if (t == -1) {
            h.vertices[v].side = ' ';
            continue;
        }
        h.vertices[v].mirrorTriangle = t;
        h.vertices[v].mirrorCoord = b;
    }

    const vector3<double> shift(x0, 0, 0);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vertex& vx = h.vertices[v];
        vx.loadPosition.x += x0;
        if (vx.side != side || vx.mirrorTriangle == -1 || halfWidth <= 0) continue;
        const triangle& tr = h.triangles[vx.mirrorTriangle];
        const vector3<double> P1 = h.vertices[tr.a].position - shift, P2 = h.vertices[tr.b].position - shift,
                              P3 = h.vertices[tr.c].position - shift;
        const vector3<double>& b = vx.mirrorCoord;
        const vector3<double> M = P1 * b.x + P2 * b.y + P3 * b.z;
        const double d = (std::fabs(M.x) + std::fabs(P1.x + P2.x + P3.x) / 3) * 0.5;
        const double w = d / halfWidth;
        const vector3<double> image(-M.x, M.y, M.z);
        h.vertices[v].position = (h.vertices[v].position - shift) * (1 - w) + image * w + shift;
    }
    progress.Close();
    return 1;
}

int OnMirror(char side) {
    if (!actual_head3) return 0;
    if (!MirrorHead(*actual_head3, side)) return 0;
    svc::FaceDocument* doc = svc::document();
    if (doc) {
        if (svc::ViewEdit3D* v3 = doc->GetViewEdit3D()) v3->InitializeModelForOpenGL();
        const char* names[4] = {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"};
        for (const char* name : names)
            if (svc::FaceView* v = doc->GetView(name)) v->redrawFlag = false;
        for (const char* name : names)
            if (svc::FaceView* v = doc->GetView(name)) v->Redraw();
    }
    if (svc::MainFrame* f = svc::mainFrame()) f->OnViews2();
    return 1;
}
