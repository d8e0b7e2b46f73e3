#include "fitting/kernel3d.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "model/gather.h"
#include "model/head.h"
#include "tests/fitting/recording_gl.h"
#include "tests/support/fakes.h"
#include "tests/support/test_meshes.h"

namespace {

class Kernel3DTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetModelState();
        services = std::make_unique<fakes::Services>();
        kernel = std::make_unique<CKernel3D>(&services->document);
        services->document.head = kernel.get();
    }
    void TearDown() override {
        kernel.reset();
        services.reset();
        resetModelState();
    }
    // Two triangles sharing an edge; the second gets group 2.
    testmesh::Mesh twoTriangles() {
        testmesh::Mesh m = testmesh::build(*kernel->head, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}},
                                           {{{0, 1, 2}}, {{1, 3, 2}}});
        for (int i = 0; i < 2; ++i)
            for (int k = 0; k < 3; ++k) kernel->head->triangles[m.triangles[i]].texture[k] = {0.1 * (i + 1), 0.2 * k};
        kernel->head->triangles[m.triangles[1]].group = 2;
        return m;
    }
    // A square full texture of side n whose byte at (x, y, c) is f(x, y, c).
    template <class F>
    void fullTexture(int n, F f) {
        auto t = std::make_unique<TextureImage>();
        t->width = t->height = n;
        t->rgb.resize(size_t(n) * n * 3);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                for (int c = 0; c < 3; ++c) t->rgb[(size_t(y) * n + x) * 3 + c] = f(x, y, c);
        kernel->head->texture = std::move(t);
    }
    void upload() {
        const TextureImage& t = *kernel->head->texture;
        pmTexImage2D(glx::kTexture2D, 0, 3, t.width, t.height, 0, glx::kRGB, glx::kUnsignedByte, t.rgb.data());
    }

    std::unique_ptr<fakes::Services> services;
    std::unique_ptr<CKernel3D> kernel;
    RecordingGL gl;
};

TEST_F(Kernel3DTest, LargeSquareTexturesAreUploadedAsBlockMeans) {
    // 2 x 2 blocks of 10, 11, 12, 13 give 11.
    fullTexture(1024, [](int x, int y, int c) { return (unsigned char)(10 + (x % 2) + 2 * (y % 2) + (c == 2 ? 100 : 0)); });
    upload();
    ASSERT_EQ(gl.uploads.size(), 1u);
    const RecordingGL::Upload& u = gl.uploads[0];
    EXPECT_EQ(u.width, 512);
    EXPECT_EQ(u.height, 512);
    EXPECT_EQ(u.target, unsigned(glx::kTexture2D));
    EXPECT_EQ(u.internalFormat, 3);
    EXPECT_EQ(u.format, unsigned(glx::kRGB));
    EXPECT_EQ(u.pixels[0], 11);
    EXPECT_EQ(u.pixels[2], 111);
    EXPECT_EQ(u.pixels[(511 * 512 + 511) * 3 + 1], 11);
    ASSERT_TRUE(kernel->head->reducedTexture);
    EXPECT_EQ(kernel->head->reducedTexture->rgb.size(), 786432u);
    EXPECT_EQ(u.pointer, kernel->head->reducedTexture->rgb.data());
}

