#pragma once
// The full template head as the picture-editor flow reads it (age shapes
// applied), with a test texture laid over it by a frontal projection, and
// the tests' own readings of the built-in data (age shapes, feature
// tables) to compare the morph pages with.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

#include "framework/resources.h"
#include "model/head.h"
#include "model/morph.h"
#include "framework/paths.h"
#include "picture/picencoder.h"
#include "picture/winbmp.h"
#include "tests/support/fakes.h"

namespace morphtest {

// The lines of TEMPLATE `number` mapped with the head's scale and offset,
// one per vertex in chain order.
inline std::vector<vector3<double>> AgeShape(const head3& h, unsigned number) {
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", number);
    std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<vector3<double>> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        double x, y, z;
        if (std::sscanf(text.c_str() + at, "%lg %lg %lg", &x, &y, &z) != 3) break;
        out.push_back({h.scale * x - h.offset.x, h.scale * y - h.offset.y, h.scale * z - h.offset.z});
        at = end + 1;
    }
    return out;
}

// Rows of a FEATURES table as the test reads it: comment lines skipped,
// each field between commas trimmed.
inline std::vector<std::vector<std::string>> TableRows(unsigned number) {
    std::span<const unsigned char> bytes = brv::ResourceBytes("FEATURES", number);
    std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<std::vector<std::string>> rows;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::size_t p = 0, comma;
        while ((comma = line.find(',', p)) != std::string::npos) {
            std::string f = line.substr(p, comma - p);
            std::size_t a = f.find_first_not_of(" \t\r\n"), b = f.find_last_not_of(" \t\r\n");
            fields.push_back(a == std::string::npos ? std::string() : f.substr(a, b - a + 1));
            p = comma + 1;
        }
        if (!fields.empty()) rows.push_back(fields);
    }
    return rows;
}

inline std::vector<int> Slots(const head3& h) {
    std::vector<int> out;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) out.push_back(v);
    return out;
}

inline std::vector<vector3<double>> Positions(const head3& h) {
    std::vector<vector3<double>> out;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) out.push_back(h.vertices[v].position);
    return out;
}

// Largest distance between two position lists (infinity when their
// lengths differ).
inline double Farthest(const std::vector<vector3<double>>& a, const std::vector<vector3<double>>& b) {
    if (a.size() != b.size()) return INFINITY;
    double worst = 0;
    for (std::size_t k = 0; k < a.size(); ++k) worst = std::max(worst, (a[k] - b[k]).length());
    return worst;
}

inline bool BitEqual(const std::vector<vector3<double>>& a, const std::vector<vector3<double>>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (!(a[k].x == b[k].x && a[k].y == b[k].y && a[k].z == b[k].z)) return false;
    return true;
}

// A texture of n x n with every channel value from 0 to 255 on it.
inline std::unique_ptr<TextureImage> PatternTexture(int n) {
    auto t = std::make_unique<TextureImage>();
    t->width = t->height = n;
    t->rgb.resize(size_t(n) * n * 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            unsigned char* p = &t->rgb[(size_t(y) * n + x) * 3];
            p[0] = static_cast<unsigned char>((x + 2 * y) & 255);
            p[1] = static_cast<unsigned char>((3 * x + y + 40) & 255);
            p[2] = static_cast<unsigned char>(((x / 3) * (y / 5) + 7) & 255);
        }
    return t;
}

// The bytes of a BMP file of the picture (written and read back).
inline std::vector<unsigned char> BmpBytes(const CWinBmp& bmp, const std::string& name) {
    // Named by the process: the same test running in another suite at the
    // same time writes and removes its own file.
    const std::string path = brv::TempDirectory() + std::to_string(getpid()) + "_" + name;
    CBmpEncoder().MakeFileFromBmp(path.c_str(), &bmp);
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return out;
}

// A 1024 x 1024 grey picture with a white 5 x 5 dot at each point.
inline CWinBmp DotPicture(const std::vector<std::pair<int, int>>& dots) {
    CWinBmp bmp;
    bmp.Create(1024, 1024, 32, false);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) bmp.SetPixel(x, y, CPixel32(100, 100, 100, 255));
    for (auto [dx, dy] : dots)
        for (int y = dy - 2; y <= dy + 2; ++y)
            for (int x = dx - 2; x <= dx + 2; ++x)
                if (x >= 0 && y >= 0 && x < 1024 && y < 1024) bmp.SetPixel(x, y, CPixel32(255, 255, 255, 255));
    return bmp;
}

// Whether a dot lies at (x, y): a written texel (alpha set) brighter than
// the background (red above 150, the background is 100) within one texel.
inline bool DotAt(const CWinBmp& bmp, int x, int y) {
    for (int j = y - 1; j <= y + 1; ++j)
        for (int i = x - 1; i <= x + 1; ++i) {
            if (i < 0 || j < 0 || i >= bmp.GetWidth() || j >= bmp.GetHeight()) continue;
            const CPixel32 p = bmp.GetPixel(i, j);
            if (p.GetA() != 0 && p.GetR() > 150) return true;
        }
    return false;
}

// The texel of a fixed feature point: its vertex's texture coordinate in
// the first triangle of the vertex.
inline bool FixedPointTexel(const head3& h, const char* name, int size, int& x, int& y) {
    const Index<featurepoint3> f = h.getFeaturepoint(name, false);
    if (f == -1 || h.featurepoints[f].vtx == -1) return false;
    const int v = h.featurepoints[f].vtx;
    const triangle& t = h.triangles[h.vertices[v].triangles[h.vertices[v].triangles.first()]];
    const int corner = t.a == v ? 0 : t.b == v ? 1 : 2;
    x = int(size * t.texture[corner].x + 0.5);
    y = int(size * t.texture[corner].y + 0.5);
    return true;
}

// Texture coordinates of a frontal projection (the head's top at row 0)
// and a pattern texture of n x n; halfHeight: the full work flow's layout,
// the face in the lower half of the texture.
inline void FrontalTexture(head3& h, int n, bool halfHeight) {
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const vector3<double>& p = h.vertices[v].position;
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        triangle& tr = h.triangles[t];
        for (int k = 0; k < 3; ++k) {
            const vector3<double>& p = h.vertices[tr.corner(k)].position;
            double u = (p.x - x0) / (x1 - x0), v = (y1 - p.y) / (y1 - y0);
            tr.texture[k] = {u, halfHeight ? 0.5 + 0.5 * v : v};
        }
    }
    h.Changed();  // as the texture synthesis leaves it
    h.texture = PatternTexture(n);
}

class TemplateHead : public ::testing::Test {
protected:
    void SetUp() override {
        resetModelState();
        services.document.state().templateId = 122;
        services.app.state().pictureEditor = 1;
    }
    void TearDown() override {
        head.reset();
        resetModelState();
    }

    // Reads the full template head (the age-0 shape as base with age0) on a
    // clean model state.
    void Load(bool age0 = false) {
        services.document.state().age0 = age0;
        head.reset();
        resetModelState();
        head = std::make_unique<head3>();
        std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 122);
        ASSERT_NE(bytes.data(), nullptr);
        fileTB f;
        f.open(bytes.data(), bytes.size());
        {
            // A built-in template is read with the reading morphs, as the document does.
            ReadingMorphs morphs;
            head->read(f, false);
        }
        ASSERT_TRUE(f.good());
        ASSERT_GT(head->vertices.count(), 17000);
    }

    void GiveTexture(int n, bool halfHeight) { FrontalTexture(*head, n, halfHeight); }

    fakes::Services services;
    std::unique_ptr<head3> head;
};

}  // namespace morphtest
