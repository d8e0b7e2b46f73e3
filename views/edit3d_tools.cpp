// The clone brush and the free tool of the 3D view: texture copied from a
// source spot through the brush, and the surface pulled with the mouse.

#include <cmath>

#include "document/facedoc.h"
#include "fitting/kernel3d.h"
#include "model/brush.h"
#include "model/gather.h"
#include "model/head.h"
#include "model/octree.h"
#include "seams/app.h"
#include "views/brush_palette.h"
#include "views/surface_marks.h"
#include "views/viewedit3d.h"
#include "views/vieworigphoto.h"

namespace {

double angleOf(const vector3<double>& p) { return std::atan2(-p.z, -p.x); }

// The point at the angle about the vertical axis and at the height, as far
// from the axis as p.
vector3<double> turnedTo(const vector3<double>& p, double angle, double height) {
    const double r = std::hypot(p.x, p.z);
    return vector3<double>(-r * std::cos(angle), height, -r * std::sin(angle));
}

}  // namespace

bool CViewEdit3D::MirrorTool() const {
    CFaceDoc* d = GetDocument();
    return d && d->mirrorTool != 0;
}

CViewEdit3D::ToolValues CViewEdit3D::Palettes() {
    ToolValues v;
    svc::MainFrame* f = Frame();
    if (svc::FreeToolPalette* made = f ? f->FreeToolPaletteMade() : nullptr) made->ReadValues(v.radius, v.shape);
    return v;
}

// ---------------------------------------------------------------- clone brush

bool CViewEdit3D::ReuploadTexture() {
    try {
        return UploadTexture();
    } catch (...) {
        // The click or move ends here; the redraw is skipped.
        return false;
    }
}

bool CViewEdit3D::CloneDab(int u, int v, const generalpoint3& at) {
    head3* h = Head();
    if (!h || !h->texture) return false;
    TextureImage& image = *h->texture;
    const int half = image.height / 2;
    painter_.image = &image;
    bool painted = false;
    if (cloneSourceView && cloneSourceView->IsViewOrigPhoto()) {
        const int sx = int(u - cloneOffsets[0]), sy = int((half - v) - cloneOffsets[1]);
        if (v <= half) {
            painter_.CloneBmpWithBrush(&clonePhoto, sx, sy, u, v);
            painted = true;
        }
        cloneLastPainted = vector2<double>(sx, sy);
        return painted;
    }
    auto dab = [&](const vector3<double>& dest, double angleOffset, double heightOffset, int du, int dv) {
        const vector3<double> source = turnedTo(dest, angleOf(dest) - angleOffset, dest.y - heightOffset);
        vector3<double> bary, hit;
        const Index<triangle> t = h->filledOctree().getfirst(source * 100.0, source * -1.0, &bary, &hit);
        if (t == -1) return false;
        int su = 0, sv = 0;
        Coord3DToTextureCoord(image, t, bary, su, sv);
        if (sv > half || dv > half) return false;
        painter_.CloneWithBrush(su, sv, du, dv);
        cloneLastTriangle = t;
        cloneLastPainted = vector2<double>(su, sv);
        return true;
    };
    const vector3<double> dest = at.point();
    painted = dab(dest, cloneOffsets[1], cloneOffsets[0], u, v);
    if (MirrorTool()) {
        vector3<double> d = dest;
        const vector3<double> m = h->GetMirrorPoint(&d, nullptr);
        vector3<double> bary, hit;
        const Index<triangle> t = h->filledOctree().getfirst(m * 100.0, m * -1.0, &bary, &hit);
        if (t != -1) {
            int mu = 0, mv = 0;
            Coord3DToTextureCoord(image, t, bary, mu, mv);
            painted = dab(hit, -cloneOffsets[1], cloneOffsets[0], mu, mv) || painted;
        }
    }
    return painted;
}

