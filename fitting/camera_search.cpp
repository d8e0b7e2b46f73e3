#include "fitting/camera_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <memory>
#include <new>

#include "foundation/numeric.h"
#include "foundation/random.h"

namespace {

std::unique_ptr<CameraSearchTables>& tablesPtr() {
    static std::unique_ptr<CameraSearchTables> t(new CameraSearchTables());
    return t;
}

// Least-squares scratch of the 3 x 3 fit, rows and columns counted from 1.
struct Scratch {
    double a[5][fnd::kRowLength];
    double b[5][fnd::kRowLength];
    double x[fnd::kRowLength];
    double s[fnd::kRowLength];
};

Scratch& scratch() {
    static std::unique_ptr<Scratch> s(new Scratch());
    return *s;
}

// Projected head points of the candidate being fitted, reused by the error
// pass so that nothing is allocated or projected twice.
dynarray<vector2<double>>& projectedScratch() {
    static dynarray<vector2<double>> p;
    return p;
}

const double kInf = std::numeric_limits<double>::infinity();

}  // namespace

CameraSearchTables::CameraSearchTables() {
    // calloc: zero pages from the system, touched only when the candidates
    // are written; vector3 and double rows may begin their lives there.
    const size_t n = kCameraCandidates;
    rows_ = std::calloc(1, 5 * n * sizeof(vector3<double>) + n * sizeof(double));
    if (!rows_) throw std::bad_alloc();
    auto* v = static_cast<vector3<double>*>(rows_);
    _eye = v;
    new_center = v + n;
    _view = v + 2 * n;
    _vertical = v + 3 * n;
    _horizontal = v + 4 * n;
    torzit = reinterpret_cast<double*>(v + 5 * n);
}

CameraSearchTables::~CameraSearchTables() { std::free(rows_); }

CameraSearchTables& cameraSearchTables() { return *tablesPtr(); }

void resetCameraSearch() { tablesPtr().reset(new CameraSearchTables()); }

void camera_photo_size(int width, int height) {
    CameraSearchTables& t = cameraSearchTables();
    t.photoWidth = width;
    t.photoHeight = height;
}

