// Peer check: another OBJ reader (assimp, no post-processing) reads every
// variant of the exported heads; and an OBJ that it writes reads here.

#include <assimp/cexport.h>
#include <assimp/cimport.h>
#include <assimp/scene.h>

#include <cmath>
#include <cstdio>
#include <array>
#include <map>
#include <set>

#include "document/obj_export.h"
#include "document/obj_import.h"
#include "document/safe_save.h"
#include "tests/document/files_fixture.h"
#include "tests/support/test_meshes.h"

namespace {

using filestest::FilesTest;
using namespace files;

std::string cformatted(const vector3<double>& p) {
    char b[128];
    std::snprintf(b, sizeof b, "v %.6f %.6f %.6f\n", p.x, p.y, p.z);
    return b;
}

struct Key {
    long x, y, z;
    bool operator<(const Key& o) const { return std::tie(x, y, z) < std::tie(o.x, o.y, o.z); }
};

class AssimpPeerTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        dir = tempDir();
    }
    void TearDown() override {
        head.reset();
        std::system(("rm -rf " + dir).c_str());
        FilesTest::TearDown();
    }

    // File coordinates of a head vertex.
    vector3<double> exported(int v) const {
        const vector3<double>& p = head->vertices[v].position;
        return (p + head->offset) * (1 / head->scale);
    }
    Key key(const vector3<double>& p) const {
        double q = 1e-4 * std::max(1.0, extent);
        return {std::lround(p.x / q), std::lround(p.y / q), std::lround(p.z / q)};
    }
    static double area(const vector3<double>& a, const vector3<double>& b, const vector3<double>& c) {
        vector3<double> u = b - a, w = c - a;
        vector3<double> n(u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x);
        return std::sqrt(n * n) / 2;
    }

    void texture(int n) {
        auto t = std::make_unique<TextureImage>();
        t->width = t->height = n;
        t->rgb.resize(std::size_t(n) * n * 3);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                unsigned char* p = &t->rgb[(std::size_t(y) * n + x) * 3];
                p[0] = static_cast<unsigned char>(x), p[1] = static_cast<unsigned char>(y), p[2] = static_cast<unsigned char>(x ^ y);
            }
        head->texture = std::move(t);
    }

    // Exports every variant and reads each with the peer.
    void checkVariants() {
        std::map<Key, std::vector<int>> vertexAt;
        extent = 0;
        double total = 0;
        for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v)) {
            vector3<double> p = exported(v);
            extent = std::max({extent, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
        }
        for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v)) vertexAt[key(exported(v))].push_back(v);
        // The head vertex nearest to a point read back.
        auto nearest = [&](const vector3<double>& p, double& distance) {
            Key k = key(p);
            int best = -1;
            distance = 1e300;
            for (long dx = -1; dx <= 1; ++dx)
                for (long dy = -1; dy <= 1; ++dy)
                    for (long dz = -1; dz <= 1; ++dz) {
                        auto it = vertexAt.find({k.x + dx, k.y + dy, k.z + dz});
                        if (it == vertexAt.end()) continue;
                        for (int v : it->second) {
                            vector3<double> d = exported(v) - p;
                            if (std::sqrt(d * d) < distance) distance = std::sqrt(d * d), best = v;
                        }
                    }
            return best;
        };
        std::set<std::pair<int, int>> edges;
        std::map<std::array<int, 3>, int> triangleOf;
        std::set<int> usedMaterials;
        for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t)) {
            const triangle& tr = head->triangles[t];
            triangleOf[{int(tr.a), int(tr.b), int(tr.c)}] = t;
            usedMaterials.insert(tr.material);
        }
        for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t)) {
            const triangle& tr = head->triangles[t];
            total += area(exported(tr.a), exported(tr.b), exported(tr.c));
            for (int k = 0; k < 3; ++k) {
                int a = tr.corner(k), b = tr.corner((k + 1) % 3);
                edges.insert({std::min(a, b), std::max(a, b)});
            }
        }
        for (int variant = 1; variant <= 4; ++variant) {
            SCOPED_TRACE(variant);
            ObjExportInputs in;
            in.head = head.get();
            in.tables = &tables;
            in.variant = variant;
            in.textureSize = head->texture ? head->texture->width : 0;
            in.templateId = 122;
            std::string path = dir + "/v" + std::to_string(variant) + ".obj", why;
            ASSERT_TRUE(SaveOBJFile(path, in, why)) << why;
            const aiScene* scene = aiImportFile(path.c_str(), 0);
            ASSERT_NE(scene, nullptr) << aiGetErrorString();
            std::unique_ptr<const aiScene, void (*)(const aiScene*)> release(scene, aiReleaseImport);
            int faces = 0, quads = 0;
            double sum = 0;
            std::set<std::string> materialNames;
            for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
                const aiMesh* mesh = scene->mMeshes[m];
                aiString name;
                aiGetMaterialString(scene->mMaterials[mesh->mMaterialIndex], AI_MATKEY_NAME, &name);
                materialNames.insert(name.C_Str());
                for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                    const aiFace& face = mesh->mFaces[f];
                    ASSERT_TRUE(face.mNumIndices == 3 || face.mNumIndices == 4);
                    ++faces;
                    std::vector<vector3<double>> p;
                    std::vector<int> vs;
                    for (unsigned i = 0; i < face.mNumIndices; ++i) {
                        const aiVector3D& q = mesh->mVertices[face.mIndices[i]];
                        p.emplace_back(q.x, q.y, q.z);
                        double distance;
                        int v = nearest(p.back(), distance);
                        ASSERT_NE(v, -1) << "a corner that is no vertex of the head";
                        const vector3<double> e = exported(v);
                        ASSERT_LE(distance, 1e-5 * std::max(1.0, std::sqrt(e * e)));
                        vs.push_back(v);
                    }
                    // Consecutive corners are edges of the head; no corner twice.
                    for (std::size_t i = 0; i < vs.size(); ++i) {
                        int a = vs[i], b = vs[(i + 1) % vs.size()];
                        EXPECT_TRUE(edges.count({std::min(a, b), std::max(a, b)})) << "not an edge";
                        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(vs[i], vs[j]) << "degenerate face";
                    }
                    sum += area(p[0], p[1], p[2]);
                    if (face.mNumIndices == 4) {
                        ++quads;
                        sum += area(p[0], p[2], p[3]);
                    }
                    // Texture coordinates of the first faces by the variant's rule.
                    if (f < 40 && mesh->mTextureCoords[0] && (variant == 2 || variant == 4)) {
                        auto found = triangleOf.find({vs[0], vs[1], vs[2]});
                        EXPECT_NE(found, triangleOf.end());
                        if (found != triangleOf.end()) {
                            const triangle& tr = head->triangles[found->second];
                            for (int k = 0; k < 3; ++k) {
                                const aiVector3D& uv = mesh->mTextureCoords[0][face.mIndices[k]];
                                int row = tr.txtRow[k];
                                double u = row >= 0 && row < tables.txtCoordinates.size() ? tables.txtCoordinates[row].u : 0;
                                double w = row >= 0 && row < tables.txtCoordinates.size() ? tables.txtCoordinates[row].v : 0;
                                EXPECT_NEAR(uv.x, u, 1e-5);
                                EXPECT_NEAR(uv.y, w, 1e-5);
                            }
                        }
                    }
                    if (f < 40 && mesh->mTextureCoords[0] && variant == 1) {
                        int k = -1;
                        const vertex& vx = head->vertices[vs[0]];
                        const triangle& tr = head->triangles[vx.triangles[vx.triangles.first()]];
                        for (int c = 0; c < 3; ++c)
                            if (tr.corner(c) == vs[0]) k = c;
                        double u = tr.texture[k].x, w = tr.texture[k].y;
                        bool inside = u >= 0 && u <= 1 && w >= 0.5 && w <= 1;
                        const aiVector3D& uv = mesh->mTextureCoords[0][face.mIndices[0]];
                        EXPECT_NEAR(uv.x, inside ? u : 0, 1e-5);
                        EXPECT_NEAR(uv.y, inside ? (1 - w) * 2 : 0, 1e-5);
                    }
                }
            }
            EXPECT_EQ(faces + quads, head->triangles.count());
            EXPECT_NEAR(sum, total, 1e-4 * total);
            if (variant == 1 || variant == 3) {
                EXPECT_TRUE(materialNames.count("brivanta"));
            } else {
                for (int i = 0; i < tables.materials.size(); ++i)
                    if (usedMaterials.count(i)) { EXPECT_TRUE(materialNames.count(tables.materials[i].name)) << tables.materials[i].name; }
            }
            release.reset();
            // The picture: ImageMagick reads it at n x n, rows by the variant.
            if (head->texture && variant != 1 && variant != 2) {
                std::string bmp = CompanionPath(path, ".bmp");
                const int n = head->texture->width;
                std::string cmd = "/usr/bin/convert " + bmp + " -format '%w %h' info:";
                FILE* p = popen(cmd.c_str(), "r");
                int w = 0, h = 0;
                ASSERT_EQ(std::fscanf(p, "%d %d", &w, &h), 2);
                pclose(p);
                EXPECT_EQ(w, n);
                EXPECT_EQ(h, n);
                cmd = "/usr/bin/convert " + bmp + " -crop 1x1+5+2 -depth 8 txt:- | tail -1";
                p = popen(cmd.c_str(), "r");
                char line[256] = {};
                ASSERT_TRUE(std::fgets(line, sizeof line, p));
                pclose(p);
                int r = 0, g = 0, b = 0;
                ASSERT_EQ(std::sscanf(std::strchr(line, '(') + 1, "%d,%d,%d", &r, &g, &b), 3) << line;
                int row = variant == 3 ? n - 1 - 2 : 2;  // variant 3 turns the rows over
                EXPECT_EQ(r, 5);
                EXPECT_EQ(g, row % 256);
            }
            if (variant == 1 || variant == 3) {
                std::string mtl;
                ASSERT_TRUE(ReadWholeFile(CompanionPath(path, ".mtl"), mtl, why));
                std::size_t at = mtl.find("map_Kd ");
                ASSERT_NE(at, std::string::npos);
                std::string map = mtl.substr(at + 7, mtl.find('\n', at) - at - 7);
                EXPECT_EQ(dir + "/" + map, CompanionPath(path, ".bmp"));
            }
        }
    }

    std::unique_ptr<head3> head;
    svc::FaceTables tables;
    std::string dir;
    double extent = 0;
};

