#pragma once
// Free numeric and file functions shared by the model, the fitting code and
// the views.

#include <cstddef>
#include <string>

#include "foundation/vecmath.h"
#include "framework/cstring.h"

namespace fnd {

// Line P + t D against the plane of V1 V2 V3: 0 when the line is parallel
// (nothing written), else 1 with the hit point, t and the barycentric
// coordinates of the hit.
int baricoord(const vector3<double>& V1, const vector3<double>& V2, const vector3<double>& V3,
              const vector3<double>& P, const vector3<double>& D, vector3<double>* hit, double* t,
              vector3<double>* bary);

// Coordinates of P seen from a point off the plane (V3 + normal); they sum
// to 1 only for P in the triangle's plane.
vector3<double> bariCoord(const vector3<double>& V1, const vector3<double>& V2, const vector3<double>& V3,
                          const vector3<double>& P);

// (a, b, c) with P = a V1 + b V2 + c V3.
vector3<double> relativeBaricoord(const vector3<double>& P, const vector3<double>& V1,
                                  const vector3<double>& V2, const vector3<double>& V3);

// u is used as given: callers pass a unit vector.
vector3<double> RotatePointAroundVector(vector3<double> P, double angle, vector3<double> u);

// 2 inside, 1 within 0.1 of an edge, 0 outside; the polygon is closed.
int InsidePolygon(double x, double y, const vector2<double>* polygon, long count);

// Row tables of the camera search: rows of 1001 doubles, rows and columns
// counted from 1.
constexpr int kRowLength = 1001;
using RowTable = double[][kRowLength];

// Gram-Schmidt of rows 1..n of a into b; 1, or -1 on a vanishing norm.
double GRAM(long count, long n, RowTable a, RowTable b);

// One sweep moving x (1..count) onto each equation a_i . x = s_i (i = 1..n)
// along b_i; the sum of the squared steps, or -1 when a row is degenerate.
double min_distance_step(long count, long n, RowTable a, RowTable b, double* x, const double* s);

// Scrambled radical inverse of i in the prime base of the dimension; -1 for
// a dimension of 15 or more.
double ScrambledHalton(unsigned i, unsigned dimension);

// A fresh "$<n><n>" name for temporary files; the buffer is overwritten by the
// next call.
const char* randstring();

// Size of an existing regular file, 0 when it is missing, unreadable, empty
// or not a plain file.
int IsFileExist(const char* path);

// Path of the exchange OBJ file for the application's program folder (ending
// in a backslash) and DAZ mode.
std::string daz3dfile(const std::string& programFolder, int dazMode);
// The same into a caller's buffer of bufferSize bytes (cut to fit).
void daz3dfile(const std::string& programFolder, int dazMode, char* buffer, std::size_t bufferSize);

// String id of the program's string table; empty when there is none.
CString LoadStringResource(unsigned id);

}  // namespace fnd
