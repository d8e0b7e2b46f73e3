// Head files: the cube as .the, .phs with vertex gaps and odd widths, reading
// both back, and refusal of bad and cut files.

#include <cstring>
#include <sstream>
#include <tuple>
#include <vector>

#include "document/head_files.h"
#include "document/model_scope.h"
#include "fitting/kernel3d.h"
#include "foundation/random.h"
#include "framework/resources.h"
#include "model/octree.h"
#include "tests/document/files_fixture.h"
#include "tests/support/test_meshes.h"

namespace {

using filestest::FilesTest;
using namespace files;

class HeadFilesTest : public FilesTest {
protected:
    void TearDown() override {
        head.reset();
        FilesTest::TearDown();
    }

    // A cube whose vertices sit in slots 2..9 (0 and 1 were freed), with a
    // texture coordinate from each corner's position and a w x h texture.
    void gappedCube(int w, int h) {
        head = std::make_unique<head3>();
        head->set_actual();
        Index<vertex> d0 = testmesh::addVertex(*head, {}), d1 = testmesh::addVertex(*head, {});
        testmesh::build(*head, testmesh::subdividedCubeShape(1, 10));
        head->vertices.remove_index(d0);
        head->vertices.remove_index(d1);
        for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t)) {
            triangle& tr = head->triangles[t];
            for (int k = 0; k < 3; ++k) {
                const vector3<double>& p = tr.corner(k).data().position;
                tr.texture[k] = vector2<double>((p.x + 10) / 40, (p.y + 10) / 80 + 0.5);
            }
        }
        auto tex = std::make_unique<TextureImage>();
        tex->width = w;
        tex->height = h;
        for (int i = 0; i < w * h; ++i)
            for (int c = 0; c < 3; ++c) tex->rgb.push_back(static_cast<unsigned char>(i * 3 + c * 80));
        head->texture = std::move(tex);
    }

    std::unique_ptr<head3> head;
};

TEST_F(HeadFilesTest, CubeAsTheFile) {
    svc::FaceTables tables;
    head = templateHead(121, tables);
    std::string text = WriteTHE(*head, &tables, "t");
    std::string binary = WriteTHE(*head, &tables, "b");
    // The head writer writes text either way.
    EXPECT_EQ(binary, "\n" + text);
    const std::string start = "3 1 0 \n\t1 0 0.000000 0.000000 0.000000 1.000000 \n\tAllOfEditedData3D::";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find("\t\t8 \tof::Vertex \n"), std::string::npos);
    EXPECT_NE(text.find("\t\t\t0 -1   -10.000   -10.000   -10.000 \n"), std::string::npos);
    EXPECT_EQ(testsupport::Fnv1a(text.data(), text.size()), 10694862222651607030ull) << testsupport::Fnv1a(text.data(), text.size());
    std::string dump = testsupport::DumpHead(*head) + testsupport::DumpTables(tables);
    head.reset();
    HeadRead back;
    std::string why;
    ASSERT_TRUE(ParseTHE(binary, back, why)) << why;
    EXPECT_EQ(testsupport::DumpHead(*back.head) + testsupport::DumpTables(back.tables), dump);
    EXPECT_EQ(WriteTHE(*back.head, &back.tables, "t"), text);
}

// Every slot pool of the model as numbers: its size and free slots in the
// order they will be handed out (which slots later elements get).
template <class T>
void dumpPool(std::ostringstream& o, const char* name) {
    const auto& pool = fnd::commonchain<T>::commonbas();
    o << name << " " << pool.size() << ":";
    for (int k : pool.empties()) o << " " << k;
    o << "\n";
}
template <class X>
void dumpListPool(std::ostringstream& o, const char* name) {
    const auto& pool = fnd::commonlist<Index<X>>::commonbas();
    o << name << " list " << pool.size() << ":";
    for (int k : pool.empties()) o << " " << k;
    o << "\n";
}