TEST_F(AssimpPeerTest, FullTemplateHead) {
    head = templateHead(122, tables);
    head->set_actual();
    texture(1024);
    checkVariants();
}

TEST_F(AssimpPeerTest, HeadWithVertexGaps) {
    head = std::make_unique<head3>();
    head->set_actual();
    std::vector<Index<vertex>> dummies;
    for (int i = 0; i < 5; ++i) dummies.push_back(testmesh::addVertex(*head, {}));
    testmesh::Mesh m = testmesh::build(*head, testmesh::subdividedCubeShape(4, 7));
    for (Index<vertex> d : dummies) head->vertices.remove_index(d);
    // The shape's squares are quads (c0, c1, c2) + (c0, c2, c3); a refined
    // few are not, and some triangles name rows the table lacks.
    for (std::size_t i = 0; i + 1 < m.triangles.size(); i += 2) {
        if (i % 10 == 8) continue;
        head->triangles[m.triangles[i]].quadPartner = m.triangles[i + 1];
    }
    for (int i = 0; i < 4; ++i) {
        svc::TxtCoordinateRow r;
        r.u = 0.25 * i, r.v = 1 - 0.25 * i;
        tables.txtCoordinates.add(r);
    }
    svc::MaterialRow mat;
    std::strcpy(mat.name, "skin");
    tables.materials.add(mat);
    svc::GroupRow g;
    std::strcpy(g.name, "head");
    tables.groups.add(g);
    int n = 0;
    for (Index<triangle> t : m.triangles) {
        triangle& tr = head->triangles[t];
        for (int k = 0; k < 3; ++k) {
            tr.txtRow[k] = (n + k) % 6 - 1;
            tr.texture[k] = vector2<double>(0.1 * k, 0.4 + 0.2 * k);
        }
        ++n;
    }
    texture(64);
    checkVariants();
}

