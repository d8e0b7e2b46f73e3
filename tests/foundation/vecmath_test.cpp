#include "foundation/vecmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "foundation/use.h"

namespace {

void expectNear(const vector3<double>& a, const vector3<double>& b, double eps = 1e-12) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

void expectNear(const matrix44<double>& a, const matrix44<double>& b, double eps = 1e-9) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "entry " << i;
}

matrix44<double> randomMatrix44(unsigned seed) {
    std::srand(seed);
    matrix44<double> m;
    for (double& e : m.m) e = std::rand() / double(RAND_MAX) * 4 - 2;
    return m;
}

TEST(VecMath, DefaultsAreZero) {
    EXPECT_EQ(vector2<double>(), O2);
    EXPECT_EQ(vector3<double>(), O3);
    EXPECT_EQ(matrix33<double>(), O33);
    EXPECT_EQ(matrix44<double>(), O44);
    EXPECT_EQ(static_cast<const matrix44<double>&>(htraf3<double>()), O44);
    hvector3<double> h;
    EXPECT_EQ(h.w, 0.0);
}

TEST(VecMath, Constants) {
    EXPECT_EQ(X3 % Y3, Z3);
    EXPECT_EQ(I3, vector3<double>(1, 1, 1));
    EXPECT_EQ(U4, vector4<double>(0, 0, 0, 1));
    EXPECT_EQ(I44 * I44, I44);
    EXPECT_EQ(I22, matrix22<double>(1, 0, 0, 1));
    matrix33<double> m;
    m.I();
    EXPECT_EQ(m, I33);
    m.O();
    EXPECT_EQ(m, O33);
}

TEST(Vector3, Normalized) {
    struct Case { vector3<double> in, out; } cases[] = {
        {{3, 0, 4}, {0.6, 0, 0.8}},
        {{1e-6, 0, 0}, {0, 0, 0}},  // squared length 1e-12 is below the tolerance
        {{0, 0, 0}, {0, 0, 0}},
        {{2e-5, 0, 0}, {1, 0, 0}},  // squared length 4e-10 is above it
        {{0, -2, 0}, {0, -1, 0}},
    };
    for (const auto& c : cases) expectNear(c.in.normalized(), c.out);
}

TEST(Vector3, Operators) {
    vector3<double> a(1, 2, 3), b(4, 5, 6);
    EXPECT_EQ(a + b, vector3<double>(5, 7, 9));
    EXPECT_EQ(a - b, vector3<double>(-3, -3, -3));
    EXPECT_EQ(-a, vector3<double>(-1, -2, -3));
    EXPECT_EQ(a * 2.0, vector3<double>(2, 4, 6));
    EXPECT_EQ(2.0 * a, vector3<double>(2, 4, 6));
    EXPECT_EQ(b / 2.0, vector3<double>(2, 2.5, 3));
    EXPECT_EQ(a * b, 32.0);
    EXPECT_EQ(a % b, vector3<double>(-3, 6, -3));
    EXPECT_EQ(fnd::min(a, vector3<double>(0, 5, 3)), vector3<double>(0, 2, 3));
    EXPECT_EQ(fnd::max(a, vector3<double>(0, 5, 3)), vector3<double>(1, 5, 3));
    EXPECT_DOUBLE_EQ(dist(a, b), std::sqrt(27.0));
    vector3<double> c = a;
    (c += b) += b;
    EXPECT_EQ(c, vector3<double>(9, 12, 15));
    c /= 3.0;
    EXPECT_EQ(c, vector3<double>(3, 4, 5));
    // Row vector times matrix: result j = x M0j + y M1j + z M2j.
    matrix33<double> m(1, 2, 3, 4, 5, 6, 7, 8, 9);
    EXPECT_EQ(a * m, vector3<double>(30, 36, 42));
    vector2<double> v(1, -2);
    EXPECT_EQ(-v, vector2<double>(-1, 2));
    EXPECT_EQ(3.0 * v, vector2<double>(3, -6));
    EXPECT_EQ(v / 2.0, vector2<double>(0.5, -1));
}

TEST(Matrix33, Inverse) {
    matrix33<double> twoEqualRows(1, 2, 3, 1, 2, 3, 0, 1, 5);
    EXPECT_EQ(twoEqualRows.Inv(), O33);
    EXPECT_EQ(I33.Inv(), I33);
    matrix33<double> m(2, 1, 0, -1, 3, 2, 0.5, 0, 4);
    matrix33<double> p = m * m.Inv();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(p(i, j), i == j ? 1 : 0, 1e-12);
    matrix33<double> q = m;
    q *= m.Inv();
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(q.m[i], p.m[i], 1e-15);
}