namespace {

inline double dot3(const vector3<double>& a, const vector3<double>& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline vector3<double> cross3(const vector3<double>& a, const vector3<double>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double normalize3(vector3<double>* v) {
    double l = std::sqrt(dot3(*v, *v));
    if (l < 1e-8) return 0;
    v->x /= l;
    v->y /= l;
    v->z /= l;
    return l;
}

}  // namespace

double Skalaris_3(vector3<double> a, vector3<double> b) { return dot3(a, b); }

vector3<double> Vektorialis(vector3<double> a, vector3<double> b) { return cross3(a, b); }

double Normalas(vector3<double>* v) { return normalize3(v); }

void kozeppont(double x, double y, double z) { cameraSearchTables().center_point = vector3<double>(x, y, z); }

void adatok_beallitasa(long i, vector2<double> photoPoint, bool present, vector3<double> headPoint,
                       double importance, bool onSymmetryPlane) {
    if (i < 0) return;
    CameraSearchTables& t = cameraSearchTables();
    int n = int(i) + 1;
    t.basic_2D_points.resize(n);
    t.basic_2D_existance.resize(n);
    t.basic_3D_points.resize(n);
    t.importance_of_basic_points.resize(n);
    t.basic_points_is_on_Xcoordplan.resize(n);
    t.basic_2D_points[i] =
        vector2<double>(photoPoint.x - t.photoWidth / 2.0, t.photoHeight / 2.0 - photoPoint.y);
    t.basic_2D_existance[i] = present ? 1 : 0;
    t.basic_3D_points[i] = headPoint;
    t.importance_of_basic_points[i] = importance > 0 && std::isfinite(importance) ? importance : 1.0;
    t.basic_points_is_on_Xcoordplan[i] = onSymmetryPlane ? 1 : 0;
}

namespace {

// fnd::ScrambledHalton with the base known at compile time: the same
// operations in the same order, so the same values, without run-time
// divisions.
template <unsigned p>
struct DigitScales {
    double s[40];
    DigitScales() {
        double scale = 1.0 / p;
        for (double& v : s) {
            v = scale;
            scale /= p;
        }
    }
};

template <unsigned p>
const DigitScales<p>& digitScales() {
    static const DigitScales<p> scales;
    return scales;
}

template <unsigned p>
double halton(unsigned i) {
    const DigitScales<p>& scales = digitScales<p>();
    double r = 0;
    for (unsigned k = 0; i > 0; ++k, i /= p) r += ((i % p + k) % p) * scales.s[k];
    return r;
}

// The same numbers for consecutive indices of at least m digits. The loop
// above adds the terms of the low digits first: their sum, for the m low
// digits, comes from a table, and the terms of the high digits, which stay
// the same for p^m indices in a row, are kept; the additions are the same
// ones in the same order.
template <unsigned p, unsigned m>
class HaltonStream {
public:
    static constexpr unsigned size() {
        unsigned n = 1;
        for (unsigned k = 0; k < m; ++k) n *= p;
        return n;
    }
    static constexpr unsigned kSize = size();

    HaltonStream() {
        const DigitScales<p>& scales = digitScales<p>();
        // Built digit by digit in place: the entries for k + 1 digits extend
        // those for k, the high ones written first.
        unsigned block = 1;
        sum_[0] = 0;
        for (unsigned k = 0; k < m; ++k, block *= p)
            for (unsigned q = block * p; q-- > 0;) sum_[q] = sum_[q % block] + ((q / block + k) % p) * scales.s[k];
    }

    // Starts at index i (i >= p^(m - 1)).
    void start(unsigned i) {
        low_ = i % kSize;
        setHigh(i / kSize);
    }

    double next() {
        double r = sum_[low_];
        for (int k = 0; k < highCount_; ++k) r += high_[k];
        if (++low_ == kSize) {
            low_ = 0;
            setHigh(highIndex_ + 1);
        }
        return r;
    }

private:
    void setHigh(unsigned i) {
        const DigitScales<p>& scales = digitScales<p>();
        highIndex_ = i;
        highCount_ = 0;
        for (unsigned k = m; i > 0; ++k, i /= p) high_[highCount_++] = ((i % p + k) % p) * scales.s[k];
    }

    double sum_[kSize];
    double high_[40];
    int highCount_ = 0;
    unsigned highIndex_ = 0;
    unsigned low_ = 0;
};

// The table depends only on the centre, and the search rewrites only the up
// directions of it: they are kept as generated, so that the next camera step
// with the same centre on the same tables only copies them back.
struct GeneratedTable {
    bool valid = false;
    unsigned serial = 0;  // the tables' build it belongs to
    vector3<double> centre;
    vector3<double>* vertical = static_cast<vector3<double>*>(std::calloc(kCameraCandidates, sizeof(vector3<double>)));

    GeneratedTable() {
        if (!vertical) throw std::bad_alloc();
    }
    ~GeneratedTable() { std::free(vertical); }
    GeneratedTable(const GeneratedTable&) = delete;
    GeneratedTable& operator=(const GeneratedTable&) = delete;
};

unsigned& buildCount() {
    static unsigned n = 0;
    return n;
}

GeneratedTable& generatedTable() {
    static std::unique_ptr<GeneratedTable> g(new GeneratedTable());
    return *g;
}

// A block of candidates, one array per coordinate.
constexpr int kBlock = 256;

struct Block {
    double dx[kBlock], dy[kBlock], dz[kBlock], L[kBlock];
    double h2[kBlock], h3[kBlock], cosRho[kBlock], sinRho[kBlock];
    double len[kBlock];
    double ex[kBlock], ey[kBlock], ez[kBlock];
    double vx[kBlock], vy[kBlock], vz[kBlock];
};

// normalize3 over a block: len holds the lengths; below 1e-8 the vector
// stays as it was and its length counts as 0. Dividing by 1 instead keeps
// the loop free of branches.
inline void normalizeBlock(int n, double* x, double* y, double* z, double* len) {
    for (int i = 0; i < n; ++i) len[i] = std::sqrt(x[i] * x[i] + y[i] * y[i] + z[i] * z[i]);
    for (int i = 0; i < n; ++i) {
        bool tiny = len[i] < 1e-8;
        double q = tiny ? 1.0 : len[i];
        x[i] = x[i] / q;
        y[i] = y[i] / q;
        z[i] = z[i] / q;
        len[i] = tiny ? 0.0 : len[i];
    }
}

// The candidates are made in blocks, each step of the arithmetic as its own
// loop over the block: the rows do not depend on each other, so the roots
// and divisions of many rows overlap and most loops vectorise. Every row goes
// through the same operations, in the same order, as when the candidates
// were made one at a time (the candidate tests pin the table bit for bit).
// The rows are written into the search's table, the up directions also into
// the kept copy.
void buildCandidates(const vector3<double>& c, GeneratedTable& g, CameraSearchTables& t) {
    struct Streams {
        HaltonStream<2, 12> h0;
        HaltonStream<3, 7> h1;
        HaltonStream<5, 5> h2;
        HaltonStream<7, 4> h3;
        HaltonStream<11, 3> h4;
        Block block;
    };
    static std::unique_ptr<Streams> streamsPtr(new Streams);
    Streams& S = *streamsPtr;
    Block& B = S.block;
    // The first index used is 15001.
    S.h0.start(15001);
    S.h1.start(15001);
    S.h2.start(15001);
    S.h3.start(15001);
    S.h4.start(15001);
    int k = 0;
    while (k < kCameraCandidates) {
        for (int i = 0; i < kBlock; ++i) B.dy[i] = S.h0.next();
        for (int i = 0; i < kBlock; ++i) B.dx[i] = S.h1.next();
        for (int i = 0; i < kBlock; ++i) B.h2[i] = S.h2.next();
        for (int i = 0; i < kBlock; ++i) B.h3[i] = S.h3.next();
        for (int i = 0; i < kBlock; ++i) B.sinRho[i] = S.h4.next();
        for (int i = 0; i < kBlock; ++i) {
            double cz = 2 * B.dy[i] - 1;
            double s = std::sqrt(1 - cz * cz);
            double phi = (2 * B.dx[i] - 1) * 3.1415926535;
            B.dx[i] = std::sin(phi) * s;
            B.dy[i] = cz;
            B.dz[i] = s * std::cos(phi);
            double rho = 0.8 * B.sinRho[i] - 0.4;
            B.cosRho[i] = std::cos(rho);
            B.sinRho[i] = std::sin(rho);
        }
        normalizeBlock(kBlock, B.dx, B.dy, B.dz, B.L);
        // An attempt whose direction rounds to more than unit length is
        // dropped; its index is used up all the same.
        int n = 0;
        for (int i = 0; i < kBlock && k + n < kCameraCandidates; ++i) {
            if (B.L[i] > 1) continue;
            B.dx[n] = B.dx[i], B.dy[n] = B.dy[i], B.dz[n] = B.dz[i], B.L[n] = B.L[i];
            B.h2[n] = B.h2[i], B.h3[n] = B.h3[i], B.cosRho[n] = B.cosRho[i], B.sinRho[n] = B.sinRho[i];
            ++n;
        }
        // Eye, and the jitter axis a = (600, 800, 1300) without its part along d.
        double* ax = B.vx;
        double* ay = B.vy;
        double* az = B.vz;
        for (int i = 0; i < n; ++i) {
            double r = 500.0 / std::max(B.L[i], 1e-6);
            B.ex[i] = c.x + B.dx[i] * r;
            B.ey[i] = c.y + B.dy[i] * r;
            B.ez[i] = c.z + B.dz[i] * r;
            double along = 600 * B.dx[i] + 800 * B.dy[i] + 1300 * B.dz[i];
            ax[i] = 600 - B.dx[i] * along;
            ay[i] = 800 - B.dy[i] * along;
            az[i] = 1300 - B.dz[i] * along;
        }
        normalizeBlock(n, ax, ay, az, B.len);
        // Look-at point (b = d x a), then the view direction in place of a.
        for (int i = 0; i < n; ++i) {
            double bx = B.dy[i] * az[i] - B.dz[i] * ay[i];
            double by = B.dz[i] * ax[i] - B.dx[i] * az[i];
            double bz = B.dx[i] * ay[i] - B.dy[i] * ax[i];
            double u = (0.5 * B.h2[i] - 0.25) * 500, w = (0.5 * B.h3[i] - 0.25) * 500;
            vector3<double> centre(c.x + ax[i] * u + bx * w, c.y + ay[i] * u + by * w, c.z + az[i] * u + bz * w);
            t.new_center[k + i] = centre;
            B.vx[i] = centre.x - B.ex[i];
            B.vy[i] = centre.y - B.ey[i];
            B.vz[i] = centre.z - B.ez[i];
        }
        normalizeBlock(n, B.vx, B.vy, B.vz, B.len);
        // up0 = (0, 1, 0) without its part along the view, in place of d.
        for (int i = 0; i < n; ++i) {
            double along = 0.0 * B.vx[i] + 1.0 * B.vy[i] + 0.0 * B.vz[i];
            B.dx[i] = 0.0 - B.vx[i] * along;
            B.dy[i] = 1.0 - B.vy[i] * along;
            B.dz[i] = 0.0 - B.vz[i] * along;
        }
        normalizeBlock(n, B.dx, B.dy, B.dz, B.len);
        // Roll the image's up about the view: side = view x up0.
        for (int i = 0; i < n; ++i) {
            double sx = B.vy[i] * B.dz[i] - B.vz[i] * B.dy[i];
            double sy = B.vz[i] * B.dx[i] - B.vx[i] * B.dz[i];
            double sz = B.vx[i] * B.dy[i] - B.vy[i] * B.dx[i];
            double cr = B.cosRho[i], sr = B.sinRho[i];
            vector3<double> eye(B.ex[i], B.ey[i], B.ez[i]), view(B.vx[i], B.vy[i], B.vz[i]),
                vertical(B.dx[i] * cr - sx * sr, B.dy[i] * cr - sy * sr, B.dz[i] * cr - sz * sr);
            t._eye[k + i] = eye;
            t._view[k + i] = view;
            g.vertical[k + i] = vertical;
            t._vertical[k + i] = vertical;
        }
        k += n;
    }
    g.centre = c;
    g.valid = true;
    g.serial = t.tableSerial = ++buildCount();
}

}  // namespace

void generation_possible_camera_models() {
    CameraSearchTables& t = cameraSearchTables();
    t.min_camera_distance = 500.0;
    fnd::seedRandom(0);
    GeneratedTable& g = generatedTable();
    if (!g.valid || !(g.centre == t.center_point) || t.tableSerial != g.serial)
        buildCandidates(t.center_point, g, t);
    else
        std::copy(g.vertical, g.vertical + kCameraCandidates, t._vertical);
    std::fill(t.torzit, t.torzit + kCameraCandidates, 1.0);
}

double cameraHaltonForTest(unsigned i, unsigned dimension) {
    switch (dimension) {
        case 0: return halton<2>(i);
        case 1: return halton<3>(i);
        case 2: return halton<5>(i);
        case 3: return halton<7>(i);
        case 4: return halton<11>(i);
        default: return -1;
    }
}

namespace {

// KAMERA_MODELL for a row known to exist, inlined into the search's loops.
inline void imageAxes(const CameraSearchTables& t, long k, const vector3<double>& view, vector3<double>* horizontal,
                      vector3<double>* vertical) {
    *horizontal = cross3(view, t._vertical[k]);
    *vertical = cross3(*horizontal, view);
}

}  // namespace

void KAMERA_MODELL(long k, vector3<double>* view, vector3<double>* horizontal, vector3<double>* vertical) {
    if (k < 0 || k >= kCameraCandidates) return;
    imageAxes(cameraSearchTables(), k, *view, horizontal, vertical);
}

namespace {

// display_koordinatak with the axes already normalised.
inline bool projectUnit(const vector3<double>& view, const vector3<double>& horizontal,
                        const vector3<double>& vertical, const vector3<double>& eye, const vector3<double>& p,
                        vector2<double>* out) {
    vector3<double> d(p.x - eye.x, p.y - eye.y, p.z - eye.z);
    double depth = dot3(d, view);
    if (depth < 1e-8) return false;
    *out = vector2<double>(dot3(d, horizontal) / depth, dot3(d, vertical) / depth);
    return true;
}

}  // namespace

bool display_koordinatak(vector3<double> view, vector3<double> horizontal, vector3<double> vertical,
                         vector3<double> eye, vector3<double> p, vector2<double>* out) {
    Normalas(&view);
    Normalas(&horizontal);
    Normalas(&vertical);
    return projectUnit(view, horizontal, vertical, eye, p, out);
}

int _error_of_2D_3D_points(double stretch, vector3<double> view, vector3<double> horizontal,
                           vector3<double> vertical, vector3<double> eye, long n, double* tx, double* ty,
                           double* scale, double* error) {
    const CameraSearchTables& t = cameraSearchTables();
    if (n > t.basic_2D_points.size()) n = t.basic_2D_points.size();
    *error = kInf;
    Normalas(&view);
    Normalas(&horizontal);
    Normalas(&vertical);

    dynarray<vector2<double>>& uv = projectedScratch();
    if (uv.size() < n) uv.resize(int(n));
    double Sw = 0, Su = 0, Sv = 0, Suu = 0, Sx = 0, Sy = 0, Sxu = 0;
    for (long i = 0; i < n; ++i) {
        if (!t.basic_2D_existance[i]) continue;
        vector3<double> p = t.basic_3D_points[i];
        p.x *= stretch;
        // A point the camera cannot see makes the whole candidate unusable.
        if (!projectUnit(view, horizontal, vertical, eye, p, &uv[i])) return 0;
        double w = t.importance_of_basic_points[i];
        double u = uv[i].x, v = uv[i].y;
        double x = t.basic_2D_points[i].x, y = t.basic_2D_points[i].y;
        Sw += w;
        Su += w * u;
        Sv += w * v;
        Suu += w * (u * u + v * v);
        Sx += w * x;
        Sy += w * y;
        Sxu += w * (x * u + y * v);
    }
    if (!(Sw > 0)) return 0;

    Scratch& z = scratch();
    const double m[3][4] = {{Sw, 0, Su, Sx}, {0, Sw, Sv, Sy}, {Su, Sv, Suu, Sxu}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) z.a[r + 1][c + 1] = m[r][c];
        z.s[r + 1] = m[r][3];
        z.a[4][r + 1] = m[r][3];
    }
    z.x[1] = z.x[2] = z.x[3] = 0;
    if (fnd::GRAM(3, 3, z.a, z.b) < 0) return 0;
    if (fnd::min_distance_step(3, 3, z.a, z.b, z.x, z.s) < 0) return 0;
    *tx = z.x[1];
    *ty = z.x[2];
    *scale = z.x[3];
    // A mirrored or vanishing image is no camera.
    if (!(*scale > 0)) return 0;

    double sum = 0;
    for (long i = 0; i < n; ++i) {
        if (!t.basic_2D_existance[i]) continue;
        double w = t.importance_of_basic_points[i];
        double ex = *scale * uv[i].x + *tx - t.basic_2D_points[i].x;
        double ey = *scale * uv[i].y + *ty - t.basic_2D_points[i].y;
        sum += w * (ex * ex + ey * ey);
    }
    if (std::fabs(*tx) > 0.4 * t.photoWidth || std::fabs(*ty) > 0.4 * t.photoHeight) sum = 1e8;
    *error = std::sqrt(sum / Sw);
    return 1;
}

namespace {

// A few well spread present pairs. Fitting scale and offset to them alone
// gives a lower bound of a candidate's error (their share of the full sum can
// only grow when the other pairs join the fit), so most candidates are ruled
// out without projecting every pair.
struct BoundSubset {
    int count = 0;
    vector3<double> head[8];
    vector2<double> photo[8];
    double weight[8];
};

BoundSubset spreadSubset(const CameraSearchTables& t, long n) {
    BoundSubset b;
    dynarray<long> present;
    for (long i = 0; i < n; ++i)
        if (t.basic_2D_existance[i]) present.add(i);
    if (present.size() <= 10) return b;  // the full fit is as cheap
    // Farthest-point order from the first present pair.
    dynarray<double> nearest(present.size());
    long pick = 0;
    for (int k = 0; k < present.size(); ++k) nearest[k] = HUGE_VAL;
    while (b.count < 8) {
        long i = present[pick];
        b.head[b.count] = t.basic_3D_points[i];
        b.photo[b.count] = t.basic_2D_points[i];
        b.weight[b.count] = t.importance_of_basic_points[i];
        ++b.count;
        double farthest = -1;
        for (int k = 0; k < present.size(); ++k) {
            double d = dist(t.basic_3D_points[present[k]], t.basic_3D_points[i]);
            if (d < nearest[k]) nearest[k] = d;
            if (nearest[k] > farthest) {
                farthest = nearest[k];
                pick = k;
            }
        }
    }
    return b;
}

// Weighted squared error of the best scale and offset for the first `count`
// points of the subset alone. The axes need not be normalised: they are unit
// vectors to rounding, which the caller's margin covers. +inf when a point is
// clearly behind the eye (the full fit refuses that candidate too); -1 when
// no bound can be given (a point too near the eye's plane to tell, or a
// degenerate fit): the candidate is then fitted in full.
double subsetBound(const BoundSubset& b, int count, const vector3<double>& view, const vector3<double>& horizontal,
                   const vector3<double>& vertical, const vector3<double>& eye) {
    double u[8], v[8];
    double Sw = 0, Su = 0, Sv = 0, Suu = 0, Sx = 0, Sy = 0, Sxu = 0;
    for (int i = 0; i < count; ++i) {
        vector3<double> d(b.head[i].x - eye.x, b.head[i].y - eye.y, b.head[i].z - eye.z);
        double depth = dot3(d, view);
        if (depth < 1e-6) return depth < -1e-6 ? kInf : -1;
        double r = 1.0 / depth;
        u[i] = dot3(d, horizontal) * r;
        v[i] = dot3(d, vertical) * r;
        double w = b.weight[i], x = b.photo[i].x, y = b.photo[i].y;
        Sw += w;
        Su += w * u[i];
        Sv += w * v[i];
        Suu += w * (u[i] * u[i] + v[i] * v[i]);
        Sx += w * x;
        Sy += w * y;
        Sxu += w * (x * u[i] + y * v[i]);
    }
    double spread = Suu - (Su * Su + Sv * Sv) / Sw;
    if (!(spread > 1e-12 * Suu)) return -1;
    double s = (Sxu - (Su * Sx + Sv * Sy) / Sw) / spread;
    double tx = (Sx - Su * s) / Sw, ty = (Sy - Sv * s) / Sw;
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        double ex = s * u[i] + tx - b.photo[i].x, ey = s * v[i] + ty - b.photo[i].y;
        sum += b.weight[i] * (ex * ex + ey * ey);
    }
    return sum;
}

// subsetBound with the first four subset points for a block of candidates
// at once, one array per coordinate, so that the arithmetic of many
// candidates runs side by side: the same formulas in the same order.
constexpr int kBoundBlock = 16;

struct AxesBlock {
    double ex[kBoundBlock], ey[kBoundBlock], ez[kBoundBlock];
    double vx[kBoundBlock], vy[kBoundBlock], vz[kBoundBlock];  // view
    double hx[kBoundBlock], hy[kBoundBlock], hz[kBoundBlock];  // horizontal
    double ux[kBoundBlock], uy[kBoundBlock], uz[kBoundBlock];  // vertical
};

__attribute__((target_clones("avx2", "default"))) void subsetBound4Block(const BoundSubset& b, const AxesBlock& a,
                                                                         double* out) {
    double Sw[kBoundBlock] = {}, Su[kBoundBlock] = {}, Sv[kBoundBlock] = {}, Suu[kBoundBlock] = {},
           Sx[kBoundBlock] = {}, Sy[kBoundBlock] = {}, Sxu[kBoundBlock] = {};
    double u[4][kBoundBlock], v[4][kBoundBlock];
    bool behind[kBoundBlock] = {}, near[kBoundBlock] = {};
    for (int p = 0; p < 4; ++p) {
        const double px = b.head[p].x, py = b.head[p].y, pz = b.head[p].z;
        const double w = b.weight[p], x = b.photo[p].x, y = b.photo[p].y;
        for (int i = 0; i < kBoundBlock; ++i) {
            double dx = px - a.ex[i], dy = py - a.ey[i], dz = pz - a.ez[i];
            double depth = dx * a.vx[i] + dy * a.vy[i] + dz * a.vz[i];
            behind[i] = behind[i] || depth < -1e-6;
            near[i] = near[i] || !(depth < -1e-6 || depth >= 1e-6);
            double r = 1.0 / depth;
            double ui = (dx * a.hx[i] + dy * a.hy[i] + dz * a.hz[i]) * r;
            double vi = (dx * a.ux[i] + dy * a.uy[i] + dz * a.uz[i]) * r;
            u[p][i] = ui;
            v[p][i] = vi;
            Sw[i] += w;
            Su[i] += w * ui;
            Sv[i] += w * vi;
            Suu[i] += w * (ui * ui + vi * vi);
            Sx[i] += w * x;
            Sy[i] += w * y;
            Sxu[i] += w * (x * ui + y * vi);
        }
    }
    double sc[kBoundBlock], tx[kBoundBlock], ty[kBoundBlock], sum[kBoundBlock] = {};
    bool flat[kBoundBlock];
    for (int i = 0; i < kBoundBlock; ++i) {
        double spread = Suu[i] - (Su[i] * Su[i] + Sv[i] * Sv[i]) / Sw[i];
        flat[i] = !(spread > 1e-12 * Suu[i]);
        sc[i] = (Sxu[i] - (Su[i] * Sx[i] + Sv[i] * Sy[i]) / Sw[i]) / spread;
        tx[i] = (Sx[i] - Su[i] * sc[i]) / Sw[i];
        ty[i] = (Sy[i] - Sv[i] * sc[i]) / Sw[i];
    }
    for (int p = 0; p < 4; ++p)
        for (int i = 0; i < kBoundBlock; ++i) {
            double ex = sc[i] * u[p][i] + tx[i] - b.photo[p].x, ey = sc[i] * v[p][i] + ty[i] - b.photo[p].y;
            sum[i] += b.weight[p] * (ex * ex + ey * ey);
        }
    // As subsetBound: a point clearly behind the eye rules the candidate
    // out; one too near the eye's plane, or a flat fit, gives no bound.
    for (int i = 0; i < kBoundBlock; ++i) out[i] = behind[i] ? kInf : near[i] || flat[i] ? -1 : sum[i];
}

}  // namespace