TEST_F(AssimpPeerTest, ImportedFigure) {
    // A figure of quads with groups, materials and texture rows.
    std::string obj;
    testmesh::Shape s = testmesh::subdividedCubeShape(3, 2);
    for (const auto& p : s.positions) obj += cformatted(p);
    for (int i = 0; i < 10; ++i) obj += "vt " + std::to_string(0.1 * i) + " " + std::to_string(1 - 0.1 * i) + "\n";
    obj += "g head\ng face\nusemtl SkinFace\n";
    for (std::size_t i = 0; i + 1 < s.faces.size(); i += 2) {
        if (i == s.faces.size() / 2) obj += "g neck\nusemtl Lip\n";
        const auto& a = s.faces[i];
        const auto& b = s.faces[i + 1];
        obj += "f " + std::to_string(a[0] + 1) + "/" + std::to_string(i % 10 + 1) + " " + std::to_string(a[1] + 1) + "/2 " +
               std::to_string(a[2] + 1) + "/3 " + std::to_string(b[2] + 1) + "/4\n";
    }
    ObjImport r;
    std::string why;
    ASSERT_TRUE(ParseObj(obj, services.app.state(), r, why)) << why;
    BuildObjHead(r);
    head = std::move(r.head);
    tables = std::move(r.tables);
    head->set_actual();
    texture(32);
    checkVariants();
}

