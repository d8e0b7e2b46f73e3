#include "tests/support/project_dump.h"

#include <cstdio>
#include <sstream>

#include "document/facedoc.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"

namespace testsupport {

namespace {

std::string num(double v) {
    char b[48];
    std::snprintf(b, sizeof b, "%.7g", double(float(v)));
    return b;
}

}  // namespace

uint64_t Fnv1a(const void* data, std::size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

std::string DumpTables(const svc::FaceTables& t) {
    std::ostringstream o;
    o << "groups " << t.groups.size() << "\n";
    for (int i = 0; i < t.groups.size(); ++i)
        o << "  " << t.groups[i].name << " " << num(t.groups[i].value.x) << " " << num(t.groups[i].value.y) << " "
          << num(t.groups[i].value.z) << "\n";
    o << "materials " << t.materials.size() << "\n";
    for (int i = 0; i < t.materials.size(); ++i) o << "  " << t.materials[i].name << "\n";
    o << "coordinates " << t.txtCoordinates.size() << "\n";
    for (int i = 0; i < t.txtCoordinates.size(); ++i)
        o << "  " << num(t.txtCoordinates[i].u) << " " << num(t.txtCoordinates[i].v) << "\n";
    o << "chosen " << t.headGroup << " " << t.faceMaterial << " " << t.lipMaterial << " " << t.eyeSocketMaterial
      << "\n";
    return o.str();
}

std::string DumpHead(const head3& h) {
    std::ostringstream o;
    o << "head vertices " << h.vertices.count() << " triangles " << h.triangles.count() << " points "
      << h.featurepoints.count() << " lines " << h.featurelines.count() << " regions " << h.regions.count()
      << " scale " << num(h.scale) << " offset " << num(h.offset.x) << " " << num(h.offset.y) << " "
      << num(h.offset.z) << "\n";
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const auto& p = h.vertices[v].position;
        o << "v " << v << " " << num(p.x) << " " << num(p.y) << " " << num(p.z) << "\n";
    }
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        const triangle& tr = h.triangles[t];
        o << "t " << t << " " << int(tr.a) << " " << int(tr.b) << " " << int(tr.c) << " q " << int(tr.quadPartner)
          << " g " << tr.group << " m " << tr.material << " r " << tr.txtRow[0] << " " << tr.txtRow[1] << " "
          << tr.txtRow[2];
        for (int k = 0; k < 3; ++k) o << " " << num(tr.texture[k].x) << " " << num(tr.texture[k].y);
        for (int k = 0; k < 3; ++k) o << " " << num(tr.further[k].x) << " " << num(tr.further[k].y);
        o << "\n";
    }
    if (h.texture)
        o << "texture " << h.texture->width << "x" << h.texture->height << " "
          << Fnv1a(h.texture->rgb.data(), h.texture->rgb.size()) << "\n";
    else
        o << "texture none\n";
    return o.str();
}

std::string DumpMarks(const head2& m) {
    std::ostringstream o;
    o << "marks valid " << m.valid << " points " << m.photoPoints.count() << "/" << m.overlayPoints.count()
      << " lines " << m.photoLines.count() << "/" << m.overlayLines.count() << "\n";
    auto points = [&](const auto& c) {
        for (int k = c.first(); k != -1; k = c.nextOf(k))
            o << "  p " << c[k].name() << " " << num(c[k].position.x) << " " << num(c[k].position.y) << "\n";
    };
    points(m.photoPoints);
    points(m.overlayPoints);
    auto lines = [&](const auto& c) {
        for (int k = c.first(); k != -1; k = c.nextOf(k)) {
            o << "  l " << c[k].name();
            for (int q = c[k].first(); q != -1; q = c[k].nextOf(q))
                o << " (" << num(c[k][q].position.x) << " " << num(c[k][q].position.y) << " " << c[k][q].kind << ")";
            o << "\n";
        }
    };
    lines(m.photoLines);
    lines(m.overlayLines);
    return o.str();
}

