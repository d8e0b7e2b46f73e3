#include "foundation/numeric.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/use.h"
#include "framework/resources.h"

namespace {

using fnd::RowTable;

void expectNear(const vector3<double>& a, const vector3<double>& b, double eps = 1e-12) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

const vector3<double> V1(0, 0, 0), V2(1, 0, 0), V3(0, 1, 0);

TEST(Baricoord, LineAgainstTriangle) {
    struct Case { vector3<double> P, D; vector3<double> hit; double t; vector3<double> bary; } cases[] = {
        {{0.2, 0.3, 5}, {0, 0, -1}, {0.2, 0.3, 0}, 5, {0.5, 0.2, 0.3}},
        {{1, 0, 2}, {0, 0, -2}, {1, 0, 0}, 1, {0, 1, 0}},              // through corner V2
        {{0, 1, -1}, {0, 0, 1}, {0, 1, 0}, 1, {0, 0, 1}},              // through corner V3
        {{0.25, 0.25, 0}, {0, 0, 1}, {0.25, 0.25, 0}, 0, {0.5, 0.25, 0.25}},  // P in the plane
        {{3, 3, 1}, {0, 0, -1}, {3, 3, 0}, 1, {-5, 3, 3}},              // outside the triangle
    };
    for (const auto& c : cases) {
        vector3<double> hit, bary;
        double t = -99;
        ASSERT_EQ(fnd::baricoord(V1, V2, V3, c.P, c.D, &hit, &t, &bary), 1);
        expectNear(hit, c.hit);
        EXPECT_NEAR(t, c.t, 1e-12);
        expectNear(bary, c.bary);
        EXPECT_NEAR(bary.x + bary.y + bary.z, 1, 1e-12);
    }
}

TEST(Baricoord, ParallelLineWritesNothing) {
    vector3<double> hit(7, 7, 7), bary(8, 8, 8);
    double t = 9;
    EXPECT_EQ(fnd::baricoord(V1, V2, V3, {0, 0, 1}, {1, 1, 0}, &hit, &t, &bary), 0);
    EXPECT_EQ(hit, vector3<double>(7, 7, 7));
    EXPECT_EQ(bary, vector3<double>(8, 8, 8));
    EXPECT_EQ(t, 9);
}

TEST(BariCoord, InAndOffThePlane) {
    expectNear(fnd::bariCoord(V1, V2, V3, {0.2, 0.3, 0}), {0.5, 0.2, 0.3});
    expectNear(fnd::bariCoord(V1, V2, V3, V3), {0, 0, 1});
    vector3<double> off = fnd::bariCoord(V1, V2, V3, {0.2, 0.3, 0.5});
    EXPECT_GT(std::fabs(off.x + off.y + off.z - 1), 0.1);
    // Proportional to the coordinates where the line from R meets the plane.
    vector3<double> r = V3 + (V3 - V1) % (V3 - V2);
    vector3<double> p(0.2, 0.3, 0.5);
    vector3<double> meet = r + (p - r) * (r.z / (r.z - p.z));
    vector3<double> inPlane = fnd::bariCoord(V1, V2, V3, meet);
    expectNear(off / (off.x + off.y + off.z), inPlane);
}

TEST(RelativeBaricoord, Coefficients) {
    expectNear(fnd::relativeBaricoord({1, 2, 3}, X3, Y3, Z3), {1, 2, 3});
    vector3<double> a(1, 1, 0), b(0, 2, 1), c(3, 0, 1);
    expectNear(fnd::relativeBaricoord(a * 2 - b + c * 0.5, a, b, c), {2, -1, 0.5});
}

TEST(RotatePointAroundVector, KnownRotations) {
    const double pi = std::acos(-1.0);
    expectNear(fnd::RotatePointAroundVector({1, 0, 0}, pi / 2, {0, 0, 1}), {0, -1, 0});
    expectNear(fnd::RotatePointAroundVector({0, 1, 0}, pi / 2, {1, 0, 0}), {0, 0, -1});
    expectNear(fnd::RotatePointAroundVector({1, 2, 3}, 0.7, {1, 0, 0}).normalized() * std::sqrt(14.0),
               fnd::RotatePointAroundVector({1, 2, 3}, 0.7, {1, 0, 0}));
    vector3<double> u = vector3<double>(1, 2, 2) / 3.0;
    vector3<double> p(0.3, -1, 2);
    expectNear(fnd::RotatePointAroundVector(fnd::RotatePointAroundVector(p, 1.1, u), -1.1, u), p);
    expectNear(fnd::RotatePointAroundVector(u * 5, 1.1, u), u * 5);  // the axis stays
}

TEST(InsidePolygon, UnitSquareAndConcave) {
    const vector2<double> square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    // An L shape: the notch (1.5, 1.5) lies outside.
    const vector2<double> ell[] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    struct Case { const vector2<double>* poly; long n; double x, y; int want; } cases[] = {
        {square, 4, 0.5, 0.5, 2},
        {square, 4, 0.5, 0.05, 1},   // within 0.1 of the bottom edge
        {square, 4, 0.95, 0.5, 1},   // within 0.1 of the right edge
        {square, 4, 2, 2, 0},
        {square, 4, 0, 0, 1},        // a corner
        {square, 4, 1, 1, 1},
        {square, 4, 1.05, 0.5, 1},   // the band reaches outside too
        {square, 4, 1.2, 0.5, 0},
        {square, 4, 0.5, -0.2, 0},
        {ell, 6, 0.5, 1.5, 2},
        {ell, 6, 1.5, 0.5, 2},
        {ell, 6, 1.5, 1.5, 0},
        {ell, 6, 1.05, 1.5, 1},
        {square, 0, 0.5, 0.5, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fnd::InsidePolygon(c.x, c.y, c.poly, c.n), c.want) << c.x << "," << c.y;
}

// Row tables are large; keep them off the stack.
struct Tables {
    double a[5][fnd::kRowLength] = {};
    double b[5][fnd::kRowLength] = {};
    double x[fnd::kRowLength] = {};
    double s[5] = {};
};

TEST(Gram, OrthonormalRowsAndEqualRows) {
    auto t = std::make_unique<Tables>();
    t->a[1][1] = 3, t->a[1][2] = 4;
    t->a[2][1] = 1, t->a[2][2] = 0;
    EXPECT_EQ(fnd::GRAM(2, 2, t->a, t->b), 1);
    EXPECT_NEAR(t->b[1][1], 0.6, 1e-15);
    EXPECT_NEAR(t->b[1][2], 0.8, 1e-15);
    EXPECT_NEAR(t->b[2][1], 0.8, 1e-15);
    EXPECT_NEAR(t->b[2][2], -0.6, 1e-15);

    auto e = std::make_unique<Tables>();
    for (int j = 1; j <= 3; ++j) e->a[1][j] = e->a[2][j] = j;
    e->a[3][1] = 1;
    EXPECT_EQ(fnd::GRAM(3, 3, e->a, e->b), -1);
}

TEST(MinDistanceStep, SolvesSquareSystemInOneSweep) {
    auto t = std::make_unique<Tables>();
    const double m[3][3] = {{4, 1, 2}, {0, 3, -1}, {1, 1, 5}};
    const vector3<double> want(1.5, -2, 0.25);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) t->a[i + 1][j + 1] = m[i][j];
        t->s[i + 1] = m[i][0] * want.x + m[i][1] * want.y + m[i][2] * want.z;
    }
    ASSERT_EQ(fnd::GRAM(3, 3, t->a, t->b), 1);
    EXPECT_GT(fnd::min_distance_step(3, 3, t->a, t->b, t->x, t->s), 0);
    expectNear({t->x[1], t->x[2], t->x[3]}, want, 1e-12);
    // Independent check: the 3 x 3 inverse gives the same solution.
    matrix33<double> mt(m[0][0], m[1][0], m[2][0], m[0][1], m[1][1], m[2][1], m[0][2], m[1][2], m[2][2]);
    expectNear(vector3<double>(t->s[1], t->s[2], t->s[3]) * mt.Inv(), want, 1e-12);
    // Already solved: the next sweep does not move.
    EXPECT_NEAR(fnd::min_distance_step(3, 3, t->a, t->b, t->x, t->s), 0, 1e-20);