// Every texel of the upload is the integer mean of its block, channel by
// channel, whatever the block's size.
TEST_F(Kernel3DTest, EveryUploadedTexelIsTheMeanOfItsBlock) {
    for (int n : {1024, 2048, 4096}) {
        SCOPED_TRACE(n);
        fullTexture(n, [](int x, int y, int c) {
            uint32_t v = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u ^ uint32_t(c) * 97u;
            return (unsigned char)((v ^ (v >> 13)) & 0xFF);
        });
        gl.uploads.clear();
        upload();
        ASSERT_EQ(gl.uploads.size(), 1u);
        const std::vector<unsigned char>& full = kernel->head->texture->rgb;
        const int k = n / 512;
        int wrong = 0;
        for (int Y = 0; Y < 512; ++Y)
            for (int X = 0; X < 512; ++X)
                for (int c = 0; c < 3; ++c) {
                    long sum = 0;
                    for (int j = 0; j < k; ++j)
                        for (int i = 0; i < k; ++i) sum += full[(size_t(Y * k + j) * n + size_t(X * k + i)) * 3 + c];
                    wrong += gl.uploads[0].pixels[(size_t(Y) * 512 + X) * 3 + c] != (unsigned char)(sum / (k * k));
                }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(Kernel3DTest, TexturesNotAMultipleOf512UseTheTopLeftBlock) {
    fullTexture(1000, [](int x, int y, int c) { return (unsigned char)(x * 7 + y * 3 + c); });
    upload();
    ASSERT_EQ(gl.uploads[0].width, 512);
    for (int y : {0, 17, 511})
        for (int x : {0, 300, 511}) EXPECT_EQ(gl.uploads[0].pixels[(size_t(y) * 512 + x) * 3 + 1], (unsigned char)(x * 7 + y * 3 + 1));
}

TEST_F(Kernel3DTest, OtherTexturesPassThroughUnchanged) {
    struct Case {
        int w, h;
    } cases[] = {{512, 512}, {1024, 512}, {256, 256}};
    for (const Case& c : cases) {
        std::vector<unsigned char> px(size_t(c.w) * c.h * 3, 5);
        gl.uploads.clear();
        pmTexImage2D(glx::kTexture2D, 0, 3, c.w, c.h, 0, glx::kRGB, glx::kUnsignedByte, px.data());
        ASSERT_EQ(gl.uploads.size(), 1u);
        EXPECT_EQ(gl.uploads[0].width, c.w);
        EXPECT_EQ(gl.uploads[0].height, c.h);
        EXPECT_EQ(gl.uploads[0].pointer, px.data());
    }
}

TEST_F(Kernel3DTest, BasicListDrawsEveryTriangleWithTheFixedMaterial) {
    twoTriangles();
    kernel->TrianglesToOpenGLBasic();
    RecordingGL::List* l = gl.list(1);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(gl.deleted, std::vector<unsigned>{1001});
    ASSERT_EQ(l->vertices.size(), 6u);
    EXPECT_EQ(l->vertices[4].p, vector3<double>(10, 10, 0));
    EXPECT_NEAR(l->vertices[0].normal.z, 1.0, 1e-12);
    EXPECT_EQ(std::count(l->calls.begin(), l->calls.end(), "Materialf " + std::to_string(glx::kShininess) + " 25.600000"), 2);
}

TEST_F(Kernel3DTest, DisplayModesChooseWhatTheListsHold) {
    testmesh::Mesh m = twoTriangles();
    Index<featurecolor> skin = kernel->head->colors.add();
    kernel->head->colors[skin].set_name("color_of_skin", false);
    static_cast<vector3<double>&>(kernel->head->colors[skin]) = {0.5, 0.25, 0.125};
    struct Case {
        int mode;
        size_t vertices;
    } cases[] = {{1, 6}, {7, 6}, {3, 0}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        services->viewEdit3D.displayMode = c.mode;
        kernel->TrianglesToOpenGL();
        kernel->TrianglesToOpenGLGathered();
        EXPECT_EQ(gl.list(1)->vertices.size(), c.vertices);
        EXPECT_EQ(gl.list(2)->vertices.size(), 0u);
        if (c.mode == 1) {
            std::string diffuse = "Materialfv " + std::to_string(glx::kDiffuse) + " 0.500000 0.250000 0.125000 1.000000";
            EXPECT_NE(std::find(gl.list(1)->calls.begin(), gl.list(1)->calls.end(), diffuse), gl.list(1)->calls.end());
        }
        if (c.mode == 7) {
            EXPECT_EQ(gl.list(1)->vertices[4].tex, vector2<double>(0.2, 0.2));
            EXPECT_EQ(gl.list(1)->vertices[4].colour, vector3<double>(1, 1, 1));
        }
    }
    // An imported head shows the black texel on groups other than 0.
    services->app.state().headImport = 1;
    services->viewEdit3D.displayMode = 7;
    kernel->TrianglesToOpenGL();
    EXPECT_EQ(gl.list(1)->vertices[1].tex, vector2<double>(0.1, 0.2));
    EXPECT_EQ(gl.list(1)->vertices[4].tex, vector2<double>(0, 0));
    (void)m;
}

TEST_F(Kernel3DTest, SavedTrianglesLeaveListOneAndShowTheirMoveInListTwo) {
    // Three separate triangles, gathered and saved, then moved by 1, 3 and 5.
    testmesh::Mesh m = testmesh::build(
        *kernel->head,
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {10, 0, 0}, {11, 0, 0}, {10, 1, 0}, {20, 0, 0}, {21, 0, 0}, {20, 1, 0}},
        {{{0, 1, 2}}, {{3, 4, 5}}, {{6, 7, 8}}});
    for (Index<triangle> t : m.triangles) add_triangle_to_gatheredTriangles(t);
    ASSERT_EQ(kernel->head->Save_gatheredTriangles(), 3);
    double moves[3] = {1, 3, 5};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) kernel->head->vertices[m.vertices[size_t(3 * i + k)]].position.y += moves[i];
    services->viewEdit3D.displayMode = 7;
    services->mainFrame.freeTool = 1;
    kernel->TrianglesToOpenGL();
    kernel->TrianglesToOpenGLGathered();
    EXPECT_EQ(gl.list(1)->vertices.size(), 0u);
    ASSERT_EQ(gl.list(2)->vertices.size(), 9u);
    EXPECT_EQ(gl.list(2)->vertices[0].colour, vector3<double>(0, 1, 0));
    EXPECT_EQ(gl.list(2)->vertices[3].colour, vector3<double>(1, 1, 0));
    EXPECT_EQ(gl.list(2)->vertices[6].colour, vector3<double>(1, 0, 0));
    // Without the free-hand tool they are white.
    services->mainFrame.freeTool = 0;
    kernel->TrianglesToOpenGLGathered();
    EXPECT_EQ(gl.list(2)->vertices[6].colour, vector3<double>(1, 1, 1));
    clean_gatheredTriangles();
}

TEST_F(Kernel3DTest, SavedHeadReadsBack) {
    testmesh::icosphere(*kernel->head, 1, 50.0);
    kernel->head->status = 1;
    int vertices = kernel->head->vertices.count(), triangles = kernel->head->triangles.count();
    std::string path = (std::filesystem::temp_directory_path() / "brv_kernel3d_head.the").string();
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "wt"));
        EXPECT_EQ(kernel->SaveHead(f), 1);
    }
    fnd::fileTB f;
    ASSERT_TRUE(f.open(path.c_str(), "rt"));
    EXPECT_EQ(kernel->LoadHead(f, 2500), 1);
    EXPECT_TRUE(kernel->head->noTopology);
    EXPECT_EQ(actual_head3, kernel->head);
    EXPECT_EQ(kernel->head->vertices.count(), vertices);
    EXPECT_EQ(kernel->head->triangles.count(), triangles);
    std::filesystem::remove(path);
    kernel->Reset();
    EXPECT_EQ(kernel->head->vertices.count(), 0);
}

}  // namespace