TEST_F(AssimpPeerTest, AnObjWrittenByThePeerReadsHere) {
    head = std::make_unique<head3>();
    head->set_actual();
    testmesh::build(*head, testmesh::bumpySphereShape(9, 14));
    ObjExportInputs in;
    in.head = head.get();
    in.tables = &tables;
    in.variant = 4;
    std::string path = dir + "/mine.obj", theirs = dir + "/theirs.obj", why;
    ASSERT_TRUE(SaveOBJFile(path, in, why)) << why;
    const aiScene* scene = aiImportFile(path.c_str(), 0);
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(aiExportScene(scene, "obj", theirs.c_str(), 0), aiReturn_SUCCESS);
    aiReleaseImport(scene);
    const aiScene* again = aiImportFile(theirs.c_str(), 0);
    ASSERT_NE(again, nullptr);
    long triangles = 0;
    for (unsigned m = 0; m < again->mNumMeshes; ++m)
        for (unsigned f = 0; f < again->mMeshes[m]->mNumFaces; ++f) triangles += again->mMeshes[m]->mFaces[f].mNumIndices - 2;
    aiReleaseImport(again);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(theirs, bytes, why));
    long vLines = 0;
    for (std::size_t at = 0; at < bytes.size(); at = bytes.find('\n', at) + 1) {
        if (bytes.compare(at, 2, "v ") == 0) ++vLines;
        if (bytes.find('\n', at) == std::string::npos) break;
    }
    ObjImport r;
    ASSERT_TRUE(ParseObj(bytes, services.app.state(), r, why)) << why;
    EXPECT_EQ(long(r.vertices.size()), vLines);
    EXPECT_EQ(long(r.triangles.size()), triangles);
    EXPECT_EQ(long(r.triangles.size()), head->triangles.count());
}

}  // namespace
