// OBJ export in its four variants and OBJ import: golden files of the cube,
// the variants' rules, the import's cases, bad and cut files.

#include <cstring>
#include <fstream>

#include "document/model_scope.h"
#include "document/obj_export.h"
#include "document/obj_import.h"
#include "document/safe_save.h"
#include "picture/anypicdecoder.h"
#include "tests/document/files_fixture.h"
#include "tests/support/test_meshes.h"

namespace {

using filestest::FilesTest;
using namespace files;

class ObjTest : public FilesTest {
protected:
    void TearDown() override {
        head.reset();
        FilesTest::TearDown();
    }

    void cube() {
        head.reset();
        head = templateHead(121, tables);
        head->set_actual();
        auto t = std::make_unique<TextureImage>();
        t->width = t->height = 4;
        for (int i = 0; i < 48; ++i) t->rgb.push_back(static_cast<unsigned char>(i * 5));
        head->texture = std::move(t);
    }

    ExportFiles exportFiles(int variant, const std::string& path = "C:\\out\\face.obj") {
        ObjExportInputs in;
        in.head = head.get();
        in.tables = &tables;
        in.variant = variant;
        in.templateId = templateId;
        in.textureSize = head->texture ? head->texture->width : 512;
        in.notes = notes;
        in.agePicture = &age;
        in.dazMode = daz;
        in.objectName = "Genesis";
        ExportFiles files;
        std::string why;
        EXPECT_TRUE(BuildObjExport(path, in, files, why)) << why;
        return files;
    }