void CViewEdit3D::ClonePress(UINT flags, CPoint point) {
    head3* h = Head();
    generalpoint3& w = working_generalpoint3();
    if (!h || !Coord2Dto3D(vector2<double>(point.x, point.y), w)) return;
    const bool photoSource = cloneSourceView && cloneSourceView->IsViewOrigPhoto();
    // Nothing to read the texel from: no texture, or no copy of the photo.
    if (!h->texture || h->texture->width <= 0 || (photoSource && clonePhoto.GetWidth() <= 0 && cloneState >= 0)) {
        Beep();
        return;
    }
    const extrapoint& e = w.extra.data();
    int u = 0, v = 0;
    Coord3DToTextureCoord(*h->texture, e.tri, e.local, u, v);
    const int half = h->texture->height / 2;
    if (v > half) return;
    const vector3<double> hit = w.point();
    if ((flags & MK_SHIFT) || cloneState < 0) {
        cloneHeight = hit.y;
        cloneAngle = angleOf(hit);
        cloneSourcePoint = hit;
        cloneState = 0;
        cloneSourceView = this;
        cloneOffsets[0] = cloneOffsets[1] = cloneOffsets[2] = 0;
        cloneLastTriangle = e.tri;
        cloneLastPainted = vector2<double>(u, v);
        DrawScene();
        if (CFaceView* p = GetDocument()->GetViewOrigPhoto<CFaceView>(); p && p->m_hWnd) p->RedrawWindow();
        return;
    }
    if (cloneState == 0) {
        if (photoSource) {
            cloneOffsets[0] = u - cloneSource.x;
            cloneOffsets[1] = (half - v) - cloneSource.y;
        } else {
            cloneOffsets[0] = hit.y - cloneHeight;
            cloneOffsets[1] = angleOf(hit) - cloneAngle;
        }
        cloneState = 1;
    }
    itemDrag = true;
    GetDocument()->CheckPoint(32);
    svc::MainFrame* f = Frame();
    if (svc::BrushPalette* made = f ? f->BrushPaletteMade() : nullptr) {
        painter_.brush = made->ReadBrush();
    } else if (!painter_.brush.isSet()) {
        const palette::BrushSliders s = palette::BrushPaletteStart(h->texture.get());
        painter_.brush.Set(2 * palette::BrushSizeOf(s.size), s.strength, RGBColor{}, true);
    }
    CloneDab(u, v, w);
    if (!ReuploadTexture()) return;
    DrawScene();
    if (auto* p = GetDocument()->GetViewOrigPhoto<CViewOrigPhoto>()) p->DrawCloneRubber();
}

void CViewEdit3D::CloneMove(UINT flags, CPoint point) {
    head3* h = Head();
    if (!itemDrag || cloneState != 1 || !h || !h->texture) return;
    generalpoint3& w = working_generalpoint3();
    if (!Coord2Dto3D(vector2<double>(point.x, point.y), w)) return;
    const extrapoint& e = w.extra.data();
    int u = 0, v = 0;
    Coord3DToTextureCoord(*h->texture, e.tri, e.local, u, v);
    if (flags & MK_LBUTTON) CloneDab(u, v, w);
    cloneLastTriangle = e.tri;
    if (!ReuploadTexture()) return;
    DrawScene();
    if (auto* p = GetDocument()->GetViewOrigPhoto<CViewOrigPhoto>()) p->DrawCloneRubber();
}

// ---------------------------------------------------------------- free tool

void CViewEdit3D::RebuildLists(bool gatheredOnly) {
    CFaceDoc* d = GetDocument();
    if (d && d->kernel3D) core_.buildDisplayLists(*d->kernel3D, gatheredOnly, d->stage);
}

void CViewEdit3D::FreePress(UINT, CPoint point) {
    head3* h = Head();
    generalpoint3& w = working_generalpoint3();
    if (!h || !Coord2Dto3D(vector2<double>(point.x, point.y), w)) return;
    GetDocument()->CheckPoint(32);
    freePress = point;
    freeShift = CPoint(0, 0);
    pulled = false;
    itemDrag = true;
    grabbed = w.point();
    clean_gatheredTriangles();
    h->gatherTriangles2(grabbed, 1.2 * pullRadius);
    const ToolValues now = Palettes();
    pullRadius = now.radius;
    if (MirrorTool()) {
        vector3<double> g = grabbed;
        h->gatherTriangles2(h->GetMirrorPoint(&g, nullptr), 1.2 * pullRadius);
    }
    h->Save_gatheredTriangles();
    // The lists alone: the octree stays as it is until the release.
    RebuildLists(false);
    DrawScene();
}

void CViewEdit3D::FreePull() {
    head3* h = Head();
    if (!h || !itemDrag) return;
    h->LoadSaved_gatheredTriangles();
    const vector3<double> target = grabbed + Vector2Dto3D(freeShift);
    const ToolValues now = Palettes();
    pullRadius = now.radius;
    const int radius = now.shape >= 3 ? pullRadius / 3 : pullRadius;
    dynarray<T3DControlPoint> controls(0, 4, 1.5);
    controls.add() = T3DControlPoint{grabbed, target, radius};
    if (MirrorTool()) {
        vector3<double> g = grabbed, t = target;
        controls.add() = T3DControlPoint{h->GetMirrorPoint(&g, nullptr), h->GetMirrorPoint(&t, nullptr), radius};
    }
    CalculateNewPoints(*h, &controls, 2, true, now.shape + 1);
    RebuildLists(true);
    DrawScene();
    pulled = true;
}

void CViewEdit3D::FreeRelease() {
    head3* h = Head();
    if (!h || !itemDrag) return;
    if (pulled) {
        h->ModifOctree_by_gatheredTriangles();
        h->DeleteSaved_gatheredTriangles();
        clean_gatheredTriangles();
        h->UpdateFeaturePoints();
        RebuildLists(false);
        DrawScene();
    } else {
        // A release without a move leaves the head and its octree as they were.
        h->DeleteSaved_gatheredTriangles();
        clean_gatheredTriangles();
        RebuildLists(true);
    }
    itemDrag = false;
    pulled = false;
}
