#pragma once
// Double-precision geometry: row vectors multiplied on the left of row-major
// matrices. An htraf3 keeps its linear part in rows 0-2 and the translation
// in row 3, so p maps to p * R + t. Default-constructed values are zero.

#include <cmath>

namespace fnd {

template <class T>
struct vector2 {
    T x{}, y{};

    constexpr vector2() = default;
    constexpr vector2(T x_, T y_) : x(x_), y(y_) {}
    void set(T x_, T y_) { x = x_; y = y_; }

    vector2 operator+(const vector2& o) const { return {x + o.x, y + o.y}; }
    vector2 operator-(const vector2& o) const { return {x - o.x, y - o.y}; }
    vector2 operator-() const { return {-x, -y}; }
    vector2& operator+=(const vector2& o) { x += o.x; y += o.y; return *this; }
    vector2& operator-=(const vector2& o) { x -= o.x; y -= o.y; return *this; }
    vector2 operator*(T d) const { return {x * d, y * d}; }
    vector2 operator/(T d) const { return {x / d, y / d}; }
    vector2& operator*=(T d) { x *= d; y *= d; return *this; }
    vector2& operator/=(T d) { x /= d; y /= d; return *this; }
    T operator*(const vector2& o) const { return x * o.x + y * o.y; }  // dot
    bool operator==(const vector2& o) const { return x == o.x && y == o.y; }
    T length() const { return std::sqrt(x * x + y * y); }
    friend vector2 operator*(T d, const vector2& v) { return {d * v.x, d * v.y}; }
};


template <class T>
inline T dist(const vector2<T>& a, const vector2<T>& b) { return (a - b).length(); }

template <class T>
struct matrix33;

template <class T>
struct vector3 {
    T x{}, y{}, z{};

    constexpr vector3() = default;
    constexpr vector3(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}
    void set(T x_, T y_, T z_) { x = x_; y = y_; z = z_; }