bool cameraPairsUsable(long n) {
    const CameraSearchTables& t = cameraSearchTables();
    if (n > t.basic_2D_points.size()) n = t.basic_2D_points.size();
    const int W = t.photoWidth, H = t.photoHeight;
    if (W <= 0 || H <= 0) return false;
    int usable = 0;
    double lo[2] = {HUGE_VAL, HUGE_VAL}, hi[2] = {-HUGE_VAL, -HUGE_VAL};
    for (long i = 0; i < n; ++i) {
        if (!t.basic_2D_existance[i]) continue;
        const vector2<double>& p = t.basic_2D_points[i];
        const vector3<double>& q = t.basic_3D_points[i];
        // Centred: a mark more than the photo's size outside it is no mark.
        if (!(std::fabs(p.x) <= 1.5 * W && std::fabs(p.y) <= 1.5 * H)) return false;
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) return false;
        lo[0] = std::min(lo[0], p.x), hi[0] = std::max(hi[0], p.x);
        lo[1] = std::min(lo[1], p.y), hi[1] = std::max(hi[1], p.y);
        ++usable;
    }
    if (usable < 3) return false;
    // Marks bunched into a few pixels fit any camera at a vanishing scale.
    return std::hypot(hi[0] - lo[0], hi[1] - lo[1]) >= kMinimalMarkSpan;
}