std::string DumpView(const files::ViewSection& v) {
    std::ostringstream o;
    for (const vector3<double>* p : {&v.eye, &v.center, &v.up}) o << num(p->x) << " " << num(p->y) << " " << num(p->z) << " ";
    o << num(v.fieldOfView) << " " << num(v.pitch) << " " << num(v.yaw) << " |";
    o << " " << v.viewport.x << " " << v.viewport.y << " " << v.viewport.width << " " << v.viewport.height;
    o << " " << num(v.zoom) << " |";
    for (int32_t r : v.reserved) o << " " << r;
    o << " | " << num(v.panX) << " " << num(v.panY) << " " << num(v.offsetX) << " " << num(v.offsetY);
    return o.str();
}

std::string DumpOverlay(const files::OverlaySection& v) {
    std::ostringstream o;
    o << num(v.principalX) << " " << num(v.principalY) << " |";
    o << " " << v.fitted.x << " " << v.fitted.y << " " << v.fitted.width << " " << v.fitted.height << " |";
    for (double d : {v.photoToGL.x.a, v.photoToGL.x.b, v.photoToGL.y.a, v.photoToGL.y.b}) o << " " << num(d);
    return o.str();
}

std::string DumpProject(const files::ProjectRecord& r, bool withViews) {
    std::ostringstream o;
    o << "stage " << r.stage << " template " << r.templateId << " photo number " << r.photoNumber << "\n";
    o << "notes [" << r.notes << "] flag " << int(r.projectFlag) << " texture " << r.textureSize << " mirrored "
      << r.mirrored << "\n";
    o << "values";
    for (int32_t v : r.photo.values) o << " " << v;
    o << "\nphoto " << (r.hasPhoto ? "yes " : "no ") << r.photo.bytes.size() << " "
      << Fnv1a(r.photo.bytes.data(), r.photo.bytes.size()) << "\n";
    o << "preview " << r.preview.GetWidth() << "x" << r.preview.GetHeight() << "\n";
    if (r.marks) o << DumpMarks(*r.marks);
    o << "frame " << r.frame.width << " " << r.frame.height << "\n";
    if (withViews) {
        for (int i = 0; i < 4; ++i) o << files::kViewNames[i] << " " << DumpView(r.views[i]) << "\n";
        o << "overlay " << DumpOverlay(r.overlay) << "\n";
    }
    if (r.head) o << DumpHead(*r.head);
    o << DumpTables(r.tables);
    if (r.sections.present)
        o << "sections " << r.sections.positions.size() / 3 << " " << r.sections.points2D.size() / 12 << "\n";
    return o.str();
}

std::string DumpPhotoKernel(const CKernel2D& k) {
    std::ostringstream o;
    o << "notes [" << k.notes.View() << "] crop " << k.left << " " << k.top << " " << k.right << " " << k.bottom
      << " " << k.quarterTurns << " " << k.mirrorLeftRight << " " << k.mirrorTopBottom << " load " << k.loadLeft
      << " " << k.loadTop << " " << k.loadRight << " " << k.loadBottom << " bytes " << k.fileBytes.size() << " "
      << Fnv1a(k.fileBytes.data(), k.fileBytes.size()) << " photo " << k.photo.GetWidth() << "x"
      << k.photo.GetHeight() << "\n";
    if (k.head) o << DumpMarks(*k.head);
    return o.str();
}

std::string DumpDocument(CFaceDoc& d) {
    std::ostringstream o;
    o << "stage " << d.stage << " template " << d.templateId << " texture " << d.textureSize << " flag "
      << int(d.projectFlag) << " photo number " << d.photoNumber << " mirrored " << d.kernel3D->head->mirrored
      << "\n";
    o << DumpPhotoKernel(*d.kernel2D);
    o << DumpHead(*d.kernel3D->head);
    o << DumpTables(d.tables());
    return o.str();
}

}  // namespace testsupport