    std::unique_ptr<head3> head;
    svc::FaceTables tables;
    int templateId = 121;
    std::string notes;
    CWinBmp age;
    bool daz = false;
};

std::string file(const ExportFiles& f, const std::string& name) {
    for (const auto& [p, b] : f)
        if (p == name) return b;
    return "<missing " + name + ">";
}

std::vector<std::string> names(const ExportFiles& f) {
    std::vector<std::string> out;
    for (const auto& [p, b] : f) out.push_back(p);
    return out;
}

const char* kVariant2 =
    "# This file was created by Tervanik's Brivanta program\n#\n"
    "# V5.00,2005.03.07:09:05:00 face\n"
    "# Num verts: 8 Num sets: 12 Texture size: 4x4\n"
    "# http:   www.tervanik.example\n# email: support@tervanik.example\n#\n"
    "# Source geometry: Genesis.obj\n\n"
    "v -10   -10   -10\nv 10   -10   -10\nv -10   10   -10\nv 10   10   -10\n"
    "v -10   -10   10\nv 10   -10   10\nv -10   10   10\nv 10   10   10\n\n"
    "g head\ng head\nusemtl 1_skinface\n"
    "vt 0.100000   0.900000\nvt 0.900000   0.900000\nvt 0.900000   0.100000\nvt 0.100000   0.100000\n"
    "f 1/-1   3/-2   4/-3   2/-4\n"
    "vt 0.100000   0.900000\nvt 0.900000   0.900000\nvt 0.900000   0.100000\nvt 0.100000   0.100000\n"
    "f 5/-1   6/-2   8/-3   7/-4\n"
    "vt 0.100000   0.900000\nvt 0.900000   0.900000\nvt 0.900000   0.100000\nvt 0.100000   0.100000\n"
    "f 1/-1   5/-2   7/-3   3/-4\n"
    "vt 0.100000   0.900000\nvt 0.900000   0.900000\nvt 0.900000   0.100000\nvt 0.100000   0.100000\n"
    "f 2/-1   4/-2   8/-3   6/-4\n"
    "vt 0.100000   0.900000\nvt 0.900000   0.900000\nvt 0.900000   0.100000\nvt 0.100000   0.100000\n"
    "f 1/-1   2/-2   6/-3   5/-4\n"
    "vt 0.100000   0.900000\nvt 0.900000   0.900000\nvt 0.900000   0.100000\nvt 0.100000   0.100000\n"
    "f 3/-1   7/-2   8/-3   4/-4\n";

const char* kMaterial =
    "# This file was created by Tervanik's Brivanta program\n#\n"
    "# V5.00,2005.03.07:09:05:00 face\n#\n"
    "# http:   www.tervanik.example\n# e-mail: support@tervanik.example\n#\n\n"
    "newmtl brivanta\n\tNs 0\n\td 1\n\tillum 2\n\tKd 102.00 102.00 102.00\n\tKs 179.00 179.00 179.00\n"
    "\tKa 77.00 77.00 77.00\n\tmap_Kd face.bmp\n\tmap_Ka face.bmp\n";

CWinBmp decoded(const std::string& bmp) {
    CWinBmp out;
    CAnyPicDecoder d;
    d.MakeBmpFromMemory(reinterpret_cast<const uint8_t*>(bmp.data()), int(bmp.size()), &out, 32);
    return out;
}

TEST_F(ObjTest, GoldenCube) {
    cube();
    notes = "first line\r\nsecond";
    age = picture(8, 8);
    const uint64_t pins[5] = {0, 6308243456584963938ull, 0, 214984180412729970ull, 5489023544007538416ull};
    for (int v = 1; v <= 4; ++v) {
        SCOPED_TRACE(v);
        ExportFiles f = exportFiles(v);
        std::string obj = file(f, "C:\\out\\face.obj");
        if (v == 2) {
            EXPECT_EQ(obj, kVariant2);
        } else {
            EXPECT_EQ(testsupport::Fnv1a(obj.data(), obj.size()), pins[v]) << testsupport::Fnv1a(obj.data(), obj.size());
            EXPECT_NE(obj.find("#Info:\n# first line\n# second\n#\n"), std::string::npos);
        }
        if (v == 1 || v == 3) {
            EXPECT_EQ(file(f, "C:\\out\\face.mtl"), kMaterial);
            EXPECT_NE(obj.find("mtllib face.mtl\n"), std::string::npos);
            EXPECT_NE(obj.find("g brivanta\nusemtl brivanta\nf 1/1/1 3/3/3 4/4/4 \n"), std::string::npos);
        }
        std::vector<std::string> expected = {"C:\\out\\face.obj"};
        if (v == 1 || v == 3) expected.push_back("C:\\out\\face.mtl");
        expected.push_back("C:\\out\\face.bmp");
        if (v == 2 || v == 4) expected.push_back("C:\\out\\bumpmap.bmp");
        EXPECT_EQ(names(f), expected);
        // The picture's rows by the variant's rule.
        CWinBmp bmp = decoded(file(f, "C:\\out\\face.bmp"));
        ASSERT_EQ(bmp.GetWidth(), 4);
        ASSERT_EQ(bmp.GetHeight(), 4);
        auto texel = [&](int x, int r) { return head->texture->rgb[std::size_t((r * 4 + x) * 3)]; };
        if (v == 3) { EXPECT_EQ(bmp.GetPixel(1, 3).GetR(), texel(1, 0)); }
        if (v == 4) { EXPECT_EQ(bmp.GetPixel(1, 3).GetR(), texel(1, 3)); }
        if (v == 1) { EXPECT_EQ(bmp.GetPixel(1, 0).GetR(), texel(1, 2)); }
        if (v == 2) { EXPECT_EQ(bmp.GetPixel(1, 0).GetR(), texel(1, 1)); }
    }
}

TEST_F(ObjTest, MorphTransformsInTheDazMode) {
    cube();
    daz = true;
    head->scale = 2;
    svc::GroupRow neck;
    std::strcpy(neck.name, "neck");
    tables.groups.add(neck);
    tables.groups[0].value = vector3<double>(1, 2, -3);
    ExportFiles f = exportFiles(2);
    EXPECT_EQ(file(f, "C:\\out\\face.dsx"),
              "<MorphTransforms>\n\t<Group name=\"head~g_head\">\n\t\t<Trans x=\"0.5\" y=\"1\" z=\"-1.5\" />\n"
              "\t</Group>\n</MorphTransforms>\n");
    tables.groups[0].value = {};
    f = exportFiles(4);
    EXPECT_EQ(file(f, "C:\\out\\face.dsx"), "<MorphTransforms>\n</MorphTransforms>\n");
}

TEST_F(ObjTest, VariantRules) {
    cube();
    // Variant 1: the first triangle's corner gives u and (1 - v) x 2 when v
    // lies in [0.5, 1], else 0 and 0.
    Index<vertex> v0 = head->vertices.first();
    const triangle& first = head->triangles[head->vertices[v0].triangles[head->vertices[v0].triangles.first()]];
    int k = first.a == v0 ? 0 : first.b == v0 ? 1 : 2;
    const_cast<triangle&>(first).texture[k] = vector2<double>(0.3, 0.75);
    std::string obj = file(exportFiles(1), "C:\\out\\face.obj");
    EXPECT_NE(obj.find("\nvt 0.3   0.5\n"), std::string::npos);
    const_cast<triangle&>(first).texture[k] = vector2<double>(0.3, 0.25);
    obj = file(exportFiles(1), "C:\\out\\face.obj");
    EXPECT_EQ(obj.find("\nvt 0.3   0.5\n"), std::string::npos);
    EXPECT_NE(obj.find("mtllib face.mtl\nv -10   -10   -10\n"), std::string::npos);

    // Template 101 drops materials 7 and 15 from the faces in variant 1 only.
    int n = 0;
    for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t), ++n)
        if (n < 2) head->triangles[t].material = n == 0 ? 7 : 15;
    templateId = 101;
    auto count = [](const std::string& s, const char* what) {
        int c = 0;
        for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++c;
        return c;
    };
    obj = file(exportFiles(1), "C:\\out\\face.obj");
    EXPECT_EQ(count(obj, "\nf "), 10);
    EXPECT_EQ(count(obj, "\nv "), 8);
    daz = true;
    obj = file(exportFiles(2), "C:\\out\\face.obj");
    EXPECT_EQ(count(obj, "\nf "), 6);  // nothing dropped: six quads
    daz = false;
    obj = file(exportFiles(2), "C:\\out\\face.obj");
    EXPECT_EQ(count(obj, "\nf "), 5);  // the first quad's triangles went
    templateId = 121;

    // A corner without a row writes zeros; a material change writes usemtl.
    head->triangles[head->triangles.first()].txtRow[1] = -1;
    obj = file(exportFiles(4), "C:\\out\\face.obj");
    EXPECT_NE(obj.find("vt 0.000000   0.000000\n"), std::string::npos);
    EXPECT_EQ(count(obj, "usemtl"), 1 + 0);  // materials 7 and 15 are outside the table

    // No texture: variants 1 and 3 write the OBJ only, 4 no picture or bump map.
    head->texture.reset();
    age = picture(8, 8);
    for (int v : {1, 3, 4}) EXPECT_EQ(names(exportFiles(v)), std::vector<std::string>{"C:\\out\\face.obj"}) << v;
    // An empty age picture writes no bump map.
    cube();
    age = CWinBmp();
    age.Create(0, 0, 32, false);
    EXPECT_EQ(names(exportFiles(2)), (std::vector<std::string>{"C:\\out\\face.obj", "C:\\out\\face.bmp"}));

    // Head scale 0 or not finite refuses the export; other variants too.
    ObjExportInputs in;
    in.head = head.get();
    in.tables = &tables;
    ExportFiles f;
    std::string why;
    for (double bad : {0.0, double(NAN)}) {
        head->scale = bad;
        EXPECT_FALSE(BuildObjExport("x.obj", in, f, why));
    }
    head->scale = 1;
    in.variant = 5;
    EXPECT_FALSE(BuildObjExport("x.obj", in, f, why));
}