std::string dumpPools() {
    std::ostringstream o;
    dumpPool<vertex>(o, "vertex");
    dumpPool<triangle>(o, "triangle");
    dumpPool<Index<triangle>>(o, "triangle index");
    dumpPool<extrapoint>(o, "extrapoint");
    dumpPool<featurepoint3>(o, "point");
    dumpPool<featureline3>(o, "line");
    dumpPool<linepoint3>(o, "line point");
    dumpPool<featurecolor>(o, "colour");
    dumpPool<area>(o, "area");
    dumpPool<Index<area>>(o, "area index");
    dumpPool<region>(o, "region");
    dumpPool<Index<region>>(o, "region index");
    dumpPool<Index<featurepoint3>>(o, "point index");
    dumpPool<Index<featureline3>>(o, "line index");
    dumpListPool<triangle>(o, "triangle");
    dumpListPool<extrapoint>(o, "extrapoint");
    dumpListPool<linepoint3>(o, "line point");
    return o.str();
}

// A head and everything its reading left: the file it writes, the chain
// orders and links the file does not show, and every pool.
std::string dumpRead(const head3& h, const svc::FaceTables& tables) {
    std::ostringstream o;
    o << WriteTHE(h, &tables, "t") << testsupport::DumpHead(h);
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        o << "fan " << v << ":";
        const auto& fan = h.vertices[v].triangles;
        for (int k = fan.first(); k != -1; k = fan.nextOf(k)) o << " " << int(fan[k]) << "@" << k;
        o << "\n";
    }
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        o << "area " << t << " " << int(h.triangles[t].areaOf) << " " << h.triangles[t].areaNode << "\n";
    return o.str() + dumpPools();
}

// A built-in template is read from the bytes once; later reads take the
// tokens kept then. Each read gives the head a reading of the text gives,
// slot for slot and in the same order, and leaves the pools as that reading
// does: read beside a head that holds slots, and after that head made way.
TEST_F(HeadFilesTest, ABuiltInTemplateReadAgainIsTheHeadItsTextGives) {
    for (unsigned id : {122u, 121u}) {
        SCOPED_TRACE(id);
        const std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", id);
        ASSERT_TRUE(bytes.data());
        files::ForgetTemplateTokens();
        // The same start each time: the cube read first, a few of its
        // elements gone, so the free slots are not in order.
        auto read = [&](bool fromText, std::string& beside, std::string& after) {
            resetModelState();
            svc::FaceTables cubeTables, tables;
            auto present = templateHead(121, cubeTables);
            present->set_actual();
            present->vertices.remove_index(present->vertices.first());
            present->triangles.remove_index(present->triangles.last());
            std::unique_ptr<head3> h;
            if (fromText) {
                CurrentModelScope scope;
                h = std::make_unique<head3>();
                fnd::fileTB f;
                f.open(bytes.data(), bytes.size());
                h->tablesTarget = &tables;
                h->read(f, true);
                h->tablesTarget = nullptr;
                ASSERT_TRUE(f.good());
                h->BuildMirror();
            } else {
                h = ReadTemplateBytes(bytes, tables);
                ASSERT_TRUE(h);
            }
            beside = dumpRead(*h, tables);
            present.reset();
            h->settle();
            h->set_actual();
            after = dumpRead(*h, tables);
        };
        std::string textBeside, textAfter;
        read(true, textBeside, textAfter);
        for (int time = 0; time < 2; ++time) {
            SCOPED_TRACE(time ? "kept tokens" : "first read");
            std::string beside, after;
            read(false, beside, after);
            EXPECT_TRUE(beside == textBeside);
            EXPECT_TRUE(after == textAfter);
        }
    }
}