    auto z = std::make_unique<Tables>();
    z->a[1][1] = 1;  // b left zero: degenerate
    EXPECT_EQ(fnd::min_distance_step(1, 1, z->a, z->b, z->x, z->s), -1);
}

TEST(ScrambledHalton, Bases) {
    struct Case { unsigned i, dim; double want; } cases[] = {
        {0, 0, 0},     {1, 0, 0.5},   {2, 0, 0},       {3, 0, 0.5},     {4, 0, 0.375},
        {5, 0, 0.875}, {1, 1, 1.0 / 3}, {2, 1, 2.0 / 3}, {3, 1, 2.0 / 9},  {0, 2, 0},
        {1, 2, 0.2},   {2, 2, 0.4},   {5, 2, 0.08},    {6, 2, 0.28},    {1, 14, 1.0 / 47},
        {7, 15, -1},   {0, 99, -1},
    };
    // Base 5: 5 = "10" gives (0 + 0) / 5 + (1 + 1) / 25; 6 = "11" gives 1 / 5 + 2 / 25.
    for (const auto& c : cases) EXPECT_NEAR(fnd::ScrambledHalton(c.i, c.dim), c.want, 1e-15) << c.i << " " << c.dim;
    for (unsigned i = 0; i < 2000; i += 7)
        for (unsigned d = 0; d < 15; ++d) {
            double h = fnd::ScrambledHalton(i, d);
            ASSERT_GE(h, 0);
            ASSERT_LT(h, 1);
        }
}