TEST_F(ObjTest, CompanionNames) {
    EXPECT_EQ(CompanionPath("C:\\a\\Face.OBJ", ".mtl"), "C:\\a\\Face.mtl");
    EXPECT_EQ(CompanionPath("/a/face", ".bmp"), "/a/face.bmp");
    EXPECT_EQ(CompanionPath("/a.obj/face", ".dsx"), "/a.obj/face.dsx");
    cube();
    ExportFiles f = exportFiles(1, "/tmp/x/Head.OBJ");
    EXPECT_EQ(names(f), (std::vector<std::string>{"/tmp/x/Head.OBJ", "/tmp/x/Head.mtl", "/tmp/x/Head.bmp"}));
    EXPECT_NE(f[0].second.find("mtllib Head.mtl"), std::string::npos);
    EXPECT_EQ(names(exportFiles(4, "/tmp/x/Head.obj"))[2], "/tmp/x\\bumpmap.bmp");
}

TEST_F(ObjTest, VertexGapsAndQuadsOfRefinedHeads) {
    // Slots with gaps and partners that do not form quads: every face names
    // vertex lines that exist and no quad repeats a corner.
    head = std::make_unique<head3>();
    head->set_actual();
    Index<vertex> d = testmesh::addVertex(*head, {});
    testmesh::build(*head, testmesh::subdividedCubeShape(2, 5));
    head->vertices.remove_index(d);
    int n = 0;
    for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t), ++n) {
        triangle& tr = head->triangles[t];
        int next = head->triangles.nextOf(t);
        // Every other triangle names the next as partner: real quad halves
        // (c0, c1, c2) + (c0, c2, c3) of the shape; a few wrong ones too.
        if (n % 2 == 0 && next != -1) tr.quadPartner = n % 6 == 4 ? 0 : next;
        tr.txtRow[0] = tr.txtRow[1] = tr.txtRow[2] = -1;
    }
    for (int v : {1, 2, 3, 4}) {
        std::string obj = file(exportFiles(v), "C:\\out\\face.obj");
        int vertices = 0, quads = 0;
        for (std::size_t at = 0; at < obj.size(); at = obj.find('\n', at) + 1) {
            if (obj.compare(at, 2, "v ") == 0) ++vertices;
            if (obj.compare(at, 2, "f ") != 0) continue;
            int c[4], t[4];
            int got = std::sscanf(obj.c_str() + at, "f %d/%d %d/%d %d/%d %d/%d", &c[0], &t[0], &c[1], &t[1], &c[2], &t[2], &c[3], &t[3]);
            if (got < 6) got = std::sscanf(obj.c_str() + at, "f %d/%*d/%*d %d/%*d/%*d %d/%*d/%*d", &c[0], &c[1], &c[2]) * 2;
            int corners = got / 2;
            if (corners == 4) ++quads;
            for (int i = 0; i < corners; ++i) {
                EXPECT_GE(c[i], 1);
                EXPECT_LE(c[i], head->vertices.count());
                for (int j = 0; j < i; ++j) EXPECT_NE(c[i], c[j]);
            }
        }
        EXPECT_EQ(vertices, head->vertices.count());
        if (v == 2 || v == 4) { EXPECT_GT(quads, 0); }
    }
}

