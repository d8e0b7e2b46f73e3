#pragma once
// Small generic pieces: exchange of two values, scoped change of a variable,
// two 2-D arrays and the saved triangle record.

#include <new>
#include <utility>

#include "foundation/vecmath.h"

namespace fnd {

// Move-based exchange: an element that owns storage (pooled chains, names)
// keeps it and its slot numbers when it changes place.
template <class T>
inline void swap(T& a, T& b) {
    if (&a == &b) return;
    T tmp(std::move(a));
    a = std::move(b);
    b = std::move(tmp);
}

// A static built on first use and never destroyed, for what must outlive
// every other object at exit (whatever was built before it).
template <class T>
class never_destroyed {
public:
    template <class... Args>
    explicit never_destroyed(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    never_destroyed(const never_destroyed&) = delete;
    never_destroyed& operator=(const never_destroyed&) = delete;
    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

// Sets a variable for the length of a scope and restores it at the end.
template <class T>
class temporaryChange {
public:
    temporaryChange() = default;
    temporaryChange(T& var, const T& value) : old_(var), var_(&var) { var = value; }
    ~temporaryChange() {
        if (var_) *var_ = old_;
    }
    temporaryChange(const temporaryChange&) = delete;
    temporaryChange& operator=(const temporaryChange&) = delete;

private:
    T old_{};
    T* var_ = nullptr;
};

// Rows allocated separately; rows and cols are -1 while nothing is held.
template <class T>
class CArray_NxM {
public:
    CArray_NxM() = default;
    ~CArray_NxM() { Delete(); }
    CArray_NxM(const CArray_NxM& o) { *this = o; }

    CArray_NxM& operator=(const CArray_NxM& o) {
        if (this == &o) return *this;
        SetSize(o.rows_, o.cols_);
        for (int i = 0; i < rows_; ++i)
            for (int j = 0; j < cols_; ++j) data_[i][j] = o.data_[i][j];
        return *this;
    }

    void SetSize(int rows, int cols) {
        Delete();
        if (rows < 0 || cols < 0) return;
        data_ = new T*[rows > 0 ? rows : 1];
        for (int i = 0; i < rows; ++i) data_[i] = new T[cols > 0 ? cols : 1];
        rows_ = rows;
        cols_ = cols;
    }

    void Delete() {
        if (rows_ == -1) return;
        for (int i = 0; i < rows_; ++i) delete[] data_[i];
        delete[] data_;
        data_ = nullptr;
        rows_ = -1;
        cols_ = -1;
    }

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    T* operator[](int i) { return data_[i]; }
    const T* operator[](int i) const { return data_[i]; }

private:
    T** data_ = nullptr;
    int rows_ = -1;
    int cols_ = -1;
};

// One contiguous block, row after row.
template <class T>
class matrix {
public:
    matrix() = default;
    matrix(int rows, int cols) { resize(rows, cols); }
    ~matrix() { delete[] data_; }

    matrix(const matrix& o) : rows_(o.rows_), cols_(o.cols_) {
        if (o.data_) {
            data_ = new T[rows_ * cols_ > 0 ? rows_ * cols_ : 1];
            for (int i = 0; i < rows_ * cols_; ++i) data_[i] = o.data_[i];
        }
    }
    matrix& operator=(const matrix& o) {
        if (this != &o) {
            matrix tmp(o);
            std::swap(data_, tmp.data_);
            std::swap(rows_, tmp.rows_);
            std::swap(cols_, tmp.cols_);
        }
        return *this;
    }

    void resize(int rows, int cols) {
        if (rows < 0) rows = 0;
        if (cols < 0) cols = 0;
        if (rows == rows_ && cols == cols_ && data_) return;
        T* fresh = new T[rows * cols > 0 ? rows * cols : 1];
        int kr = rows < rows_ ? rows : rows_;
        int kc = cols < cols_ ? cols : cols_;
        for (int i = 0; i < kr; ++i)
            for (int j = 0; j < kc; ++j) fresh[i * cols + j] = data_[i * cols_ + j];
        delete[] data_;
        data_ = fresh;
        rows_ = rows;
        cols_ = cols;
    }

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    T* operator[](int i) { return data_ + i * cols_; }
    const T* operator[](int i) const { return data_ + i * cols_; }
    T& operator()(int i, int j) { return data_[i * cols_ + j]; }
    const T& operator()(int i, int j) const { return data_[i * cols_ + j]; }

private:
    T* data_ = nullptr;
    int rows_ = 0;
    int cols_ = 0;
};

// Saved positions of the three vertices of one triangle.
struct Save_TRI {
    vector3<double> p[3];
};

}  // namespace fnd
