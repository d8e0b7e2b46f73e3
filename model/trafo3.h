#pragma once
// Point transformations applied to the head one pass at a time. Every pass
// goes through a numbered Strafo3: a point remembers the serial of the last
// pass that moved it and is not moved twice by the same pass, however many
// triangles, areas and regions reach it.
//
// Header only: the model's element types include it although the model
// library sits below the fitting library.

#include "foundation/filetb.h"
#include "foundation/use.h"

class trafo3 {
public:
    trafo3() = default;
    trafo3(const trafo3&) = default;
    trafo3& operator=(const trafo3&) = default;

    virtual void reset() {}
    virtual vector3<double> traf(const vector3<double>& p) const { return p; }
    virtual void set(const trafo3* other) {}
    virtual void pluseq(const trafo3* other) {}
    virtual void multeq(double x) {}
    virtual void set(const vector3<double>& from, const vector3<double>& to) {}
    virtual ~trafo3() = default;
};

// A translation.
class tMove : public trafo3 {
public:
    tMove() = default;
    explicit tMove(const vector3<double>& d) : displacement(d) {}

    void reset() override { displacement = vector3<double>(0, 0, 0); }
    vector3<double> traf(const vector3<double>& p) const override { return p + displacement; }
    void set(const trafo3* other) override {
        if (auto* o = dynamic_cast<const tMove*>(other)) displacement = o->displacement;
    }
    void pluseq(const trafo3* other) override {
        if (auto* o = dynamic_cast<const tMove*>(other)) displacement += o->displacement;
    }
    void multeq(double x) override { displacement *= x; }
    void set(const vector3<double>& from, const vector3<double>& to) override { displacement = to - from; }

    vector3<double> displacement;
};

// One numbered pass of a transformation; owns the transformation.
class Strafo3 {
public:
    // The last serial handed out; -1 before the first pass of a run.
    static inline int static_trafonum = -1;
    static void resetSerials() { static_trafonum = -1; }

    explicit Strafo3(trafo3* owned = nullptr) : serial(++static_trafonum), trafo(owned) {}
    virtual ~Strafo3() { delete trafo; }
    Strafo3(const Strafo3&) = delete;
    Strafo3& operator=(const Strafo3&) = delete;

    vector3<double> traf(const vector3<double>& p) const { return trafo ? trafo->traf(p) : p; }

    // The element side of a pass: moves p unless this pass already moved it
    // (lastSerial holds the serial of the pass that last moved p, -1 for a
    // new point). Returns whether p moved.
    bool apply(vector3<double>& p, int& lastSerial) const {
        if (lastSerial == serial) return false;
        p = traf(p);
        lastSerial = serial;
        return true;
    }

    int serial;
    trafo3* trafo;
};

class SmoveTrafo : public Strafo3 {
public:
    explicit SmoveTrafo(const vector3<double>& v) : Strafo3(new tMove(v)) {}
};

// Only the serial is stored; the transformation itself is not.
inline fnd::fileTB& operator<<(fnd::fileTB& f, const Strafo3& t) { return f << t.serial; }
inline fnd::fileTB& operator>>(fnd::fileTB& f, Strafo3& t) { return f >> t.serial; }

// Owning pointer to a Strafo3 (null allowed); kept in pools, so it moves but
// does not copy.
template <class T>
class autoDeletePtr {
public:
    autoDeletePtr() = default;
    explicit autoDeletePtr(T* p) : p_(p) {}
    ~autoDeletePtr() { delete p_; }
    autoDeletePtr(const autoDeletePtr&) = delete;
    autoDeletePtr& operator=(const autoDeletePtr&) = delete;
    autoDeletePtr(autoDeletePtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    autoDeletePtr& operator=(autoDeletePtr&& o) noexcept {
        if (this != &o) {
            delete p_;
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    void reset(T* p = nullptr) {
        if (p == p_) return;
        delete p_;
        p_ = p;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};
