#include "fitting/kernel3d.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "seams/app.h"
#include "fitting/gl_interface.h"
#include "model/head.h"
#include "seams/views.h"

namespace {

int displayMode(svc::FaceDocument* doc) {
    if (!doc) return 0;
    svc::ViewEdit3D* view = dynamic_cast<svc::ViewEdit3D*>(doc->GetView("ViewEdit3D"));
    return view ? view->displayMode : 0;
}

void beginList(glx::GL& gl, unsigned id) {
    gl.DeleteLists(id, 1);
    gl.NewList(id, glx::kCompile);
}

// The vertex normals of one build (each vertex's normal once, not once per
// corner).
using Normals = std::vector<vector3<double>>;

void corner(glx::GL& gl, const Normals& normals, Index<vertex> v) {
    const vector3<double>& n = normals[size_t(int(v))];
    gl.Normal3d(n.x, n.y, n.z);
    const vector3<double>& p = v.data().position;
    gl.Vertex3d(p.x, p.y, p.z);
}

// A head without the skin colour is drawn in the default colour.
const vector3<double>& skinColour(const head3& h) {
    Index<featurecolor> c = h.colors.get("color_of_skin");
    return c != -1 ? static_cast<const vector3<double>&>(h.colors[c])
                   : static_cast<const vector3<double>&>(default_default_featurecolor());
}

void skinMaterial(glx::GL& gl, const head3& h) {
    const vector3<double>& rgb = skinColour(h);
    const float colour[4] = {float(rgb.x), float(rgb.y), float(rgb.z), 1.0f};
    const float black[4] = {0, 0, 0, 1.0f};
    gl.Materialfv(glx::kFront, glx::kAmbient, colour);
    gl.Materialfv(glx::kFront, glx::kDiffuse, colour);
    gl.Materialfv(glx::kFront, glx::kSpecular, black);
}

void litTriangle(glx::GL& gl, const head3& h, const Normals& normals, const triangle& t) {
    skinMaterial(gl, h);
    for (int k = 0; k < 3; ++k) corner(gl, normals, t.corner(k));
}

void texturedTriangle(glx::GL& gl, const Normals& normals, const triangle& t, bool blackTexel) {
    for (int k = 0; k < 3; ++k) {
        if (blackTexel)
            gl.TexCoord2d(0, 0);
        else
            gl.TexCoord2d(t.texture[k].x, t.texture[k].y);
        corner(gl, normals, t.corner(k));
    }
}

}  // namespace

CKernel3D::CKernel3D(svc::FaceDocument* d) : doc(d) { newHead(); }

CKernel3D::~CKernel3D() {
    if (actual_head3 == head) actual_head3 = nullptr;
    delete head;
}

void CKernel3D::newHead() {
    head = new head3();
    head->set_actual();
}

void CKernel3D::Reset() {
    delete head;
    newHead();
    headState = 0;
}

int CKernel3D::LoadHead(fnd::fileTB& f, int statusOfFace) {
    delete head;
    newHead();
    head->noTopology = statusOfFace > 2000;
    head->read(f, statusOfFace == 1000);
    return f.good();
}

int CKernel3D::LoadPHS(fnd::fileTB& f) {
    delete head;
    newHead();
    head->readPHS(f);
    return f.good();
}

int CKernel3D::SaveHead(fnd::fileTB& f) {
    head->write(f);
    return f.good();
}

std::vector<int> CKernel3D::savedIndices() const {
    std::vector<int> out;
    fnd::chain<Index<triangle>>& g = gatheredTriangles();
    int k = 0;
    for (int n = g.first(); n != -1 && k < head->saved.size(); n = g.nextOf(n), ++k) {
        int t = g[n];
        if (t < 0) continue;
        if (size_t(t) >= out.size()) out.resize(size_t(t) + 1, -1);
        out[size_t(t)] = k;
    }
    return out;
}

CKernel3D::ListInputs CKernel3D::WholeHeadListInputs() const {
    ListInputs in;
    in.head = head;
    in.changeCount = head->changeCount();
    in.mode = displayMode(doc);
    if (in.mode != svc::ViewEdit3D::kLit && in.mode != svc::ViewEdit3D::kTextured) return in;
    in.saved = savedIndices();
    if (in.mode == svc::ViewEdit3D::kTextured) {
        in.imported = svc::app().state().headImport != 0;
    } else {
        const vector3<double>& rgb = skinColour(*head);
        in.skin[0] = rgb.x, in.skin[1] = rgb.y, in.skin[2] = rgb.z;
    }
    return in;
}

void CKernel3D::TrianglesToOpenGLBasic() {
    glx::GL& gl = glx::current();
    beginList(gl, 1);
    gl.Begin(glx::kTriangles);
    const float ambient[4] = {0.2125f, 0.1275f, 0.054f, 1.0f};
    const float diffuse[4] = {0.714f, 0.4284f, 0.18144f, 1.0f};
    const float specular[4] = {0.393548f, 0.271906f, 0.166721f, 1.0f};
    const Normals& normals = head->vertexNormals();
    for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t)) {
        gl.Materialfv(glx::kFront, glx::kAmbient, ambient);
        gl.Materialfv(glx::kFront, glx::kDiffuse, diffuse);
        gl.Materialfv(glx::kFront, glx::kSpecular, specular);
        gl.Materialf(glx::kFront, glx::kShininess, 25.6f);
        for (int k = 0; k < 3; ++k) corner(gl, normals, head->triangles[t].corner(k));
    }
    gl.End();
    gl.EndList();
}

