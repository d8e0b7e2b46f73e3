#include "document/obj_export.h"

#include <cmath>
#include <cstdlib>

#include "document/c_format.h"
#include "document/picture_bytes.h"
#include "document/safe_save.h"
#include "framework/datetime.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace files {

namespace {

constexpr const char* kWeb = "www.tervanik.example";
constexpr const char* kMail = "support@tervanik.example";

std::size_t lastSeparator(const std::string& path) {
    std::size_t a = path.rfind('\\'), b = path.rfind('/');
    if (a == std::string::npos) return b;
    if (b == std::string::npos) return a;
    return std::max(a, b);
}

bool endsWithObj(const std::string& path) {
    if (path.size() < 4) return false;
    std::string e = path.substr(path.size() - 4);
    for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
    std::size_t sep = lastSeparator(path);
    return e == ".obj" && (sep == std::string::npos || sep < path.size() - 4);
}

// The file name without folder and without its ".obj".
std::string baseName(const std::string& path) {
    std::size_t sep = lastSeparator(path);
    std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    if (endsWithObj(path)) name.resize(name.size() - 4);
    return name;
}

std::string cut80(std::string s) {
    if (s.size() > 80) s.resize(80);
    return s;
}

std::string xmlEscaped(const char* s) {
    std::string out;
    for (; *s; ++s) {
        switch (*s) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += *s;
        }
    }
    return out;
}

class Exporter {
public:
    Exporter(const std::string& path, const ObjExportInputs& in) : path_(path), in_(in), h_(*in.head) {
        base_ = baseName(path);
        int largest = -1;
        for (int v = h_.vertices.first(); v != -1; v = h_.vertices.nextOf(v)) largest = std::max(largest, v);
        serial_.assign(std::size_t(largest + 1), -1);
        int n = 0;
        for (int v = h_.vertices.first(); v != -1; v = h_.vertices.nextOf(v)) serial_[std::size_t(v)] = n++;
        info_ = cut80(cformat("V%.2f", in.version) +
                      std::string(CTime::GetCurrentTime().Format(",%Y.%m.%d:%H:%M:%S").View()) + " " + base_);
    }

    // Vertex numbers in the file (1-based) by their place in the chain.
    int number(int v) const { return v >= 0 && std::size_t(v) < serial_.size() ? serial_[std::size_t(v)] + 1 : 0; }

    std::string counts(bool variant2) const {
        return cut80(cformat(variant2 ? "Num verts: %d Num sets: %d Texture size: %dx%d"
                                      : "Num verts: %d Num sets: %d Texture: %dx%d",
                             h_.vertices.count(), h_.triangles.count(), in_.textureSize, in_.textureSize));
    }

    void creator(std::string& o, bool age) const {
        o += age ? "# This file was created by Tervanik's Ostrelo program\n#\n"
                 : "# This file was created by Tervanik's Brivanta program\n#\n";
    }

    void contact(std::string& o, bool email) const {
        cappend(o, "# http:   %s\n", kWeb);
        cappend(o, email ? "# email: %s\n" : "# e-mail: %s\n", kMail);
        o += "#\n";
    }

    void headerA(std::string& o, bool age) const {
        creator(o, age);
        cappend(o, "# %s\n", info_.c_str());
        cappend(o, "# %s\n#\n", counts(false).c_str());
        contact(o, false);
    }