TEST(Matrix33, SetOrtCoord) {
    struct Case { vector3<double> a, b, u, v, w; } cases[] = {
        {{0, 0, 2}, {0, 0, 5}, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}},  // b parallel to a
        {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},   // zero a
        {{0, 3, 0}, {0, 1, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  // both fall-backs
        {{2, 0, 0}, {1, 1, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        matrix33<double> m;
        m.setortcoord(c.a, c.b);
        expectNear(m.col(0), c.u);
        expectNear(m.col(1), c.v);
        expectNear(m.col(2), c.w);
    }
}

TEST(Matrix44, InverseOfSingularAndRandom) {
    matrix44<double> singular(1, 2, 3, 4, 5, 6, 7, 8, 2, 4, 6, 8, 0, 1, 0, 1);
    EXPECT_EQ(singular.Det(), 0.0);
    EXPECT_EQ(singular.Inv(), O44);
    EXPECT_EQ(I44.Inv(), I44);
    for (unsigned seed = 1; seed <= 20; ++seed) {
        matrix44<double> m = randomMatrix44(seed);
        ASSERT_GT(std::fabs(m.Det()), 1e-6);
        expectNear(m * m.Inv(), I44);
        expectNear(m.Inv() * m, I44);
    }
}

TEST(Matrix44, DeterminantKnownValues) {
    EXPECT_DOUBLE_EQ(matrix44<double>(2.0).Det(), 16.0);
    // Upper-triangular: product of the diagonal.
    EXPECT_DOUBLE_EQ(matrix44<double>(2, 7, 1, 3, 0, 3, 5, 1, 0, 0, -1, 9, 0, 0, 0, 4).Det(), -24.0);
    // One row exchange flips the sign.
    EXPECT_DOUBLE_EQ(matrix44<double>(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1).Det(), -1.0);
}

TEST(Matrix44, EqualityIsExact) {
    matrix44<double> a = randomMatrix44(7), b = a;
    EXPECT_TRUE(a == b);
    b.m[9] = std::nextafter(b.m[9], 10.0);
    EXPECT_FALSE(a == b);
}

TEST(Matrix44, SelfMultiplySquares) {
    matrix44<double> m = randomMatrix44(3);
    matrix44<double> square;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) square(i, j) += m(i, k) * m(k, j);
    m *= m;
    expectNear(m, square, 1e-12);
}

TEST(Matrix44, Vector4TimesMatrix) {
    matrix44<double> m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    vector4<double> v(1, 0, -1, 2);
    vector4<double> r = (v *= m);
    EXPECT_EQ(r, vector4<double>(18, 20, 22, 24));
    EXPECT_EQ(v, r);
    matrix44<double> rows(X4, Y4, Z4, U4);
    EXPECT_EQ(rows, I44);
}

TEST(Htraf3, MapsPointsAndComposesInOrder) {
    htraf3<double> shift(I33, vector3<double>(1, 2, 3));
    hvector3<double> h = O3 * shift;
    EXPECT_EQ(h.x, 1);
    EXPECT_EQ(h.y, 2);
    EXPECT_EQ(h.z, 3);
    EXPECT_EQ(h.w, 1);
    EXPECT_EQ(h.vec3(), vector3<double>(1, 2, 3));

    // Rotation of 90 degrees about z for row vectors: x -> y.
    htraf3<double> rot(matrix33<double>(0, 1, 0, -1, 0, 0, 0, 0, 1));
    vector3<double> p(1, 0, 0);
    expectNear((p * (shift * rot)).vec3(), vector3<double>(-2, 2, 3));  // shift first
    expectNear((p * (rot * shift)).vec3(), vector3<double>(1, 3, 3));   // rotate first

    htraf3<double> both = rot * shift;
    expectNear((((p * both).vec3()) * both.Inv()).vec3(), p);
    EXPECT_EQ(both.translation(), vector3<double>(1, 2, 3));
}

TEST(Hvector3, Vec3) {
    EXPECT_EQ(hvector3<double>(2, 4, 6, 0).vec3(), vector3<double>(2, 4, 6));
    EXPECT_EQ(hvector3<double>(2, 4, 6, 2).vec3(), vector3<double>(1, 2, 3));
    EXPECT_EQ(hvector3<double>(vector3<double>(5, 6, 7)).w, 1.0);
}

}  // namespace