TEST_F(HeadFilesTest, PhsOfACubeWithVertexGaps) {
    gappedCube(32, 2);
    std::string bytes, why;
    ASSERT_TRUE(WritePHS(*head, bytes, why)) << why;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t nl = bytes.find('\n', at);
        lines.push_back(bytes.substr(at, nl - at));
        at = nl + 1;
    }
    ASSERT_EQ(lines.size(), 1u + 8 + 12 + 2);
    EXPECT_EQ(lines[0], "2 8 12 32 2");
    // Serials count from 0 in chain order (slots 2..9); scale 1, offset 0.
    EXPECT_EQ(lines[1], "      0   10.000  -10.000  -10.000   0.50000 0.50000");
    EXPECT_EQ(lines[8], "      7   -10.000  10.000  -10.000   0.00000 0.25000");
    EXPECT_EQ(lines[9], "      0       0       1       2");
    for (int i = 9; i < 21; ++i) {
        int s, a, b, c;
        ASSERT_EQ(std::sscanf(lines[std::size_t(i)].c_str(), "%d %d %d %d", &s, &a, &b, &c), 4);
        EXPECT_EQ(s, i - 9);
        for (int v : {a, b, c}) EXPECT_TRUE(v >= 0 && v < 8);
    }
    EXPECT_EQ(lines[21].substr(0, 24), "   0    0  0050A0 0353A3");
    EXPECT_EQ(lines[22].substr(0, 17), "   1    0  60B000");
    EXPECT_EQ(lines[22].size(), 10u + 32 * 7);
    EXPECT_EQ(testsupport::Fnv1a(bytes.data(), bytes.size()), 14167151102788312106ull) << testsupport::Fnv1a(bytes.data(), bytes.size());

    // Read back: positions, each vertex's coordinate at its corners, texture.
    std::vector<unsigned char> rgb = head->texture->rgb;
    head.reset();
    HeadRead back;
    ASSERT_TRUE(ParsePHS(bytes, back, why)) << why;
    EXPECT_EQ(back.head->vertices.count(), 8);
    EXPECT_EQ(back.head->triangles.count(), 12);
    EXPECT_EQ(back.head->texture->rgb, rgb);
    std::string again;
    ASSERT_TRUE(WritePHS(*back.head, again, why));
    EXPECT_EQ(again, bytes);
}

TEST_F(HeadFilesTest, PhsTextureLines) {
    for (int w : {512, 40}) {
        gappedCube(w, 3);
        std::string bytes, why;
        ASSERT_TRUE(WritePHS(*head, bytes, why)) << why;
        std::size_t texture = 0;
        for (int i = 0; i < 21; ++i) texture = bytes.find('\n', texture) + 1;
        std::string rows = bytes.substr(texture);
        int lines = 0;
        for (std::size_t at = 0; at < rows.size(); at = rows.find('\n', at) + 1, ++lines) {
            int r, c;
            ASSERT_EQ(std::sscanf(rows.c_str() + at, "%d %d", &r, &c), 2);
            int perRow = (w + 31) / 32;
            EXPECT_EQ(r, lines / perRow);
            EXPECT_EQ(c, lines % perRow * 32);
        }
        EXPECT_EQ(lines, 3 * ((w + 31) / 32));
        if (w == 40) { EXPECT_EQ(rows.substr(0, rows.find('\n')).size(), 10u + 32 * 7); }
        head.reset();
        HeadRead back;
        ASSERT_TRUE(ParsePHS(bytes, back, why)) << why;
        EXPECT_EQ(back.head->texture->width, w);
    }
}

TEST_F(HeadFilesTest, PhsScaleAndOffset) {
    gappedCube(32, 1);
    head->scale = 2;
    head->offset = vector3<double>(10, 0, 0);
    std::string bytes, why;
    ASSERT_TRUE(WritePHS(*head, bytes, why));
    EXPECT_NE(bytes.find("\n      0   10.000  -5.000  -5.000 "), std::string::npos);
    for (double bad : {0.0, std::nan(""), double(INFINITY)}) {
        head->scale = bad;
        EXPECT_FALSE(WritePHS(*head, bytes, why));
        EXPECT_FALSE(SavePHSFile2("/tmp/never_written.phs", *head, why));
    }
}

