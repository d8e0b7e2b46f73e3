#pragma once
// Growable array and fixed-size vector: the value containers under every
// chain, list and working array of the program.

#include <climits>
#include <cstddef>
#include <functional>
#include <new>
#include <utility>

#include "foundation/utility.h"

namespace fnd {

// Elements between size and capacity are live objects: growing within the
// capacity exposes whatever an earlier, longer use left there.
template <class T>
class dynarray {
public:
    explicit dynarray(int n = 0, int minStep = 10, double grow = 1.25, double shrink = 0.33)
        : minStep_(minStep > 0 ? minStep : 1),
          grow_(grow > 1.0 ? grow : 1.0),
          size_(n > 0 ? n : 0) {
        shrink_ = shrink < 1.0 / grow_ ? shrink : 1.0 / grow_;
        capacity_ = newsize(size_);
        data_ = capacity_ > 0 ? new T[capacity_] : nullptr;
    }

    ~dynarray() { delete[] data_; }

    // Whole-array copies are not offered; moving hands over the storage so
    // that an element owning a dynarray can itself be moved cheaply.
    dynarray(const dynarray&) = delete;
    dynarray& operator=(const dynarray&) = delete;

    dynarray(dynarray&& o) noexcept
        : capacity_(o.capacity_), minStep_(o.minStep_), grow_(o.grow_), shrink_(o.shrink_),
          data_(o.data_), size_(o.size_) {
        o.capacity_ = 0;
        o.data_ = nullptr;
        o.size_ = 0;
    }

    dynarray& operator=(dynarray&& o) noexcept {
        if (this != &o) {
            delete[] data_;
            capacity_ = o.capacity_;
            minStep_ = o.minStep_;
            grow_ = o.grow_;
            shrink_ = o.shrink_;
            data_ = o.data_;
            size_ = o.size_;
            o.capacity_ = 0;
            o.data_ = nullptr;
            o.size_ = 0;
        }
        return *this;
    }

    int size() const { return size_; }
    int capacity() const { return capacity_; }
    int minStep() const { return minStep_; }
    double growFactor() const { return grow_; }
    double shrinkFactor() const { return shrink_; }

    T& operator[](int i) { return data_[i]; }
    const T& operator[](int i) const { return data_[i]; }

    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    void resize(int n) {
        if (n < 0) n = 0;
        if (n == size_) return;
        int newCap;
        if (n > capacity_) {
            newCap = newsize(n);
        } else if (static_cast<double>(n) >= static_cast<double>(capacity_) * shrink_) {
            size_ = n;
            return;
        } else {
            newCap = n;
        }
        reallocate(newCap, n < size_ ? n : size_);
        size_ = n;
    }

    T& add() {
        resize(size_ + 1);
        return data_[size_ - 1];
    }

    // add(), then the value: the same growth (and shrink) rule. x may refer
    // into this array: it is copied before the storage can move.
    T& add(const T& x) {
        if (!holds(&x)) {
            T& slot = add();
            slot = x;
            return slot;
        }
        T copy(x);
        T& slot = add();
        slot = std::move(copy);
        return slot;
    }

    T& add(T&& x) {
        if (!holds(&x)) {
            T& slot = add();
            slot = std::move(x);
            return slot;
        }
        T moved(std::move(x));
        T& slot = add();
        slot = std::move(moved);
        return slot;
    }

private:
    bool holds(const T* p) const {
        std::less<const T*> before;
        return data_ && !before(p, data_) && before(p, data_ + capacity_);
    }

    // A capacity beyond the 32-bit range fails like any allocation.
    int newsize(int n) const {
        if (n == 0) return 0;
        double c = static_cast<double>(static_cast<long long>(n * grow_)) + minStep_;
        if (c > INT_MAX) throw std::bad_alloc();
        return static_cast<int>(c);
    }

    void reallocate(int newCap, int keep) {
        T* fresh = newCap > 0 ? new T[newCap] : nullptr;
        for (int i = 0; i < keep; ++i) fnd::swap(fresh[i], data_[i]);
        delete[] data_;
        data_ = fresh;
        capacity_ = newCap;
    }

    int capacity_ = 0;
    int minStep_ = 10;
    double grow_ = 1.25;
    double shrink_ = 0.33;
    T* data_ = nullptr;
    int size_ = 0;
};

// Plain array whose size is set exactly; every add reallocates.
template <class T>
class vector {
public:
    explicit vector(int n = 0) : size_(n > 0 ? n : 0), data_(allocate(size_)) {}
    ~vector() { delete[] data_; }

    vector(const vector& o) : size_(o.size_), data_(allocate(o.size_)) {
        for (int i = 0; i < size_; ++i) data_[i] = o.data_[i];
    }

    vector& operator=(const vector& o) {
        if (this != &o) {
            T* fresh = allocate(o.size_);
            for (int i = 0; i < o.size_; ++i) fresh[i] = o.data_[i];
            delete[] data_;
            data_ = fresh;
            size_ = o.size_;
        }
        return *this;
    }

    vector(vector&& o) noexcept : size_(o.size_), data_(o.data_) {
        o.size_ = 0;
        o.data_ = nullptr;
    }

    vector& operator=(vector&& o) noexcept {
        if (this != &o) {
            delete[] data_;
            data_ = o.data_;
            size_ = o.size_;
            o.data_ = nullptr;
            o.size_ = 0;
        }
        return *this;
    }

    int size() const { return size_; }
    T& operator[](int i) { return data_[i]; }
    const T& operator[](int i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    void resize(int n) {
        if (n < 0) n = 0;
        if (n == size_ && data_) return;
        T* fresh = allocate(n);
        int keep = n < size_ ? n : size_;
        for (int i = 0; i < keep; ++i) fresh[i] = std::move(data_[i]);
        delete[] data_;
        data_ = fresh;
        size_ = n;
    }

    // x may refer into this vector: copied before the old array goes.
    void add(const T& x) {
        T copy(x);
        resize(size_ + 1);
        data_[size_ - 1] = std::move(copy);
    }

private:
    // One spare element beyond n.
    static T* allocate(int n) {
        if (n == INT_MAX) throw std::bad_alloc();
        return new T[n + 1];
    }

    int size_ = 0;
    T* data_ = nullptr;
};

}  // namespace fnd
