// Transformation objects: the translation, numbered passes that move a
// shared point once, and ownership.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/trafo3.h"

namespace {

using V3 = vector3<double>;

TEST(Trafo3, MoveCases) {
    const V3 a(1, 2, 3), b(5, -2, 7);
    struct Case {
        const char* name;
        void (*prepare)(tMove&, const V3&, const V3&);
        V3 input;
        V3 expected;
    };
    const Case cases[] = {
        {"set(a, b) maps a to b", [](tMove& m, const V3& a, const V3& b) { m.set(a, b); }, a, b},
        {"multeq(0.5) maps a to the midpoint",
         [](tMove& m, const V3& a, const V3& b) {
             m.set(a, b);
             m.multeq(0.5);
         },
         a, V3(3, 0, 5)},
        {"reset is the identity",
         [](tMove& m, const V3& a, const V3& b) {
             m.set(a, b);
             m.reset();
         },
         a, a},
        {"pluseq adds another move",
         [](tMove& m, const V3& a, const V3& b) {
             m.set(a, b);
             tMove other(V3(1, 1, 1));
             m.pluseq(&other);
         },
         a, V3(6, -1, 8)},
        {"set copies another move",
         [](tMove& m, const V3&, const V3&) {
             tMove other(V3(0, 0, -3));
             m.set(&other);
         },
         a, V3(1, 2, 0)},
        {"another kind of transformation is ignored",
         [](tMove& m, const V3&, const V3&) {
             m.set(V3(0, 0, 0), V3(1, 0, 0));
             trafo3 plain;
             m.set(&plain);
             m.pluseq(&plain);
         },
         a, V3(2, 2, 3)},
    };
    for (const Case& c : cases) {
        tMove m(V3(9, 9, 9));
        c.prepare(m, a, b);
        EXPECT_EQ(m.traf(c.input), c.expected) << c.name;
    }
    // The base transformation leaves points alone.
    trafo3 base;
    EXPECT_EQ(base.traf(a), a);
}

TEST(Trafo3, SerialsRiseFromZero) {
    Strafo3::resetSerials();
    Strafo3 first;
    SmoveTrafo second(V3(1, 0, 0));
    Strafo3 third;
    EXPECT_EQ(first.serial, 0);
    EXPECT_EQ(second.serial, 1);
    EXPECT_EQ(third.serial, 2);
    EXPECT_EQ(Strafo3::static_trafonum, 2);
}

TEST(Trafo3, NullTransformationLeavesPoints) {
    Strafo3 none;
    V3 p(4, 5, 6);
    int last = -1;
    EXPECT_EQ(none.traf(p), p);
    EXPECT_TRUE(none.apply(p, last));
    EXPECT_EQ(p, V3(4, 5, 6));
    EXPECT_EQ(last, none.serial);
}

// A fan of triangles around one shared vertex: a pass over every corner of
// every triangle moves each vertex once.
TEST(Trafo3, SharedPointMovesOncePerPass) {
    struct Point {
        V3 p;
        int last = -1;
    };
    std::vector<Point> vertices = {{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}, {{-1, 0, 0}}, {{0, -1, 0}}};
    const int triangles[4][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1}};
    auto pass = [&](const Strafo3& t) {
        int moved = 0;
        for (const auto& tri : triangles)
            for (int v : tri) moved += t.apply(vertices[v].p, vertices[v].last);
        return moved;
    };
    SmoveTrafo move(V3(0, 0, 2));
    EXPECT_EQ(pass(move), 5);
    EXPECT_EQ(vertices[0].p, V3(0, 0, 2));
    EXPECT_EQ(vertices[3].p, V3(-1, 0, 2));
    // The same pass again changes nothing.
    EXPECT_EQ(pass(move), 0);
    EXPECT_EQ(vertices[0].p, V3(0, 0, 2));
    // A new pass with the same displacement moves everything again.
    SmoveTrafo again(V3(0, 0, 2));
    EXPECT_EQ(pass(again), 5);
    EXPECT_EQ(vertices[0].p, V3(0, 0, 4));
}

struct CountingTrafo : trafo3 {
    explicit CountingTrafo(int* d) : destroyed(d) {}
    ~CountingTrafo() override { ++*destroyed; }
    int* destroyed;
};

TEST(Trafo3, OwnersDestroyTheirTransformation) {
    int destroyed = 0;
    { Strafo3 s(new CountingTrafo(&destroyed)); }
    EXPECT_EQ(destroyed, 1);
    {
        autoDeletePtr<Strafo3> p(new Strafo3(new CountingTrafo(&destroyed)));
        autoDeletePtr<Strafo3> q(std::move(p));
        EXPECT_FALSE(p);
        autoDeletePtr<Strafo3> none;
    }
    EXPECT_EQ(destroyed, 2);
    autoDeletePtr<Strafo3> r(new Strafo3(new CountingTrafo(&destroyed)));
    r.reset(new Strafo3());
    EXPECT_EQ(destroyed, 3);
}

TEST(Trafo3, OnlyTheSerialIsStored) {
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/trafo3_serial_test.txt";
    Strafo3 written(new tMove(V3(1, 2, 3)));
    written.serial = 41;
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "wt"));
        f << written;
    }
    Strafo3 read;
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "rt"));
        f >> read;
        EXPECT_TRUE(f.good());
    }
    std::remove(path.c_str());
    EXPECT_EQ(read.serial, 41);
    EXPECT_EQ(read.traf(V3(1, 1, 1)), V3(1, 1, 1));
}

}  // namespace