// ---- import ----

TEST_F(ObjTest, ScanTrianglesTable) {
    struct Case {
        const char* corners;
        std::vector<std::array<long, 2>> expected;  // (vertex, texture) per corner of the fan
        bool ok;
    };
    const std::vector<Case> cases = {
        {"1 2 3 4", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {1, 1}, {3, 3}}, true},
        {"1 2 3 4 5", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {1, 1}, {3, 3}, {5, 5}, {1, 1}, {4, 4}}, true},
        {"1/7 2/8 3/9", {{1, 7}, {2, 8}, {3, 9}}, true},
        {"1//4 2//5 3//6", {{1, 1}, {2, 2}, {3, 3}}, true},
        {"1/7/4\t2/8/5  3/9/6", {{1, 7}, {2, 8}, {3, 9}}, true},
        {"-1 -2 -3", {{-1, -1}, {-2, -2}, {-3, -3}}, true},
        {"1 2", {}, false},
        {"", {}, false},
        {"1 x 3", {}, false},
        // What "%ld/%ld/%ld" reads: a texture or normal may be left out
        // (the texture is then the vertex's number), a sign may lead.
        {"1/1/ 2/2/ 3/3/", {{1, 1}, {2, 2}, {3, 3}}, true},
        {"1/ 2 3", {{1, 1}, {2, 2}, {3, 3}}, true},
        {"1// 2//7 +3/+4/+5", {{1, 1}, {2, 2}, {3, 4}}, true},
        {"1/2/x 2 3", {}, false},
        {"/2 2 3", {}, false},
        {"1/2/3/4 2 3", {}, false},
        {"+-1 2 3", {}, false},
    };
    for (const Case& c : cases) {
        std::vector<ObjCorner> corners;
        std::vector<std::array<int, 3>> fan;
        std::string why;
        ASSERT_EQ(ScanTriangles(c.corners, corners, fan, why), c.ok) << c.corners;
        if (!c.ok) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        std::vector<std::array<long, 2>> got;
        for (const auto& tri : fan)
            for (int k : tri) got.push_back({corners[std::size_t(k)].vertex, corners[std::size_t(k)].texture});
        EXPECT_EQ(got, c.expected) << c.corners;
    }
    // 37 corners keep 36: 34 triangles.
    std::string many;
    for (int i = 1; i <= 37; ++i) many += std::to_string(i) + " ";
    std::vector<ObjCorner> corners;
    std::vector<std::array<int, 3>> fan;
    std::string why;
    ASSERT_TRUE(ScanTriangles(many, corners, fan, why));
    EXPECT_EQ(corners.size(), 36u);
    EXPECT_EQ(fan.size(), 34u);
}