    vector3 operator+(const vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    vector3 operator-(const vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    vector3 operator-() const { return {-x, -y, -z}; }
    vector3& operator+=(const vector3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    vector3& operator-=(const vector3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    vector3 operator*(T d) const { return {x * d, y * d, z * d}; }
    vector3 operator/(T d) const { return {x / d, y / d, z / d}; }
    vector3& operator*=(T d) { x *= d; y *= d; z *= d; return *this; }
    vector3& operator/=(T d) { x /= d; y /= d; z /= d; return *this; }
    T operator*(const vector3& o) const { return x * o.x + y * o.y + z * o.z; }  // dot
    vector3 operator%(const vector3& o) const {                                   // cross
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    bool operator==(const vector3& o) const { return x == o.x && y == o.y && z == o.z; }
    T length() const { return std::sqrt(x * x + y * y + z * z); }
    friend vector3 operator*(T d, const vector3& v) { return {d * v.x, d * v.y, d * v.z}; }

    // The tolerance is on the squared length.
    vector3 normalized() const {
        T s = x * x + y * y + z * z;
        if (s < T(1e-10)) return {};
        T l = std::sqrt(s);
        return {x / l, y / l, z / l};
    }

    vector3 operator*(const matrix33<T>& m) const;
};


template <class T>
inline vector3<T> min(const vector3<T>& a, const vector3<T>& b) {
    return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};
}

template <class T>
inline vector3<T> max(const vector3<T>& a, const vector3<T>& b) {
    return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};
}

template <class T>
inline T dist(const vector3<T>& a, const vector3<T>& b) { return (a - b).length(); }

template <class T>
struct vector4 {
    T v[4]{};

    constexpr vector4() = default;
    constexpr vector4(T a, T b, T c, T d) : v{a, b, c, d} {}
    T& operator[](int i) { return v[i]; }
    const T& operator[](int i) const { return v[i]; }
    bool operator==(const vector4& o) const {
        return v[0] == o.v[0] && v[1] == o.v[1] && v[2] == o.v[2] && v[3] == o.v[3];
    }
};

template <class T>
struct matrix22 {
    T m[4]{};

    constexpr matrix22() = default;
    constexpr matrix22(T a, T b, T c, T d) : m{a, b, c, d} {}
    void O() { *this = matrix22(); }
    void I() { *this = matrix22(1, 0, 0, 1); }
    T& operator()(int i, int j) { return m[2 * i + j]; }
    const T& operator()(int i, int j) const { return m[2 * i + j]; }
    bool operator==(const matrix22& o) const {
        return m[0] == o.m[0] && m[1] == o.m[1] && m[2] == o.m[2] && m[3] == o.m[3];
    }
};

template <class T>
struct matrix33 {
    T m[9]{};  // row-major: row i, column j at 3i + j

    constexpr matrix33() = default;
    constexpr matrix33(T a00, T a01, T a02, T a10, T a11, T a12, T a20, T a21, T a22)
        : m{a00, a01, a02, a10, a11, a12, a20, a21, a22} {}
    constexpr matrix33(const vector3<T>& r0, const vector3<T>& r1, const vector3<T>& r2)
        : m{r0.x, r0.y, r0.z, r1.x, r1.y, r1.z, r2.x, r2.y, r2.z} {}

    T& operator()(int i, int j) { return m[3 * i + j]; }
    const T& operator()(int i, int j) const { return m[3 * i + j]; }
    vector3<T> row(int i) const { return {m[3 * i], m[3 * i + 1], m[3 * i + 2]}; }
    vector3<T> col(int j) const { return {m[j], m[3 + j], m[6 + j]}; }

    void O() { *this = matrix33(); }
    void I() { *this = matrix33(1, 0, 0, 0, 1, 0, 0, 0, 1); }

    matrix33 operator*(const matrix33& o) const {
        matrix33 r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                r.m[3 * i + j] = m[3 * i] * o.m[j] + m[3 * i + 1] * o.m[3 + j] + m[3 * i + 2] * o.m[6 + j];
        return r;
    }
    matrix33& operator*=(const matrix33& o) { return *this = *this * o; }
    bool operator==(const matrix33& o) const {
        for (int i = 0; i < 9; ++i)
            if (m[i] != o.m[i]) return false;
        return true;
    }

    T Det() const {
        return m[0] * (m[4] * m[8] - m[7] * m[5]) - m[1] * (m[3] * m[8] - m[6] * m[5]) +
               m[2] * (m[3] * m[7] - m[6] * m[4]);
    }

    // Singular matrices invert to the zero matrix.
    matrix33 Inv() const {
        T d = Det();
        if (d == 0) return {};
        T k = T(1) / d;
        return {(m[4] * m[8] - m[5] * m[7]) * k, (m[2] * m[7] - m[1] * m[8]) * k, (m[1] * m[5] - m[2] * m[4]) * k,
                (m[5] * m[6] - m[3] * m[8]) * k, (m[0] * m[8] - m[2] * m[6]) * k, (m[2] * m[3] - m[0] * m[5]) * k,
                (m[3] * m[7] - m[4] * m[6]) * k, (m[1] * m[6] - m[0] * m[7]) * k, (m[0] * m[4] - m[1] * m[3]) * k};
    }

    // Orthonormal frame from direction a and a second direction b; the axes
    // become the columns.
    void setortcoord(const vector3<T>& a, const vector3<T>& b) {
        const T eps = T(1e-10);
        vector3<T> u = a.length() < eps ? vector3<T>(1, 0, 0) : a / a.length();
        vector3<T> v = b - u * (u * b);
        if (v.length() < eps) {
            vector3<T> y(0, 1, 0);
            v = y - u * (u * y);
            if (v.length() < eps) {
                vector3<T> x(1, 0, 0);
                v = x - u * (u * x);
            }
        }
        v = v / v.length();
        vector3<T> w = u % v;
        *this = matrix33(u.x, v.x, w.x, u.y, v.y, w.y, u.z, v.z, w.z);
    }
};

template <class T>
inline vector3<T> vector3<T>::operator*(const matrix33<T>& a) const {
    return {x * a.m[0] + y * a.m[3] + z * a.m[6], x * a.m[1] + y * a.m[4] + z * a.m[7],
            x * a.m[2] + y * a.m[5] + z * a.m[8]};
}

template <class T>
struct matrix44 {
    T m[16]{};  // row-major

    constexpr matrix44() = default;
    constexpr explicit matrix44(T d) : m{d, 0, 0, 0, 0, d, 0, 0, 0, 0, d, 0, 0, 0, 0, d} {}
    constexpr matrix44(T a0, T a1, T a2, T a3, T a4, T a5, T a6, T a7, T a8, T a9, T a10, T a11, T a12,
                       T a13, T a14, T a15)
        : m{a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15} {}
    constexpr matrix44(const vector4<T>& r0, const vector4<T>& r1, const vector4<T>& r2, const vector4<T>& r3)
        : m{r0.v[0], r0.v[1], r0.v[2], r0.v[3], r1.v[0], r1.v[1], r1.v[2], r1.v[3],
            r2.v[0], r2.v[1], r2.v[2], r2.v[3], r3.v[0], r3.v[1], r3.v[2], r3.v[3]} {}

    void set(T a0, T a1, T a2, T a3, T a4, T a5, T a6, T a7, T a8, T a9, T a10, T a11, T a12, T a13, T a14,
             T a15) {
        *this = matrix44(a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15);
    }
    void set(const matrix44& o) { *this = o; }

    T& operator()(int i, int j) { return m[4 * i + j]; }
    const T& operator()(int i, int j) const { return m[4 * i + j]; }

    void O() { *this = matrix44(); }
    void I() { *this = matrix44(T(1)); }

    matrix44 operator*(const matrix44& o) const {
        matrix44 r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                T s = 0;
                for (int k = 0; k < 4; ++k) s += m[4 * i + k] * o.m[4 * k + j];
                r.m[4 * i + j] = s;
            }
        return r;
    }
    // The product is formed into a temporary, so m *= m squares m.
    matrix44& operator*=(const matrix44& o) { return *this = *this * o; }

    bool operator==(const matrix44& o) const {
        for (int i = 0; i < 16; ++i)
            if (m[i] != o.m[i]) return false;
        return true;
    }
    bool operator!=(const matrix44& o) const { return !(*this == o); }

    // Determinant of the 3x3 minor without row r and column c.
    T minor3(int r, int c) const {
        T a[9];
        int k = 0;
        for (int i = 0; i < 4; ++i) {
            if (i == r) continue;
            for (int j = 0; j < 4; ++j) {
                if (j == c) continue;
                a[k++] = m[4 * i + j];
            }
        }
        return a[0] * (a[4] * a[8] - a[7] * a[5]) - a[1] * (a[3] * a[8] - a[6] * a[5]) +
               a[2] * (a[3] * a[7] - a[6] * a[4]);
    }

    T Det() const {
        return m[0] * minor3(0, 0) - m[1] * minor3(0, 1) + m[2] * minor3(0, 2) - m[3] * minor3(0, 3);
    }

    // Singular matrices invert to the zero matrix.
    matrix44 Inv() const {
        T d = Det();
        if (d == 0) return {};
        T k = T(1) / d;
        matrix44 r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                T c = minor3(j, i);
                r.m[4 * i + j] = (((i + j) & 1) ? -c : c) * k;
            }
        return r;
    }
};

// Row vector times matrix, in place; returns a copy of the result.
template <class T>
inline vector4<T> operator*=(vector4<T>& v, const matrix44<T>& a) {
    vector4<T> r;
    for (int j = 0; j < 4; ++j)
        r.v[j] = v.v[0] * a.m[j] + v.v[1] * a.m[4 + j] + v.v[2] * a.m[8 + j] + v.v[3] * a.m[12 + j];
    v = r;
    return r;
}

template <class T>
inline vector4<T> operator*(const vector4<T>& v, const matrix44<T>& a) {
    vector4<T> r = v;
    r *= a;
    return r;
}

template <class T>
struct hvector3 {
    T x{}, y{}, z{}, w{};