TEST_F(HeadFilesTest, PhsVersionOne) {
    const std::string v1 = "1 3 1\n0 0 0 0\n1 10 0 0\n2 0 10 0\n0 0 1 2\n";
    HeadRead back;
    std::string why;
    ASSERT_TRUE(ParsePHS(v1, back, why)) << why;
    EXPECT_EQ(back.head->triangles.count(), 1);
    EXPECT_NE(back.head->regions.get("whole_head"), -1);
}

TEST_F(HeadFilesTest, BadHeadFilesAreRefused) {
    svc::FaceTables tables;
    head = templateHead(121, tables);
    const std::string the = WriteTHE(*head, &tables, "t");
    head.reset();
    gappedCube(32, 2);
    std::string phs, why;
    ASSERT_TRUE(WritePHS(*head, phs, why));
    head.reset();
    const std::string v1 = "1 3 1\n0 0 0 0\n1 10 0 0\n2 0 10 0\n0 0 1 2\n";
    auto replaced = [](std::string s, const std::string& from, const std::string& to) {
        std::size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return s.replace(at, from.size(), to);
    };
    struct Case {
        const char* name;
        std::string bytes;
        bool phs;
    };
    std::vector<Case> cases = {
        {"the: version 1", replaced(the, "3 1 0", "1 1 0"), false},
        {"the: mode bits", replaced(the, "3 1 0", "3 5 0"), false},
        {"the: vertex count past the records", replaced(the, "\t\t8 \tof::Vertex \n\t\t\t0", "\t\t9 \tof::Vertex \n\t\t\t0"), false},
        {"the: negative count", replaced(the, "\t\t8 \tof::Vertex \n\t\t\t0", "\t\t-8 \tof::Vertex \n\t\t\t0"), false},
        {"the: slot twice", replaced(the, "\t\t\t1 -1    10.000", "\t\t\t0 -1    10.000"), false},
        {"the: dangling corner", replaced(the, "0 2 3 \t0 0", "0 2 33 \t0 0"), false},
        {"the: dangling texture row", replaced(the, "\t0 1 2 \n", "\t0 1 9 \n"), false},
        {"the: not a number", replaced(the, "-10.000   -10.000   -10.000", "-10.000   x   -10.000"), false},
        {"the: garbage after", the + "junk\n", false},
        {"the: huge slot", replaced(the, "\t\t\t1 -1    10.000", "\t\t\t999999999 -1    10.000"), false},
        {"phs: version 3", "3" + phs.substr(1), true},
        {"phs: counts past the end", replaced(phs, "2 8 12", "2 800000 12"), true},
        {"phs: negative count", replaced(phs, "2 8 12", "2 -8 12"), true},
        {"phs: texture too large", replaced(phs, "32 2\n", "100000 2\n"), true},
        {"phs: serial out of order", replaced(phs, "      1 ", "      5 "), true},
        {"phs: corner past the vertices", replaced(phs, "      0       0       1       2", "      0       0       1       8"), true},
        {"phs: bad colour", replaced(phs, "0050A0", "0050G0"), true},
        {"phs: short colour", replaced(phs, "0050A0", "0050A"), true},
        {"phs: wrong row", replaced(phs, "\n   1    0 ", "\n   2    0 "), true},
        {"phs: a pixel missing", phs.substr(0, phs.size() - 8) + "\n", true},
        {"phs: more after", phs + "1\n", true},
        {"phs: not a number", replaced(phs, "-10.000", "-1x.000"), true},
        {"phs1: slot twice", replaced(v1, "1 10 0 0", "0 10 0 0"), true},
        {"phs1: corner no vertex", replaced(v1, "0 0 1 2", "0 0 1 7"), true},
        {"phs1: huge slot", replaced(v1, "2 0 10 0", "900000 0 10 0"), true},
        {"phs1: records short", v1.substr(0, v1.size() - 4), true},
    };
    svc::FaceTables openTables;
    std::unique_ptr<head3> open = templateHead(121, openTables);
    open->set_actual();
    std::string dump = testsupport::DumpHead(*open);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Read beside the open head, which stays as it was.
        HeadRead r;
        EXPECT_FALSE(c.phs ? ParsePHS(c.bytes, r, why) : ParseTHE(c.bytes, r, why));
        EXPECT_FALSE(r.head);
        EXPECT_FALSE(why.empty());
        std::printf("  %-40s %s\n", c.name, why.c_str());
        EXPECT_EQ(actual_head3, open.get());
        EXPECT_EQ(testsupport::DumpHead(*open), dump);
    }
    open.reset();
    for (const Case& c : cases) {
        HeadRead r;
        EXPECT_FALSE(c.phs ? ParsePHS(c.bytes, r, why) : ParseTHE(c.bytes, r, why)) << c.name;
    }
    for (const auto& [good, isPhs] : {std::pair{the, false}, std::pair{phs, true}, std::pair{v1, true}})
        for (std::size_t n : filestest::cutPoints(good.size())) {
            // A cut of nothing but the final layout leaves the whole file.
            if (good.find_first_not_of(" \t\r\n", n) == std::string::npos) continue;
            HeadRead r;
            std::string_view cut = std::string_view(good).substr(0, n);
            EXPECT_FALSE(isPhs ? ParsePHS(cut, r, why) : ParseTHE(cut, r, why)) << n << " of " << good.size();
        }
}

}  // namespace