std::string tenVertices() {
    std::string s;
    for (int i = 0; i < 10; ++i) s += "v " + std::to_string(i) + " " + std::to_string(i % 3) + " " + std::to_string(i % 2) + "\n";
    return s;
}

TEST_F(ObjTest, ImportBuffersAndTables) {
    std::string obj = tenVertices() + "vt 0.5 0.25\nvt 1 1\ng A\ng B\nusemtl SkinFace\nf -1 -2 -3\n"
                      "usemtl skinface\nf 1/1 2/2 3/3 4/9\ng\nf 5//1 6//1 7//1 8//1 9//1\n";
    ObjImport r;
    std::string why;
    ASSERT_TRUE(ParseObj(obj, services.app.state(), r, why)) << why;
    ASSERT_EQ(r.triangles.size(), 1u + 2 + 3);
    auto tri = [&](int i) { return r.triangles[std::size_t(i)].v; };
    EXPECT_EQ(std::vector<int>(tri(0), tri(0) + 3), (std::vector<int>{9, 8, 7}));
    EXPECT_EQ(std::vector<int>(tri(1), tri(1) + 9), (std::vector<int>{0, 1, 2, 0, 1, -1, 0, 0, 2}));
    EXPECT_EQ(std::vector<int>(tri(2), tri(2) + 9), (std::vector<int>{3, 0, 2, -1, 0, -1, 0, 0, -1}));
    for (int i = 3; i < 6; ++i) EXPECT_EQ(tri(i)[8], -1);  // five corners: no quad
    EXPECT_EQ(tri(3)[6], 1);                                // the lone "g"
    ASSERT_EQ(r.tables.groups.size(), 2);
    EXPECT_STREQ(r.tables.groups[0].name, "a~g b");
    EXPECT_STREQ(r.tables.groups[1].name, "_");
    ASSERT_EQ(r.tables.materials.size(), 1);
    EXPECT_STREQ(r.tables.materials[0].name, "skinface");
    EXPECT_EQ(r.tables.txtCoordinates.size(), 2);
    BuildObjHead(r);
    for (int t = r.head->triangles.first(); t != -1; t = r.head->triangles.nextOf(t)) {
        int q = r.head->triangles[t].quadPartner;
        if (q != -1) { EXPECT_EQ(r.head->triangles[q].quadPartner, -1); }
    }
    head = std::move(r.head);
    tables = std::move(r.tables);
    head->set_actual();
    std::string out = file(exportFiles(2), "C:\\out\\face.obj");
    EXPECT_NE(out.find("\ng a\ng b\n"), std::string::npos);
}

TEST_F(ObjTest, ImportScalesAndCentresAndExportsBack) {
    const std::string obj = "v 1 1 1\nv 3 1 1\nv 1 2 1\nv 1 1 1.5\nv 50 50 50\n"
                            "f 1 2 3\nf 1 3 4\nf 1 4 2\nf 2 4 3\n";
    ObjImport r;
    std::string why;
    ASSERT_TRUE(ParseObj(obj, services.app.state(), r, why)) << why;
    // The box of all vertices (49 wide) gives the scale; the used ones the centre.
    EXPECT_DOUBLE_EQ(r.scale, 100.0 / 49);
    const std::string small = "v 1 1 1\nv 3 1 1\nv 1 2 1\nv 1 1 1.5\nf 1 2 3\nf 1 3 4\nf 1 4 2\nf 2 4 3\n";
    ASSERT_TRUE(ParseObj(small, services.app.state(), r, why)) << why;
    EXPECT_DOUBLE_EQ(r.scale, 50);
    EXPECT_FLOAT_EQ(r.vertices[1].v[0], 50);
    EXPECT_FLOAT_EQ(r.vertices[0].v[0], -50);
    BuildObjHead(r);
    head = std::move(r.head);
    tables = std::move(r.tables);
    head->set_actual();
    std::string out = file(exportFiles(4), "C:\\out\\face.obj");
    EXPECT_NE(out.find("v 1   1   1\nv 3   1   1\nv 1   2   1\nv 1   1   1.5\n"), std::string::npos) << out;
}