TEST(Randstring, FormatAndFreshness) {
    std::string a = fnd::randstring();
    std::string b = fnd::randstring();
    ASSERT_GE(a.size(), 3u);
    EXPECT_EQ(a[0], '$');
    EXPECT_EQ(a.find_first_not_of("0123456789", 1), std::string::npos);
    EXPECT_NE(a, b);  // two calls within one second differ
}

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("numeric_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const char* name, const std::string& content) {
        std::string p = (dir_ / name).string();
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    std::filesystem::path dir_;
};

TEST_F(FileTest, IsFileExist) {
    EXPECT_EQ(fnd::IsFileExist(write("ten", "0123456789").c_str()), 10);
    EXPECT_EQ(fnd::IsFileExist(write("empty", "").c_str()), 0);  // empty counts as missing
    EXPECT_EQ(fnd::IsFileExist((dir_ / "missing").c_str()), 0);
    EXPECT_EQ(fnd::IsFileExist(dir_.c_str()), 0);  // a folder is not a file
    EXPECT_EQ(fnd::IsFileExist(nullptr), 0);
    // Paths built in Windows form by the application reach the same file.
    std::string windowsForm = "C:" + (dir_ / "ten").string();
    for (char& c : windowsForm)
        if (c == '/') c = '\\';
    EXPECT_EQ(fnd::IsFileExist(windowsForm.c_str()), 10);
}

TEST(Daz3dfile, BothModes) {
    struct Case { int mode; const char* folder; const char* want; } cases[] = {
        {0, "C:\\Programs\\Brivanta\\", "C:\\Programs\\Brivanta\\kv3d.obj"},
        {2, "C:\\Programs\\Brivanta\\", "C:\\Programs\\resources\\Brivanta\\kv3d.obj"},
        {2, "D:\\host\\plugins\\face\\", "D:\\host\\plugins\\resources\\Brivanta\\kv3d.obj"},
        {2, "Brivanta\\", "Brivanta"},  // no second backslash: no file name
        {2, "/opt/host/brivanta/", "/opt/host\\resources\\Brivanta\\kv3d.obj"},
        {0, "", "kv3d.obj"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fnd::daz3dfile(c.folder, c.mode), c.want);
        char buffer[260];
        fnd::daz3dfile(c.folder, c.mode, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.want);
    }
    // A short buffer is cut, never overrun.
    char small[8];
    std::memset(small, 'x', sizeof small);
    fnd::daz3dfile("C:\\Programs\\Brivanta\\", 0, small, 5);
    EXPECT_STREQ(small, "C:\\P");
    EXPECT_EQ(small[5], 'x');
}

TEST(LoadStringResource, AgreesWithTheStringTable) {
    EXPECT_TRUE(fnd::LoadStringResource(65000).IsEmpty());  // no such id
    for (unsigned id = 0; id < 200; ++id) {
        std::string text;
        bool present = brv::LoadStringText(id, &text);
        CString s = fnd::LoadStringResource(id);
        EXPECT_EQ(std::string(s.View()), present ? text : std::string()) << id;
    }
}

}  // namespace