    constexpr hvector3() = default;
    constexpr hvector3(T x_, T y_, T z_, T w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr hvector3(const vector3<T>& v) : x(v.x), y(v.y), z(v.z), w(1) {}

    vector3<T> vec3() const {
        if (w == 0) return {x, y, z};
        return {x / w, y / w, z / w};
    }
};

template <class T>
struct htraf3 : matrix44<T> {
    using matrix44<T>::m;

    constexpr htraf3() = default;
    constexpr htraf3(const matrix44<T>& a) : matrix44<T>(a) {}
    htraf3(const matrix33<T>& R, const vector3<T>& t = vector3<T>()) { set(R, t); }

    void set(const matrix33<T>& R, const vector3<T>& t) {
        *this = htraf3(matrix44<T>(R.m[0], R.m[1], R.m[2], 0, R.m[3], R.m[4], R.m[5], 0, R.m[6], R.m[7],
                                   R.m[8], 0, t.x, t.y, t.z, 1));
    }

    matrix33<T> linear() const { return {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]}; }
    vector3<T> translation() const { return {m[12], m[13], m[14]}; }

    // p * (A * B) applies A first, then B.
    htraf3 operator*(const htraf3& o) const {
        return htraf3(static_cast<const matrix44<T>&>(*this) * static_cast<const matrix44<T>&>(o));
    }
    htraf3& operator*=(const htraf3& o) { return *this = *this * o; }
    htraf3 Inv() const { return htraf3(matrix44<T>::Inv()); }
};

template <class T>
inline hvector3<T> operator*(const hvector3<T>& p, const matrix44<T>& a) {
    return {p.x * a.m[0] + p.y * a.m[4] + p.z * a.m[8] + p.w * a.m[12],
            p.x * a.m[1] + p.y * a.m[5] + p.z * a.m[9] + p.w * a.m[13],
            p.x * a.m[2] + p.y * a.m[6] + p.z * a.m[10] + p.w * a.m[14],
            p.x * a.m[3] + p.y * a.m[7] + p.z * a.m[11] + p.w * a.m[15]};
}

template <class T>
inline hvector3<T> operator*(const vector3<T>& p, const htraf3<T>& h) {
    return hvector3<T>(p) * static_cast<const matrix44<T>&>(h);
}

inline constexpr vector2<double> O2(0, 0), I2(1, 1), X2(1, 0), Y2(0, 1);
inline constexpr vector3<double> O3(0, 0, 0), I3(1, 1, 1), X3(1, 0, 0), Y3(0, 1, 0), Z3(0, 0, 1);
inline constexpr vector4<double> O4(0, 0, 0, 0), I4(1, 1, 1, 1), X4(1, 0, 0, 0), Y4(0, 1, 0, 0),
    Z4(0, 0, 1, 0), U4(0, 0, 0, 1);
inline constexpr matrix22<double> O22(0, 0, 0, 0), I22(1, 0, 0, 1);
inline constexpr matrix33<double> O33(0, 0, 0, 0, 0, 0, 0, 0, 0), I33(1, 0, 0, 0, 1, 0, 0, 0, 1);
inline constexpr matrix44<double> O44(0.0), I44(1.0);

}  // namespace fnd
