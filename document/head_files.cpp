#include "document/head_files.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "document/c_format.h"
#include "document/model_scope.h"
#include "document/project_file.h"
#include "document/record_limit.h"
#include "document/safe_save.h"
#include "document/text_lines.h"
#include "fitting/kernel3d.h"
#include "model/model_io.h"

namespace files {

namespace {

bool onlyLayoutLeft(const fnd::fileTB& f, std::string_view bytes) {
    std::size_t left = f.remaining();
    if (left > bytes.size()) return false;
    for (std::size_t i = bytes.size() - left; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    }
    return true;
}

// The corner of vertex v in triangle t (0, 1, 2), -1 when v is none of them.
int cornerOf(const triangle& t, int v) {
    for (int k = 0; k < 3; ++k)
        if (t.corner(k) == v) return k;
    return -1;
}

}  // namespace

void InstallHead(CKernel3D& kernel, std::unique_ptr<head3> head) {
    // A head read again (a template reloaded) fills the same octree.
    head3::Builds kept;
    if (kernel.head) kept = kernel.head->releaseBuilds();
    delete kernel.head;
    kernel.head = head.release();
    // The slots the old head held are free now: the file's numbers.
    kernel.head->settle();
    kernel.head->set_actual();
    kernel.head->adoptBuilds(std::move(kept));
}

// ---- .the ----

std::string WriteTHE(const head3& head, const svc::FaceTables* tables, const char* mode) {
    std::string bytes;
    fnd::fileTB f;
    f.open(&bytes, mode && mode[0] == 't' ? "wt" : "wb");
    head.write(f, tables);
    return bytes;
}

bool SaveTHEFile(const std::string& path, const head3& head, const svc::FaceTables* tables, const char* mode,
                 std::string& reason) {
    if (!WithinRecordLimit(head, reason)) return false;
    return SafeSave(path, WriteTHE(head, tables, mode), &reason);
}

bool ParseTHE(std::string_view bytes, HeadRead& out, std::string& reason) {
    out = HeadRead();
    reason.clear();
    HeadRead read;
    bool ok = false;
    {
        CurrentModelScope scope;
        fnd::fileTB f;
        f.open(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        read.head = std::make_unique<head3>();
        read.head->tablesTarget = &read.tables;
        read.head->read(f, true);
        read.head->tablesTarget = nullptr;
        if (!f.good()) {
            reason = "the head does not read";
        } else if (!onlyLayoutLeft(f, bytes)) {
            reason = cformat("%zu bytes after the head", f.remaining());
        } else {
            read.tablesRead = head3Version > 2;
            read.head->BuildMirror();
            ok = true;
        }
    }
    if (ok) out = std::move(read);
    return ok;
}

bool LoadTHEFile(const std::string& path, HeadRead& out, std::string& reason) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, reason)) return false;
    return ParseTHE(bytes, out, reason);
}

// ---- .phs ----

bool WritePHS(const head3& head, std::string& bytes, std::string& reason) {
    if (!WithinRecordLimit(head, reason)) return false;
    if (!std::isfinite(head.scale) || head.scale == 0) {
        reason = "the head's scale is 0 or not finite";
        return false;
    }
    int largest = -1;
    for (int v = head.vertices.first(); v != -1; v = head.vertices.nextOf(v)) largest = std::max(largest, v);
    std::vector<int> serial(std::size_t(largest + 1), -1);
    const TextureImage* tex = head.texture.get();
    const int w = tex ? tex->width : 0, h = tex ? tex->height : 0;
    if (tex && tex->rgb.size() < std::size_t(w) * h * 3) {
        reason = "the head's texture is incomplete";
        return false;
    }
    bytes.clear();
    bytes.reserve(std::size_t(w) * h * 7 + std::size_t(h) * (w / 32 + 1) * 11 + 64 * (largest + 1) + 64);
    char line[256];
    std::snprintf(line, sizeof line, "2 %d %d %d %d\n", head.vertices.count(), head.triangles.count(), w, h);
    bytes += line;
    int n = 0;
    const double s = head.scale;
    for (int v = head.vertices.first(); v != -1; v = head.vertices.nextOf(v)) {
        const vertex& vx = head.vertices[v];
        double u = 0, tv = 0;
        if (vx.triangles.count() > 0) {
            const triangle& t = head.triangles[vx.triangles[vx.triangles.first()]];
            int k = cornerOf(t, v);
            if (k >= 0) u = t.texture[k].x, tv = t.texture[k].y;
        }
        serial[std::size_t(v)] = n;
        std::snprintf(line, sizeof line, "%7d   %.3f  %.3f  %.3f   %.5f %.5f\n", n, (vx.position.x + head.offset.x) / s,
                      (vx.position.y + head.offset.y) / s, (vx.position.z + head.offset.z) / s, u, 1 - tv);
        bytes += line;
        ++n;
    }
    n = 0;
    for (int t = head.triangles.first(); t != -1; t = head.triangles.nextOf(t), ++n) {
        const triangle& tr = head.triangles[t];
        auto serialOf = [&](int v) { return v >= 0 && v <= largest ? serial[std::size_t(v)] : -1; };
        std::snprintf(line, sizeof line, "%7d %7d %7d %7d\n", n, serialOf(tr.a), serialOf(tr.b), serialOf(tr.c));
        bytes += line;
    }
    static const char hex[] = "0123456789ABCDEF";
    for (int r = 0; r < h; ++r) {
        const unsigned char* row = tex->rgb.data() + std::size_t(r) * w * 3;
        for (int c = 0; c < w; c += 32) {
            std::snprintf(line, sizeof line, "%4d %4d ", r, c);
            bytes += line;
            // Every row's last group ends its line, whatever the width.
            int end = std::min(w, c + 32);
            char px[7] = {' '};
            for (int x = c; x < end; ++x) {
                const unsigned char* p = row + std::size_t(x) * 3;
                for (int k = 0; k < 3; ++k) {
                    px[1 + 2 * k] = hex[p[k] >> 4];
                    px[2 + 2 * k] = hex[p[k] & 15];
                }
                bytes.append(px, 7);
            }
            bytes += '\n';
        }
    }
    return true;
}