TEST_F(ObjTest, SpecialIndices) {
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\ng body\ng head_part\nusemtl SkinHead\nf 1 2 3\n"
                            "usemtl lips\nf 1 2 3\nusemtl skinface\nf 1 2 3\nusemtl EyeSocket\nf 1 2 3\ng arm\nf 1 2 3\n";
    ObjImport r;
    std::string why;
    ASSERT_TRUE(ParseObj(obj, services.app.state(), r, why)) << why;
    EXPECT_EQ(r.tables.headGroup, 0);  // "body~g head_part" does not begin with "head"
    EXPECT_EQ(r.tables.faceMaterial, 2);
    EXPECT_EQ(r.tables.lipMaterial, 1);
    EXPECT_EQ(r.tables.eyeSocketMaterial, 3);
    svc::AppState daz = services.app.state();
    daz.headGroupKeyword = "arm";
    daz.faceKeyword = "nothing";
    daz.altFaceKeyword = "skinhead";
    daz.lipKeyword = "socket";
    daz.eyeSocketKeyword = "none";
    ASSERT_TRUE(ParseObj(obj, daz, r, why)) << why;
    EXPECT_EQ(r.tables.headGroup, 1);
    EXPECT_EQ(r.tables.faceMaterial, 0);
    EXPECT_EQ(r.tables.lipMaterial, 3);
    EXPECT_EQ(r.tables.eyeSocketMaterial, 0);
    // One group: a material holding the head keyword is the skin, and lip
    // and eye socket follow it.
    const std::string one = "v 0 0 0\nv 1 0 0\nv 0 1 0\ng Head\nusemtl lips\nf 1 2 3\nusemtl HeadSkin\nf 1 2 3\n";
    ASSERT_TRUE(ParseObj(one, services.app.state(), r, why)) << why;
    EXPECT_EQ(r.tables.headGroup, 0);
    EXPECT_EQ(r.tables.faceMaterial, 1);
    EXPECT_EQ(r.tables.lipMaterial, 1);
    EXPECT_EQ(r.tables.eyeSocketMaterial, 1);
}

TEST_F(ObjTest, TextureBesideTheFile) {
    std::string dir = tempDir();
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::string why;
    ASSERT_TRUE(SafeSave(dir + "/f.obj", obj, &why));
    auto load = [&] {
        ObjImport r;
        EXPECT_TRUE(LoadOBJFile(dir + "/f.obj", true, services.app.state(), r, why)) << why;
        return r;
    };
    {
        ObjImport r = load();
        EXPECT_EQ(r.texturePicture, "");
        const TextureImage& t = *r.head->texture;
        EXPECT_EQ(t.width, 1024);
        EXPECT_EQ(t.rgb[0], 200);
        EXPECT_EQ(t.rgb[(3 * 1024 + 3) * 3 + 2], 100);
        EXPECT_EQ(t.rgb[(4 * 1024 + 4) * 3], 127);
    }
    ASSERT_TRUE(SafeSave(dir + "/f.png", BmpBytes(picture(16, 16, 1)), &why));  // no PNG: grey
    ASSERT_TRUE(std::system(("/usr/bin/convert -size 16x16 xc:'rgb(10,20,30)' " + dir + "/f.tif").c_str()) == 0);
    EXPECT_EQ(load().texturePicture, dir + "/f.tif");
    CWinBmp solid;
    solid.Create(16, 16, 32, false);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) solid.SetPixel(x, y, CPixel32(40, 50, 60, 0));
    ASSERT_TRUE(SafeSave(dir + "/f.bmp", BmpBytes(solid), &why));
    {
        ObjImport r = load();
        EXPECT_EQ(r.texturePicture, dir + "/f.bmp");
        const unsigned char* p = &r.head->texture->rgb[(100 * 1024 + 100) * 3];
        EXPECT_EQ(std::vector<int>(p, p + 3), (std::vector<int>{40, 50, 60}));
    }
    ASSERT_TRUE(SafeSave(dir + "/f.jpg", "not a jpeg", &why));
    {
        ObjImport r = load();  // the jpg comes first and does not decode: grey
        EXPECT_EQ(r.texturePicture, "");
        EXPECT_EQ(r.head->texture->rgb[(100 * 1024 + 100) * 3], 127);
    }
    std::system(("rm -rf " + dir).c_str());
}