namespace {

// Where random lines through the head's box first meet it by its octree:
// triangle, barycentric weights and point, line by line.
std::vector<std::tuple<int, vector3<double>, vector3<double>>> octreeAnswers(head3& h, unsigned seed) {
    h.set_actual();
    h.SetMinMax(false);
    fnd::RandomSource r(seed);
    auto u = [&r](double lo, double hi) { return lo + (hi - lo) * (r.next() / double(fnd::kRandomMax)); };
    std::vector<std::tuple<int, vector3<double>, vector3<double>>> out;
    for (int k = 0; k < 400; ++k) {
        const vector3<double> P(u(h.boxMin.x, h.boxMax.x), u(h.boxMin.y, h.boxMax.y), u(h.boxMin.z, h.boxMax.z));
        const vector3<double> d(u(-1, 1), u(-1, 1), u(-1, 1));
        vector3<double> bary, hit;
        const int t = h.octree().getfirst(P, d, &bary, &hit);
        out.emplace_back(t, bary, hit);
    }
    return out;
}

}  // namespace

// A head read again from the same template takes over the octree and the
// vertex normals the head it replaces had made: no fill, no normals, and
// the tree answers every line as a fill of the new head does. A head that
// differs makes its own.
TEST_F(HeadFilesTest, AHeadReadAgainKeepsTheOctreeAndNormalsItWouldMake) {
    CKernel3D kernel(nullptr);
    svc::FaceTables tables;
    InstallHead(kernel, templateHead(122, tables));
    kernel.head->set_actual();
    ASSERT_EQ(kernel.head->SetMinMaxOctree(false), 1);
    kernel.head->vertexNormals();
    struct Case {
        const char* name;
        bool moved;
        long builds;  // fills, and normal sets
    } cases[] = {{"the same", false, 0}, {"again", false, 0}, {"one vertex moved", true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<head3> next = templateHead(122, tables);
        if (c.moved) next->vertices[next->vertices.first()].position += vector3<double>(0.5, 0, 0);
        InstallHead(kernel, std::move(next));
        head3& h = *kernel.head;
        resetHeadBuildCounts();
        ASSERT_EQ(h.SetMinMaxOctree(false), 1);
        const std::vector<vector3<double>> normals = h.vertexNormals();
        EXPECT_EQ(headBuildCounts().octreeFills, c.builds);
        EXPECT_EQ(headBuildCounts().normalSets, c.builds);
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
            ASSERT_EQ(normals[size_t(v)], normalvector(v)) << v;
        const auto kept = octreeAnswers(h, 7);
        h.octree().fill();
        EXPECT_EQ(octreeAnswers(h, 7), kept);
    }
}