bool SavePHSFile2(const std::string& path, const head3& head, std::string& reason) {
    std::string bytes;
    if (!WritePHS(head, bytes, reason)) return false;
    return SafeSave(path, bytes, &reason);
}

namespace {

// The sizes a PHS 2 file gives: vertices, triangles, texture width and height.
struct Phs2Sizes {
    long vertices = 0, triangles = 0, width = 0, height = 0;
};

// The header's four counts, within the limits and within the file's size.
bool phs2Header(Tokens& in, std::size_t size, Phs2Sizes& n, std::string& reason) {
    if (!in.integer(n.vertices) || !in.integer(n.triangles) || !in.integer(n.width) || !in.integer(n.height)) {
        reason = "header: four counts expected after the version";
        return false;
    }
    const long nV = n.vertices, nT = n.triangles, w = n.width, h = n.height;
    if (nV < 0 || nT < 0 || nV > maxStoredCount || nT > maxStoredCount) {
        reason = cformat("header: %ld vertices and %ld triangles", nV, nT);
        return false;
    }
    if (w < 0 || h < 0 || w > kMaxTextureSize || h > kMaxTextureSize || (w == 0) != (h == 0)) {
        reason = cformat("header: texture of %ld x %ld", w, h);
        return false;
    }
    // Least line lengths: vertex 12, triangle 8, pixel 7 bytes.
    const int64_t least = int64_t(nV) * 12 + int64_t(nT) * 8 + int64_t(w) * h * 7;
    if (least > int64_t(size)) {
        reason = cformat("header: %ld vertices, %ld triangles and %ld x %ld pixels cannot fit in %zu bytes", nV, nT, w,
                        h, size);
        return false;
    }
    return true;
}

// Each vertex: its serial number, position and texture coordinate.
bool phs2Vertices(Tokens& in, long nV, std::vector<head3::PNT>& pnt, std::vector<vector2<double>>& uv,
                  std::string& reason) {
    pnt.resize(static_cast<std::size_t>(nV));
    uv.resize(static_cast<std::size_t>(nV));
    for (long i = 0; i < nV; ++i) {
        long s = -1;
        double v[5];
        bool good = in.integer(s) && s == i;
        for (double& d : v) good = good && in.number(d);
        if (!good) {
            reason = cformat("line %d: vertex %ld expected", in.line(), i);
            return false;
        }
        head3::PNT& p = pnt[std::size_t(i)];
        p = {};
        for (int k = 0; k < 3; ++k) p.v[k] = float(v[k]);
        uv[std::size_t(i)] = vector2<double>(v[3], 1 - v[4]);
    }
    return true;
}

// Each triangle: its serial number and three vertices of the file.
bool phs2Triangles(Tokens& in, long nV, long nT, std::vector<head3::TRI>& tri, std::string& reason) {
    tri.resize(static_cast<std::size_t>(nT));
    for (long i = 0; i < nT; ++i) {
        long s = -1, c[3] = {-1, -1, -1};
        bool good = in.integer(s) && s == i && in.integer(c[0]) && in.integer(c[1]) && in.integer(c[2]);
        if (!good) {
            reason = cformat("line %d: triangle %ld expected", in.line(), i);
            return false;
        }
        for (long x : c)
            if (x < 0 || x >= nV) {
                reason = cformat("line %d: vertex %ld of %ld", in.line(), x, nV);
                return false;
            }
        tri[std::size_t(i)] = {{int(c[0]), int(c[1]), int(c[2]), -1, -1, -1, 0, 0, -1}};
    }
    return true;
}

// The texture's rows in lines of 32 pixels, each line led by its row and
// column, then nothing more.
bool phs2Texture(Tokens& in, long w, long h, TextureImage& texture, std::string& reason) {
    texture.width = int(w);
    texture.height = int(h);
    texture.rgb.resize(std::size_t(w) * h * 3);
    for (long r = 0; r < h; ++r)
        for (long c = 0; c < w; c += 32) {
            long rr = -1, cc = -1;
            if (!in.integer(rr) || !in.integer(cc) || rr != r || cc != c) {
                reason = cformat("line %d: texture row %ld, column %ld expected", in.line(), r, c);
                return false;
            }
            for (long x = c; x < std::min(w, c + 32); ++x) {
                unsigned char rgb[3];
                if (!in.hexColour(rgb)) {
                    reason = cformat("line %d: colour of pixel %ld of row %ld expected", in.line(), x, r);
                    return false;
                }
                std::copy(rgb, rgb + 3, texture.rgb.begin() + (std::size_t(r) * w + x) * 3);
            }
        }
    if (!in.atEnd()) {
        reason = cformat("line %d: more after the texture", in.line());
        return false;
    }
    return true;
}

bool parsePHS2(Tokens& in, std::string_view bytes, HeadRead& out, std::string& reason) {
    Phs2Sizes n;
    std::vector<head3::PNT> pnt;
    std::vector<vector2<double>> uv;
    std::vector<head3::TRI> tri;
    auto texture = std::make_unique<TextureImage>();
    if (!phs2Header(in, bytes.size(), n, reason) || !phs2Vertices(in, n.vertices, pnt, uv, reason) ||
        !phs2Triangles(in, n.vertices, n.triangles, tri, reason) ||
        !phs2Texture(in, n.width, n.height, *texture, reason))
        return false;
    HeadRead read;
    {
        CurrentModelScope scope;
        read.head = std::make_unique<head3>();
        head3& hd = *read.head;
        fnd::fileTB none;
        hd.read_version1(none, int(n.vertices), int(n.triangles), pnt.data(), tri.data());
        // Each vertex's texture coordinate goes back to its corners (the
        // vertices follow the file's order in the chain, in whatever slots).
        std::vector<int> serial(std::size_t(hd.vertices.pool()->size()), -1);
        int k = 0;
        for (int v = hd.vertices.first(); v != -1; v = hd.vertices.nextOf(v)) serial[std::size_t(v)] = k++;
        for (int t = hd.triangles.first(); t != -1; t = hd.triangles.nextOf(t)) {
            triangle& tr = hd.triangles[t];
            for (int c = 0; c < 3; ++c) tr.texture[c] = uv[std::size_t(serial[std::size_t(int(tr.corner(c)))])];
        }
        hd.post_read(true);
        hd.status = 1;
        if (n.width > 0) hd.texture = std::move(texture);
    }
    out = std::move(read);
    return true;
}

// Version 1 goes to the model's reader; its records are first checked here
// so that no index sends the pools far beyond what the file holds.
bool parsePHS1(Tokens& in, std::string_view bytes, HeadRead& out, std::string& reason) {
    long nV = 0, nT = 0;
    if (!in.integer(nV) || !in.integer(nT) || nV < 0 || nT < 0 || nV > maxStoredCount || nT > maxStoredCount ||
        (int64_t(nV) + nT) * 8 > int64_t(bytes.size())) {
        reason = "header: counts of vertices and triangles expected";
        return false;
    }
    const long bound = 16 * (nV + nT) + 1024;
    for (long i = 0; i < nV + nT; ++i) {
        long s = -1;
        double d;
        bool good = in.integer(s) && s >= 0 && s < bound;
        if (i < nV) {
            for (int k = 0; k < 3; ++k) good = good && in.number(d);
        } else {
            for (int k = 0; k < 3; ++k) {
                long c = -1;
                good = good && in.integer(c) && c >= 0 && c < bound;
            }
        }
        if (!good) {
            reason = cformat("line %d: %s record expected", in.line(), i < nV ? "vertex" : "triangle");
            return false;
        }
    }
    if (!in.atEnd()) {
        reason = cformat("line %d: more after the triangles", in.line());
        return false;
    }
    HeadRead read;
    bool ok = false;
    {
        CurrentModelScope scope;
        read.head = std::make_unique<head3>();
        fnd::fileTB f;
        f.open(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        read.head->readPHS(f);
        ok = f.good();
        if (!ok) reason = "the records do not make a head (a slot twice, or a corner that is no vertex)";
    }
    if (ok) out = std::move(read);
    return ok;
}

}  // namespace

bool ParsePHS(std::string_view bytes, HeadRead& out, std::string& reason) {
    out = HeadRead();
    reason.clear();
    Tokens in(bytes);
    long version = 0;
    if (!in.integer(version)) {
        reason = "no version number";
        return false;
    }
    if (version == 2) return parsePHS2(in, bytes, out, reason);
    if (version == 1) return parsePHS1(in, bytes, out, reason);
    reason = cformat("version %ld", version);
    return false;
}

bool LoadPHSFile(const std::string& path, HeadRead& out, std::string& reason) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, reason)) return false;
    return ParsePHS(bytes, out, reason);
}

}  // namespace files