TEST_F(ObjTest, BadObjFilesAreRefused) {
    const std::string v = tenVertices();
    struct Case {
        const char* name;
        std::string obj;
        const char* reason;
    };
    std::vector<Case> cases = {
        {"two numbers", "v 1 2\n" + v + "f 1 2 3\n", "obj line 1: vertex of fewer than three numbers"},
        {"not a number", "v 1 2 x\n" + v + "f 1 2 3\n", "obj line 1: vertex of fewer than three numbers"},
        {"nan", "v 1 2 nan\n" + v + "f 1 2 3\n", "obj line 1: vertex of fewer than three numbers"},
        {"two corners", v + "f 1 2\n", "obj line 11: face of 2 corners"},
        {"one corner", v + "f 1\n", "obj line 11: face of 1 corners"},
        {"vertex 0", v + "f 0 1 2\n", "obj line 11: vertex 0 of 10"},
        {"past the end", v + "f 1 2 120\n", "obj line 11: vertex 120 of 10"},
        {"negative past the start", v + "f -1 -2 -11\n", "obj line 11: vertex -11 of 10"},
        {"negative before its vertices", "v 0 0 0\nf -1 -2 -3\n" + v, "obj line 2: vertex -2 of 1"},
        {"bad corner", v + "f 1 2 3a\n", "obj line 11: corner \"3a\" is no vertex number"},
        {"no faces", v, "obj: no faces"},
        {"no vertices", "g a\n", "obj: no vertices"},
        {"no extent", "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n", "obj: the vertices have no extent"},
        {"texture without number", v + "vt x\nf 1 2 3\n", "obj line 11: texture coordinate without a number"},
    };
    for (const Case& c : cases) {
        ObjImport r;
        std::string why;
        EXPECT_FALSE(ParseObj(c.obj, services.app.state(), r, why)) << c.name;
        EXPECT_EQ(why, c.reason) << c.name;
        EXPECT_TRUE(r.vertices.empty());
    }
    // A texture number outside the table is no row.
    ObjImport r;
    std::string why;
    ASSERT_TRUE(ParseObj(v + "vt 0 0\nf 1/1 2/5 3/-3\n", services.app.state(), r, why)) << why;
    EXPECT_EQ(r.triangles[0].v[3], 0);
    EXPECT_EQ(r.triangles[0].v[4], -1);
    EXPECT_EQ(r.triangles[0].v[5], -1);
    // Cuts: whatever is left either reads as a smaller figure or is refused.
    cube();
    std::string good = file(exportFiles(2), "C:\\out\\face.obj");
    head.reset();
    for (std::size_t n : filestest::cutPoints(good.size())) {
        ObjImport cut;
        if (ParseObj(std::string_view(good).substr(0, n), services.app.state(), cut, why)) BuildObjHead(cut);
    }
}

// Files from other programs: a byte-order mark before the first line,
// comments after the numbers, faces with empty normal fields.
TEST_F(ObjTest, ImportTakesWhatOtherProgramsWrite) {
    const std::string plain = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0 0\nvt 1 0\nvt 0 1\n"
                              "f 1/1 2/2 3/3\nf 1/1 2/2 4/3\n";
    const std::string variants[] = {
        "\xEF\xBB\xBF" + plain,
        "v 0 0 0 # first\nv 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0 0 # corner\nvt 1 0\nvt 0 1\n"
        "f 1/1 2/2 3/3 # tri\nf 1/1 2/2 4/3\t# tri\n",
        "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nv 0 0 1\r\nvt 0 0\r\nvt 1 0\r\nvt 0 1\r\n"
        "f 1/1/ 2/2/ 3/3/\r\nf 1/1/ 2/2/ 4/3/\r\n",
    };
    ObjImport want;
    std::string why;
    ASSERT_TRUE(ParseObj(plain, services.app.state(), want, why)) << why;
    for (const std::string& obj : variants) {
        SCOPED_TRACE(obj.substr(0, 12));
        ObjImport r;
        ASSERT_TRUE(ParseObj(obj, services.app.state(), r, why)) << why;
        ASSERT_EQ(r.vertices.size(), 4u);
        ASSERT_EQ(r.triangles.size(), 2u);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(std::memcmp(r.vertices[i].v, want.vertices[i].v, sizeof want.vertices[i].v), 0) << i;
        for (std::size_t i = 0; i < 2; ++i)
            EXPECT_EQ(std::memcmp(r.triangles[i].v, want.triangles[i].v, sizeof want.triangles[i].v), 0) << i;
        EXPECT_EQ(r.tables.txtCoordinates.size(), 3);
    }
    // The mark alone, with no line after it, is no vertex.
    ObjImport r;
    EXPECT_FALSE(ParseObj("\xEF\xBB\xBF", services.app.state(), r, why));
    EXPECT_EQ(why, "obj: no vertices");
}