    void notesBlock(std::string& o) const {
        if (in_.notes.empty()) return;
        o += "#Info:\n";
        std::size_t start = 0;
        for (;;) {
            std::size_t end = in_.notes.find('\n', start);
            std::string piece = in_.notes.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!piece.empty() && piece.back() == '\r') piece.pop_back();
            cappend(o, "# %s\n", piece.c_str());
            if (end == std::string::npos) break;
            start = end + 1;
        }
        o += "#\n";
    }

    void vertexLines(std::string& o) const {
        const double s = h_.scale;
        CLocaleScope c;
        char line[160];
        for (int v = h_.vertices.first(); v != -1; v = h_.vertices.nextOf(v)) {
            const vector3<double>& p = h_.vertices[v].position;
            int n = std::snprintf(line, sizeof line, "v %g   %g   %g\n", (p.x + h_.offset.x) / s,
                                  (p.y + h_.offset.y) / s, (p.z + h_.offset.z) / s);
            o.append(line, std::size_t(n));
        }
    }

    bool filtered(const triangle& t, bool useFilter) const {
        if (!useFilter) return false;
        if (in_.templateId == 101 && (t.material == 15 || t.material == 7)) return true;
        if (in_.templateId == 102 && t.material == 2) return true;
        return false;
    }

    void plainFaces(std::string& o) const {
        o += "g brivanta\nusemtl brivanta\n";
        CLocaleScope c;
        char line[160];
        for (int t = h_.triangles.first(); t != -1; t = h_.triangles.nextOf(t)) {
            const triangle& tr = h_.triangles[t];
            if (filtered(tr, true)) continue;
            int a = number(tr.a), b = number(tr.b), cc = number(tr.c);
            int n = std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d \n", a, a, a, b, b, b, cc, cc, cc);
            o.append(line, std::size_t(n));
        }
    }

    // The first triangle of a vertex and the vertex's corner in it.
    const triangle* firstTriangle(int v, int& corner) const {
        const vertex& vx = h_.vertices[v];
        corner = -1;
        if (vx.triangles.count() == 0) return nullptr;
        const triangle& t = h_.triangles[vx.triangles[vx.triangles.first()]];
        for (int k = 0; k < 3; ++k)
            if (t.corner(k) == v) corner = k;
        return &t;
    }

    void texturePerVertex1(std::string& o) const {
        CLocaleScope c;
        char line[96];
        for (int v = h_.vertices.first(); v != -1; v = h_.vertices.nextOf(v)) {
            int k;
            const triangle* t = firstTriangle(v, k);
            double u = 0, tv = 1;
            if (t && k >= 0) {
                double cu = t->texture[k].x, cv = t->texture[k].y;
                if (cu >= 0 && cu <= 1 && cv >= 0.5 && cv <= 1) u = cu, tv = cv;
            }
            int n = std::snprintf(line, sizeof line, "vt %g   %g\n", u, (1 - tv) * 2);
            o.append(line, std::size_t(n));
        }
    }

    void texturePerVertex3(std::string& o) const {
        CLocaleScope c;
        char line[96];
        const auto& rows = in_.tables->txtCoordinates;
        for (int v = h_.vertices.first(); v != -1; v = h_.vertices.nextOf(v)) {
            int k;
            const triangle* t = firstTriangle(v, k);
            double u = 0, tv = 0;
            if (t && (t->group == 1 || t->group == 2)) {
                if (k < 0) {
                    tv = 1;
                } else {
                    double cu = t->texture[k].x, cv = t->texture[k].y;
                    if (cu >= 0 && cu <= 1 && cv >= 0 && cv <= 1) u = cu, tv = cv;
                }
            } else if (t && k >= 0) {
                int row = t->txtRow[k];
                if (row >= 0 && row < rows.size()) u = rows[row].u, tv = rows[row].v * 0.5;
            }
            int n = std::snprintf(line, sizeof line, "vt %g   %g\n", u, tv);
            o.append(line, std::size_t(n));
        }
    }

    void normals(std::string& o) const {
        for (int v = h_.vertices.first(); v != -1; v = h_.vertices.nextOf(v)) o += "vn 0   0   0\n";
    }

    // Each row's line is formatted once: rows repeat at every corner.
    void rowLine(std::string& o, int row) const {
        const auto& rows = in_.tables->txtCoordinates;
        if (row < 0 || row >= rows.size()) {
            o += "vt 0.000000   0.000000\n";
            return;
        }
        if (rowText_.empty()) rowText_.resize(std::size_t(rows.size()));
        std::string& text = rowText_[std::size_t(row)];
        if (text.empty()) text = cformat("vt %.6f   %.6f\n", rows[row].u, rows[row].v);
        o += text;
    }

    void groupedFaces(std::string& o, bool useFilter) const {
        const svc::FaceTables& tb = *in_.tables;
        // A quad is a triangle (a, b, c) and a live partner that holds a and
        // c and names no partner itself; the partner then writes nothing.
        std::vector<char> live, absorbed;
        auto mark = [](std::vector<char>& m, int i) {
            if (std::size_t(i) >= m.size()) m.resize(std::size_t(i) + 1, 0);
            m[std::size_t(i)] = 1;
        };
        auto has = [](const std::vector<char>& m, int i) { return i >= 0 && std::size_t(i) < m.size() && m[std::size_t(i)]; };
        for (int t = h_.triangles.first(); t != -1; t = h_.triangles.nextOf(t)) mark(live, t);
        std::vector<int> fourth;
        auto fourthOf = [&](int t) { return std::size_t(t) < fourth.size() ? fourth[std::size_t(t)] : -1; };
        for (int t = h_.triangles.first(); t != -1; t = h_.triangles.nextOf(t)) {
            const triangle& tr = h_.triangles[t];
            int q = tr.quadPartner;
            if (filtered(tr, useFilter) || q == t || !has(live, q) || has(absorbed, q) || has(absorbed, t)) continue;
            const triangle& p = h_.triangles[q];
            if (p.quadPartner != -1 || filtered(p, useFilter)) continue;
            int a = tr.a, b = tr.b, c = tr.c;
            bool holdsAC = (p.a == a || p.b == a || p.c == a) && (p.a == c || p.b == c || p.c == c);
            int d = -1;
            for (int k = 0; k < 3; ++k)
                if (p.corner(k) != a && p.corner(k) != c) d = p.corner(k);
            if (!holdsAC || d == -1 || d == b) continue;
            mark(absorbed, q);
            if (std::size_t(t) >= fourth.size()) fourth.resize(std::size_t(t) + 1, -1);
            fourth[std::size_t(t)] = q;
        }
        int lastGroup = -1, lastMaterial = -1;
        bool first = true;
        CLocaleScope c;
        for (int t = h_.triangles.first(); t != -1; t = h_.triangles.nextOf(t)) {
            const triangle& tr = h_.triangles[t];
            if (filtered(tr, useFilter) || has(absorbed, t)) continue;
            if (first || tr.group != lastGroup) {
                if (tr.group >= 0 && tr.group < tb.groups.size()) {
                    std::string name = tb.groups[tr.group].name;
                    // One stored name may stand for several group lines;
                    // names stored as "~g_" by older imports are joined alike.
                    for (std::size_t i = name.find("~g_"); i != std::string::npos; i = name.find("~g_", i))
                        name[i + 2] = ' ';
                    for (std::size_t i = name.find('~'); i != std::string::npos; i = name.find('~', i)) name[i] = '\n';
                    o += "g " + name + "\n";
                }
            }
            if (first || tr.material != lastMaterial) {
                if (tr.material >= 0 && tr.material < tb.materials.size())
                    o += std::string("usemtl ") + tb.materials[tr.material].name + "\n";
            }
            first = false;
            lastGroup = tr.group;
            lastMaterial = tr.material;
            int q = fourthOf(t);
            if (q >= 0) {
                const triangle& p = h_.triangles[q];
                int d = -1, dk = -1;
                for (int k = 0; k < 3; ++k)
                    if (p.corner(k) != tr.a && p.corner(k) != tr.c) d = p.corner(k), dk = k;
                rowLine(o, p.txtRow[dk]);
                rowLine(o, tr.txtRow[2]);
                rowLine(o, tr.txtRow[1]);
                rowLine(o, tr.txtRow[0]);
                cappendHere(o, "f %d/%d   %d/%d   %d/%d   %d/%d\n", number(tr.a), -1, number(tr.b), -2, number(tr.c), -3,
                        number(d), -4);
            } else {
                rowLine(o, tr.txtRow[2]);
                rowLine(o, tr.txtRow[1]);
                rowLine(o, tr.txtRow[0]);
                cappendHere(o, "f %d/%d   %d/%d   %d/%d\n", number(tr.a), -1, number(tr.b), -2, number(tr.c), -3);
            }
        }
    }

    std::string material() const {
        std::string o;
        creator(o, false);
        cappend(o, "# %s\n#\n", info_.c_str());
        contact(o, false);
        o += "\n";
        o += "newmtl brivanta\n\tNs 0\n\td 1\n\tillum 2\n\tKd 102.00 102.00 102.00\n\tKs 179.00 179.00 179.00\n"
             "\tKa 77.00 77.00 77.00\n";
        cappend(o, "\tmap_Kd %s.bmp\n\tmap_Ka %s.bmp\n", base_.c_str(), base_.c_str());
        return o;
    }

    std::string morphTransforms() const {
        std::string o = "<MorphTransforms>\n";
        const svc::FaceTables& tb = *in_.tables;
        for (int i = 0; i < tb.groups.size(); ++i) {
            const vector3<double>& t = tb.groups[i].value;
            if (std::fabs(t.x) + std::fabs(t.y) + std::fabs(t.z) < 1e-10) continue;
            cappend(o, "\t<Group name=\"%s\">\n", xmlEscaped(tb.groups[i].name).c_str());
            cappend(o, "\t\t<Trans x=\"%g\" y=\"%g\" z=\"%g\" />\n", t.x / h_.scale, t.y / h_.scale, t.z / h_.scale);
            o += "\t</Group>\n";
        }
        o += "</MorphTransforms>\n";
        return o;
    }

    // The texture picture of a variant as BMP bytes.
    std::string texturePicture(int variant) const {
        const TextureImage& tex = *h_.texture;
        const int n = tex.width;
        CWinBmp bmp;
        auto at = [&](int x, int r) {
            const unsigned char* p = tex.rgb.data() + (std::size_t(r) * tex.width + x) * 3;
            return CPixel32(p[0], p[1], p[2], 0);
        };
        if (variant == 1 || variant == 2) {
            const int half = std::max(1, tex.height / 2);
            bmp.Create(n, half, 32, true);
            for (int y = 0; y < half; ++y)
                for (int x = 0; x < n; ++x)
                    bmp.SetPixel(x, variant == 1 ? y : half - 1 - y,
                                 at(x, variant == 1 ? std::min(tex.height - 1, tex.height / 2 + y) : y));
            bmp.ResizeBilinear(n, tex.height);
        } else {
            bmp.Create(n, tex.height, 32, true);
            for (int r = 0; r < tex.height; ++r)
                for (int x = 0; x < n; ++x) bmp.SetPixel(x, variant == 3 ? tex.height - 1 - r : r, at(x, r));
        }
        return BmpBytes(bmp);
    }

    bool hasTexture() const {
        const TextureImage* t = h_.texture.get();
        return t && t->width > 0 && t->height > 0 && t->rgb.size() >= std::size_t(t->width) * t->height * 3;
    }

    std::string bumpPath() const {
        std::size_t sep = lastSeparator(path_);
        if (sep == std::string::npos) return "bumpmap.bmp";
        return path_.substr(0, sep) + "\\bumpmap.bmp";
    }

    void build(ExportFiles& out) const {
        std::string o;
        o.reserve(std::size_t(h_.vertices.count()) * 120 + std::size_t(h_.triangles.count()) * 110 + 4096);
        const int v = in_.variant;
        if (v == 1 || v == 3) {
            headerA(o, false);
            notesBlock(o);
            cappend(o, "mtllib %s.mtl\n", base_.c_str());
            vertexLines(o);
            if (v == 1) {
                texturePerVertex1(o);
                normals(o);
            } else {
                normals(o);
                texturePerVertex3(o);
            }
            plainFaces(o);
            out.emplace_back(path_, std::move(o));
            if (hasTexture()) {
                out.emplace_back(CompanionPath(path_, ".mtl"), material());
                out.emplace_back(CompanionPath(path_, ".bmp"), texturePicture(v));
            }
            return;
        }
        if (v == 2) {
            creator(o, false);
            cappend(o, "# %s\n", info_.c_str());
            cappend(o, "# %s\n", counts(true).c_str());
            contact(o, true);
            cappend(o, "# Source geometry: %s.obj\n\n", in_.objectName.c_str());
        } else {
            headerA(o, true);
            notesBlock(o);
        }
        vertexLines(o);
        o += "\n";
        groupedFaces(o, v == 2 && !in_.dazMode);
        out.emplace_back(path_, std::move(o));
        if (hasTexture()) out.emplace_back(CompanionPath(path_, ".bmp"), texturePicture(v));
        bool age = in_.agePicture && in_.agePicture->GetWidth() > 0 && in_.agePicture->GetHeight() > 0;
        if (age && (v == 2 || hasTexture())) out.emplace_back(bumpPath(), BmpBytes(*in_.agePicture));
        if (in_.dazMode) out.emplace_back(CompanionPath(path_, ".dsx"), morphTransforms());
    }