bool ponttavolsag_optimalizalas(long n, CameraFound* out) {
    CameraSearchTables& t = cameraSearchTables();
    if (n > t.basic_2D_points.size()) n = t.basic_2D_points.size();
    if (!cameraPairsUsable(n)) return false;
    const int H = t.photoHeight;

    const double unit = H / 300.0;
    double Sw = 0;
    for (long i = 0; i < n; ++i)
        if (t.basic_2D_existance[i]) Sw += t.importance_of_basic_points[i];
    const BoundSubset subset = spreadSubset(t, n);
    // An offset outside the photo gives this error whatever the fit.
    const double outsideError = std::sqrt(1e8 / Sw) / unit;

    // The error of every 256th candidate, fitted in full before the search,
    // bounds the winner's from the start. The search fits them again in
    // order with the same numbers, so the threshold is one of its own results.
    double threshold = 1e20;
    if (subset.count > 0) {
        for (long k = 0; k < kCameraCandidates; k += 256) {
            vector3<double> view = t._view[k], horizontal, vertical;
            imageAxes(t, k, view, &horizontal, &vertical);
            double tx, ty, s, e;
            if (_error_of_2D_3D_points(1.0, view, horizontal, vertical, t._eye[k], n, &tx, &ty, &s, &e))
                threshold = std::min(threshold, e / unit);
        }
    }

    double best = 1e20;
    long bestK = -1;
    AxesBlock axes;
    double bound4[kBoundBlock];
    static_assert(kCameraCandidates % kBoundBlock == 0);
    for (long k0 = 0; k0 < kCameraCandidates; k0 += kBoundBlock) {
        // The image axes of the block, written back as the search goes.
        for (int i = 0; i < kBoundBlock; ++i) {
            const long k = k0 + i;
            vector3<double> view = t._view[k], horizontal, vertical;
            imageAxes(t, k, view, &horizontal, &vertical);
            t._horizontal[k] = horizontal;
            t._vertical[k] = vertical;
            axes.ex[i] = t._eye[k].x, axes.ey[i] = t._eye[k].y, axes.ez[i] = t._eye[k].z;
            axes.vx[i] = view.x, axes.vy[i] = view.y, axes.vz[i] = view.z;
            axes.hx[i] = horizontal.x, axes.hy[i] = horizontal.y, axes.hz[i] = horizontal.z;
            axes.ux[i] = vertical.x, axes.uy[i] = vertical.y, axes.uz[i] = vertical.z;
        }
        if (subset.count > 0) subsetBound4Block(subset, axes, bound4);
        for (int i = 0; i < kBoundBlock; ++i) {
            const long k = k0 + i;
            const vector3<double> view = t._view[k], horizontal = t._horizontal[k], vertical = t._vertical[k];
            if (subset.count > 0) {
                // Only a candidate that could beat the best, rounding allowed
                // for, is fitted in full; the outcome is the same as fitting
                // them all.
                const double margin = std::min(best, threshold) * (1 + 1e-6) + 1e-9;
                if (outsideError > margin) {
                    bool ruledOut = false;
                    for (int count : {4, 8}) {
                        double bound =
                            count == 4 ? bound4[i] : subsetBound(subset, count, view, horizontal, vertical, t._eye[k]);
                        if (bound < 0) break;
                        if (bound == kInf || std::sqrt(bound / Sw) / unit > margin) {
                            ruledOut = true;
                            break;
                        }
                    }
                    if (ruledOut) continue;
                }
            }
            double tx, ty, s, e;
            if (!_error_of_2D_3D_points(1.0, view, horizontal, vertical, t._eye[k], n, &tx, &ty, &s, &e)) continue;
            e /= unit;
            if (e < best) {
                best = e;
                bestK = k;
            }
        }
    }
    if (bestK < 0) return false;

    double tx, ty, s, e;
    if (!_error_of_2D_3D_points(t.torzit[bestK], t._view[bestK], t._horizontal[bestK], t._vertical[bestK],
                                t._eye[bestK], n, &tx, &ty, &s, &e))
        return false;
    // A head drawn a few pixels small (an opening angle near 180 degrees) is
    // no camera of this photo.
    if (!std::isfinite(s) || !(s >= kMinimalScale * H) || !std::isfinite(e)) return false;
    out->eye = t._eye[bestK];
    out->center = t.new_center[bestK];
    out->up = t._vertical[bestK];
    out->openingAngle = std::atan((H + 2 * std::fabs(ty)) * 0.5 / s) * 114.5915590294399;
    out->stretch = 1.0;
    out->index = bestK;
    out->tx = tx;
    out->ty = ty;
    out->scale = s;
    out->error = e;
    return true;
}