// A figure beyond what the program's own head files read back is refused,
// whichever way it is counted.
TEST_F(ObjTest, ImportOfMoreThanTheHeadFilesHoldIsRefused) {
    const std::string v = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    // A face of n corners makes n - 2 triangles; 36 corners are the most.
    auto face = [](int n) {
        std::string f = "f";
        for (int i = 0; i < n; ++i) f += " " + std::to_string(1 + i % 3);
        return f + "\n";
    };
    // 29411 faces of 36 corners and one more: 999974 triangles and the rest.
    auto faces = [&](int lastCorners) {
        std::string out = v;
        const std::string full = face(36);
        out.reserve(out.size() + 29411 * full.size() + 128);
        for (int i = 0; i < 29411; ++i) out += full;
        return out + face(lastCorners);
    };
    struct Case {
        const char* name;
        std::string obj;
        const char* reason;  // "" read
    } cases[] = {
        {"the most triangles", faces(28), ""},
        {"one triangle more", faces(29), "obj: 1000001 triangles, more than the 1000000 a head may hold"},
        {"one vertex more", [] {
             std::string out;
             for (int i = 0; i <= 1000000; ++i) out += "v 0 0 1\n";
             return out + "v 1 0 0\nf 1 2 3\n";
         }(),
         "obj: 1000002 vertices, more than the 1000000 a head may hold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ObjImport r;
        std::string why;
        EXPECT_EQ(ParseObj(c.obj, services.app.state(), r, why), *c.reason == 0) << why;
        EXPECT_EQ(why, c.reason);
        if (!*c.reason) { EXPECT_EQ(r.triangles.size(), 1000000u); }
    }
}

// The picture beside the figure is found whatever the case of its name.
TEST_F(ObjTest, TheTextureNameIsFoundInAnyCase) {
    const std::string dir = tempDir();
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::string why;
    CWinBmp solid = picture(8, 8, 2);
    struct Case {
        const char* figure;
        std::vector<const char*> pictures;
        const char* found;
    } cases[] = {
        {"cube_up.obj", {"cube_up.JPG"}, "cube_up.JPG"},
        {"Cube_Up.OBJ", {"cube_up.bmp"}, "cube_up.bmp"},
        {"cube.obj", {"Cube.Bmp", "cube.bmp"}, "cube.bmp"},  // the exact name first
        {"cube.obj", {"CUBE.BMP", "Cube.bmp"}, "CUBE.BMP"},  // else the first by name
        {"cube.obj", {"cube.TIF", "CUBE.JPG"}, "CUBE.JPG"},  // jpg before tif
        {"cube.obj", {"cube_.bmp", "cub.bmp"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.figure);
        std::system(("rm -rf " + dir + "/*").c_str());
        ASSERT_TRUE(SafeSave(dir + "/" + c.figure, obj, &why)) << why;
        for (const char* name : c.pictures) {
            const std::string p = dir + "/" + name;
            if (std::string(name).find_last_of("fF") == std::strlen(name) - 1)
                ASSERT_EQ(std::system(("/usr/bin/convert -size 8x8 xc:'rgb(10,20,30)' tif:" + p).c_str()), 0);
            else if (std::string(name).find_last_of("gG") == std::strlen(name) - 1)
                ASSERT_EQ(std::system(("/usr/bin/convert -size 8x8 xc:'rgb(10,20,30)' jpg:" + p).c_str()), 0);
            else
                ASSERT_TRUE(SafeSave(p, BmpBytes(solid), &why)) << why;
        }
        ObjImport r;
        ASSERT_TRUE(LoadOBJFile(dir + "/" + c.figure, true, services.app.state(), r, why)) << why;
        EXPECT_EQ(r.texturePicture, *c.found ? dir + "/" + c.found : "");
    }
    std::system(("rm -rf " + dir).c_str());
}

TEST_F(ObjTest, ImportBesideAnOpenHead) {
    cube();
    std::string dump = testsupport::DumpHead(*head);
    ObjImport r;
    std::string why;
    ASSERT_TRUE(ParseObj(tenVertices() + "f 1 2 3 4\nf 5 6 7\n", services.app.state(), r, why)) << why;
    BuildObjHead(r);
    EXPECT_EQ(r.head->triangles.count(), 3);
    EXPECT_EQ(actual_head3, head.get());
    EXPECT_EQ(testsupport::DumpHead(*head), dump);
    r.head.reset();
    EXPECT_EQ(testsupport::DumpHead(*head), dump);
}

}  // namespace