private:
    std::string path_;
    const ObjExportInputs& in_;
    const head3& h_;
    std::string base_;
    std::string info_;
    std::vector<int> serial_;
    mutable std::vector<std::string> rowText_;
};

}  // namespace

std::string CompanionPath(const std::string& objPath, const char* extension) {
    if (endsWithObj(objPath)) return objPath.substr(0, objPath.size() - 4) + extension;
    return objPath + extension;
}

bool BuildObjExport(const std::string& path, const ObjExportInputs& in, ExportFiles& out, std::string& reason) {
    out.clear();
    if (in.variant < 1 || in.variant > 4) {
        reason = cformat("variant %d", in.variant);
        return false;
    }
    if (!in.head || !in.tables) {
        reason = "no head";
        return false;
    }
    if (!std::isfinite(in.head->scale) || in.head->scale == 0) {
        reason = "the head's scale is 0 or not finite";
        return false;
    }
    try {
        Exporter(path, in).build(out);
    } catch (const CTextException& e) {
        reason = e.GetErrorText();
        out.clear();
        return false;
    }
    return true;
}

bool SaveOBJFile(const std::string& path, const ObjExportInputs& in, std::string& reason, std::string* failed) {
    ExportFiles files;
    if (failed) *failed = path;
    if (!BuildObjExport(path, in, files, reason)) return false;
    // A set of old and new files does not go together: all or none.
    return SafeSaveAll(files, failed, &reason);
}

}  // namespace files
