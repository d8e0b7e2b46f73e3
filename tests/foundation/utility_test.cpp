#include "foundation/utility.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/dynarray.h"
#include "foundation/use.h"

namespace {

TEST(TemporaryChange, RestoresInReverseOrderAndOnEarlyExit) {
    int index = 7;
    {
        temporaryChange<int> outer(index, -1);
        EXPECT_EQ(index, -1);
        {
            temporaryChange<int> inner(index, 3);
            EXPECT_EQ(index, 3);
        }
        EXPECT_EQ(index, -1);
    }
    EXPECT_EQ(index, 7);

    auto leaveEarly = [&](bool early) {
        temporaryChange<int> guard(index, -1);
        if (early) return index;
        return 0;
    };
    EXPECT_EQ(leaveEarly(true), -1);
    EXPECT_EQ(index, 7);

    double d = 1.5;
    try {
        temporaryChange<double> guard(d, 0.0);
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(d, 1.5);
    { temporaryChange<double> unguarded; }  // guards nothing
}

TEST(Swap, MovesOwnedStorage) {
    auto a = std::make_unique<int>(1), b = std::make_unique<int>(2);
    int* pa = a.get();
    int* pb = b.get();
    fnd::swap(a, b);
    EXPECT_EQ(a.get(), pb);
    EXPECT_EQ(b.get(), pa);
    fnd::swap(a, a);  // self-exchange keeps the value
    EXPECT_EQ(a.get(), pb);

    std::string s(100, 'x'), t = "short";
    const char* storage = s.data();
    fnd::swap(s, t);
    EXPECT_EQ(t.data(), storage);
    EXPECT_EQ(s, "short");

    // A dynarray inside the exchanged values keeps its storage.
    dynarray<int> x(5), y(2);
    x[0] = 42;
    const int* xs = &x[0];
    fnd::swap(x, y);
    EXPECT_EQ(y.size(), 5);
    EXPECT_EQ(&y[0], xs);
    EXPECT_EQ(x.size(), 2);
}

TEST(CArrayNxM, SizeDeleteCopy) {
    CArray_NxM<float> a;
    EXPECT_EQ(a.rows(), -1);
    a.Delete();  // fresh: nothing
    a.SetSize(0, 5);
    EXPECT_EQ(a.rows(), 0);
    EXPECT_EQ(a.cols(), 5);
    a.SetSize(3, 4);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) a[i][j] = float(10 * i + j);
    CArray_NxM<float> b;
    b.SetSize(1, 1);
    b = a;
    EXPECT_EQ(b.rows(), 3);
    EXPECT_EQ(b.cols(), 4);
    EXPECT_EQ(b[2][3], 23.f);
    b = b;
    EXPECT_EQ(b[1][2], 12.f);
    a.Delete();
    a.Delete();  // already deleted: nothing
    EXPECT_EQ(a.rows(), -1);
    EXPECT_EQ(a.cols(), -1);
    EXPECT_EQ(b[2][1], 21.f);  // the copy owns its own rows

    CArray_NxM<bool> flags;
    flags.SetSize(2, 2);
    flags[1][1] = true;
    EXPECT_TRUE(flags[1][1]);
}

TEST(Matrix, ResizeKeepsOverlap) {
    fnd::matrix<double> m(2, 2);
    m(0, 0) = 1;
    m(0, 1) = 2;
    m(1, 0) = 3;
    m(1, 1) = 4;
    m.resize(3, 4);
    EXPECT_EQ(m.rows(), 3);
    EXPECT_EQ(m.cols(), 4);
    EXPECT_EQ(m(0, 0), 1);
    EXPECT_EQ(m(0, 1), 2);
    EXPECT_EQ(m(1, 0), 3);
    EXPECT_EQ(m(1, 1), 4);
    m(2, 3) = 9;
    fnd::matrix<double> copy = m;
    m.resize(1, 2);
    EXPECT_EQ(m(0, 1), 2);
    EXPECT_EQ(copy(2, 3), 9);
    m.resize(-1, 4);
    EXPECT_EQ(m.rows(), 0);
    EXPECT_EQ(m.cols(), 4);

    fnd::matrix<char> c;
    c.resize(2, 3);
    c[1][2] = 'z';
    EXPECT_EQ(c(1, 2), 'z');
}

TEST(SaveTri, ArrayOfSavedTriangles) {
    dynarray<Save_TRI> saved;
    Save_TRI& s = saved.add();
    s.p[2] = vector3<double>(1, 2, 3);
    EXPECT_EQ(saved[0].p[2], vector3<double>(1, 2, 3));
    EXPECT_EQ(saved[0].p[0], O3);
}

}  // namespace