void CKernel3D::TrianglesToOpenGL() {
    glx::GL& gl = glx::current();
    int mode = displayMode(doc);
    beginList(gl, 1);
    if (mode == svc::ViewEdit3D::kLit || mode == svc::ViewEdit3D::kTextured) {
        std::vector<int> saved = savedIndices();
        auto hasSaved = [&](int t) { return size_t(t) < saved.size() && saved[size_t(t)] != -1; };
        bool imported = svc::app().state().headImport != 0;
        const Normals& normals = head->vertexNormals();
        gl.Begin(glx::kTriangles);
        for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t)) {
            if (hasSaved(t)) continue;
            const triangle& tr = head->triangles[t];
            if (mode == svc::ViewEdit3D::kLit) {
                litTriangle(gl, *head, normals, tr);
            } else {
                gl.Color3f(1, 1, 1);
                texturedTriangle(gl, normals, tr, imported && tr.group != 0);
            }
        }
        gl.End();
    }
    gl.EndList();
}

void CKernel3D::TrianglesToOpenGLGathered() {
    glx::GL& gl = glx::current();
    int mode = displayMode(doc);
    beginList(gl, 2);
    if (mode == svc::ViewEdit3D::kLit || mode == svc::ViewEdit3D::kTextured) {
        bool freeTool = svc::mainFrame() && svc::mainFrame()->freeTool;
        std::vector<int> saved = savedIndices();
        fnd::chain<Index<triangle>>& g = gatheredTriangles();
        const Normals& normals = head->vertexNormals();
        gl.Begin(glx::kTriangles);
        for (int n = g.first(); n != -1; n = g.nextOf(n)) {
            Index<triangle> t = g[n];
            const triangle& tr = head->triangles[t];
            if (mode == svc::ViewEdit3D::kLit) {
                litTriangle(gl, *head, normals, tr);
                continue;
            }
            float r = 1, gr = 1, b = 1;
            int k = size_t(int(t)) < saved.size() ? saved[size_t(int(t))] : -1;
            if (freeTool && k != -1) {
                const Save_TRI& s = head->saved[k];
                vector3<double> was = (s.p[0] + s.p[1] + s.p[2]) * (1 / 3.0);
                vector3<double> now = (tr.corner(0).data().position + tr.corner(1).data().position +
                                       tr.corner(2).data().position) *
                                      (1 / 3.0);
                double d = (now - was).length();
                if (d < 2)
                    r = 0, gr = 1, b = 0;
                else if (d < 4)
                    r = 1, gr = 1, b = 0;
                else
                    r = 1, gr = 0, b = 0;
            }
            gl.Color3f(r, gr, b);
            texturedTriangle(gl, normals, tr, false);
        }
        gl.End();
    }
    gl.EndList();
}

void pmTexImage2D(unsigned long target, long level, long internalFormat, long width, long height, long border,
                  unsigned long format, unsigned long type, const void* pixels) {
    glx::GL& gl = glx::current();
    const TextureImage* full = actual_head3 ? actual_head3->texture.get() : nullptr;
    // The head's own texture is the source; a caller that passes other
    // pixels of the same size is reduced from those.
    const unsigned char* src = full && full->width == width && full->height == height &&
                                       full->rgb.size() >= size_t(width) * size_t(height) * 3
                                   ? full->rgb.data()
                                   : static_cast<const unsigned char*>(pixels);
    if (width == height && width > 512 && src) {
        long k = width / 512;
        auto reduced = std::make_unique<TextureImage>();
        reduced->width = reduced->height = 512;
        reduced->rgb.assign(512 * 512 * 3, 0);
        // Each block's sums by channel, a row of blocks at a time, going
        // down the source rows in their order.
        std::vector<long> sums(512 * 3);
        for (long Y = 0; Y < 512; ++Y) {
            std::fill(sums.begin(), sums.end(), 0L);
            for (long j = k * Y; j < k * Y + k; ++j) {
                const unsigned char* row = src + j * width * 3;
                long* s = sums.data();
                for (long X = 0; X < 512; ++X, s += 3)
                    for (long i = 0; i < k; ++i, row += 3) s[0] += row[0], s[1] += row[1], s[2] += row[2];
            }
            unsigned char* out = reduced->rgb.data() + Y * 512 * 3;
            for (size_t n = 0; n < sums.size(); ++n) out[n] = static_cast<unsigned char>(sums[n] / k / k);
        }
        gl.TexImage2D(unsigned(target), level, internalFormat, 512, 512, border, unsigned(format), unsigned(type),
                      reduced->rgb.data());
        if (actual_head3) actual_head3->reducedTexture = std::move(reduced);
        return;
    }
    gl.TexImage2D(unsigned(target), level, internalFormat, width, height, border, unsigned(format), unsigned(type),
                  pixels);
}
