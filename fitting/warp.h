#pragma once
// The head warp: every head vertex moves by a weighted mean of the control
// points' displacements, the weights falling off with a power of the
// distance measured in a plane space. Displacements live in photo space and
// are carried back into head space, so the head keeps its depth. Controls of
// an optional fixed line do not move and hold the vertices near them.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "fitting/trafdef.h"
#include "model/trafo3.h"
#include "foundation/use.h"
#include "model/elements.h"

class bela23Trafo : public trafo3 {
public:
    bela23Trafo(Index<featureline3> fixedLine, const fnd::vector<vector2<double>>& from,
                const fnd::vector<vector2<double>>& to, const fnd::vector<double>& weights,
                const htraf3<double>& toPlane, const htraf3<double>& toPhoto, double weightFactor, double alpha,
                double fixRadius);

    vector3<double> traf(const vector3<double>& p) const override;
    // Works out the moves of points known beforehand (two at a time, each
    // with the very sums traf makes for it); traf then hands them out.
    void prepare(const std::vector<vector3<double>>& points);

    virtual vector3<double> setModif(const vector3<double>& a, const vector3<double>& b) const;
    virtual vector3<double> setModif(const vector3<double>& a, const vector2<double>& b) const;
    virtual vector3<double> setModif(const vector2<double>& a, const vector2<double>& b) const;
    virtual vector3<double> modify(const vector3<double>& p, const vector3<double>& d) const;

    static double distdistance2(const vector3<double>& a, const vector3<double>& b) { return (a - b) * (a - b); }
    double fixingWeight(double nearFixed, double nearMoving) const;

    double alpha;
    double fixRadius;
    fnd::vector<vector3<double>> basePoints;
    fnd::vector<vector3<double>> planePoints;
    fnd::vector<double> weights;
    fnd::vector<vector3<double>> displacements;
    htraf3<double> toPlane;
    htraf3<double> toPhoto;
    htraf3<double> fromPhoto;
    int fixedCount = 0;
    int count = 0;
    // Where the processor has them, prepare works four points at a time in
    // wide registers (the same results); tests turn that off.
    bool wideRegisters = true;

private:
    vector3<double> moved(const vector3<double>& p) const;
    // Two points of the fitting's kind of warp (inverse squares, nothing
    // fixed); false when one lies on a control point.
    bool movedTwo(const vector3<double>& p0, const vector3<double>& p1, vector3<double>& r0,
                  vector3<double>& r1) const;
    bool movedFour(const vector3<double>* p, vector3<double>* r) const;
    struct Bits {
        uint64_t x, y, z;
        bool operator==(const Bits&) const = default;
    };
    struct BitsHash {
        size_t operator()(const Bits& b) const { return size_t((b.x * 0x9E3779B97F4A7C15ull) ^ (b.y * 31) ^ (b.z * 7)); }
    };
    static Bits bitsOf(const vector3<double>& p);
    std::unordered_map<Bits, vector3<double>, BitsHash> prepared_;
};

class Sbela23Trafo : public Strafo3 {
public:
    Sbela23Trafo(Index<featureline3> fixedLine, const fnd::vector<vector2<double>>& from,
                 const fnd::vector<vector2<double>>& to, const fnd::vector<double>& weights, bool /*unused*/,
                 const htraf3<double>& toPlane, const htraf3<double>& toPhoto, double weightFactor, double alpha,
                 double fixRadius)
        : Strafo3(new bela23Trafo(fixedLine, from, to, weights, toPlane, toPhoto, weightFactor, alpha, fixRadius)) {}
};

// Warps the current head by one feature (its projection is the camera).
void bela23TrafoHead(const trafdef22& feature, bool flatDistances, double alpha);
// Turns the targets the way of their sources, combines the features by
// length and warps the current head by the result.
void Bela23TrafoHead(fnd::vector<trafdef22>& features, bool flatDistances, double alpha);
