#include "foundation/numeric.h"

#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/random.h"
#include "framework/paths.h"
#include "framework/resources.h"

namespace fnd {

int baricoord(const vector3<double>& V1, const vector3<double>& V2, const vector3<double>& V3,
              const vector3<double>& P, const vector3<double>& D, vector3<double>* hit, double* t,
              vector3<double>* bary) {
    vector3<double> n = ((V1 - V3) % (V2 - V3)).normalized();
    double nd = n * D;
    if (std::fabs(nd) < 1e-10) return 0;
    double tt = (n * V1 - n * P) / nd;
    vector3<double> h = P + D * tt;
    // The reference point must lie off the plane.
    vector3<double> R = std::fabs(tt) < 1e-10 ? P + D : P;
    matrix33<double> m(V1 - R, V2 - R, V3 - R);
    vector3<double> b = (h - R) * m.Inv();
    if (hit) *hit = h;
    if (t) *t = tt;
    if (bary) *bary = b;
    return 1;
}

vector3<double> bariCoord(const vector3<double>& V1, const vector3<double>& V2, const vector3<double>& V3,
                          const vector3<double>& P) {
    vector3<double> n = (V3 - V1) % (V3 - V2);
    vector3<double> R = V3 + n;
    matrix33<double> m(R - V1, R - V2, R - V3);
    return (R - P) * m.Inv();
}

vector3<double> relativeBaricoord(const vector3<double>& P, const vector3<double>& V1,
                                  const vector3<double>& V2, const vector3<double>& V3) {
    matrix33<double> m(V1, V2, V3);
    return P * m.Inv();
}

vector3<double> RotatePointAroundVector(vector3<double> P, double angle, vector3<double> u) {
    double c = std::cos(angle), s = std::sin(angle), l = 1 - c;
    double ux = u.x, uy = u.y, uz = u.z;
    return {(c + ux * ux * l) * P.x + (ux * uy * l + uz * s) * P.y + (ux * uz * l - uy * s) * P.z,
            (ux * uy * l - uz * s) * P.x + (c + uy * uy * l) * P.y + (uy * uz * l + ux * s) * P.z,
            (ux * uz * l + uy * s) * P.x + (uy * uz * l - ux * s) * P.y + (c + uz * uz * l) * P.z};
}

int InsidePolygon(double x, double y, const vector2<double>* polygon, long count) {
    const double eps = 1e-10, band = 0.1;
    bool inside = false;
    for (long i = 0; i < count; ++i) {
        const vector2<double>& a = polygon[i];
        const vector2<double>& b = polygon[(i + 1) % count];
        double dx = b.x - a.x, dy = b.y - a.y;
        // The edge band: within the box along the edge's major axis, and
        // within 0.1 of the line across it.
        if (std::fabs(dy) >= std::fabs(dx)) {
            double lo = std::fmin(a.y, b.y) - eps, hi = std::fmax(a.y, b.y) + eps;
            if (y >= lo && y <= hi) {
                double ex = dy != 0 ? a.x + dx * (y - a.y) / dy : a.x;
                if (std::fabs(x - ex) <= band) return 1;
            }
        } else {
            double lo = std::fmin(a.x, b.x) - eps, hi = std::fmax(a.x, b.x) + eps;
            if (x >= lo && x <= hi) {
                double ey = a.y + dy * (x - a.x) / dx;
                if (std::fabs(y - ey) <= band) return 1;
            }
        }
        if (((y - a.y) < 0) != ((y - b.y) < 0) && x - a.x - dx * (y - a.y) / dy > 0) inside = !inside;
    }
    return inside ? 2 : 0;
}

double GRAM(long count, long n, RowTable a, RowTable b) {
    for (long i = 1; i <= n; ++i) {
        for (long j = 1; j <= count; ++j) b[i][j] = a[i][j];
        for (long k = 1; k < i; ++k) {
            double d = 0;
            for (long j = 1; j <= count; ++j) d += a[i][j] * b[k][j];
            for (long j = 1; j <= count; ++j) b[i][j] -= d * b[k][j];
        }
        double norm = 0;
        for (long j = 1; j <= count; ++j) norm += b[i][j] * b[i][j];
        norm = std::sqrt(norm);
        if (norm < 1e-15) return -1;
        for (long j = 1; j <= count; ++j) b[i][j] /= norm;
    }
    return 1;
}

double min_distance_step(long count, long n, RowTable a, RowTable b, double* x, const double* s) {
    double sum = 0;
    for (long i = 1; i <= n; ++i) {
        double ax = 0, ab = 0;
        for (long j = 1; j <= count; ++j) {
            ax += a[i][j] * x[j];
            ab += a[i][j] * b[i][j];
        }
        if (std::fabs(ab) < 1e-15) return -1;
        double lambda = (s[i] - ax) / ab;
        for (long j = 1; j <= count; ++j) x[j] += lambda * b[i][j];
        sum += lambda * lambda;
    }
    return sum;
}

double ScrambledHalton(unsigned i, unsigned dimension) {
    static const unsigned primes[15] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41, 43, 47};
    if (dimension >= 15) return -1;
    const unsigned p = primes[dimension];
    double r = 0, scale = 1.0 / p;
    for (unsigned k = 0; i > 0; ++k, i /= p, scale /= p) r += ((i % p + k) % p) * scale;
    return r;
}

const char* randstring() {
    // Its own source, seeded once per process: the shared source stays
    // reproducible for the code that seeds it.
    static RandomSource source(clockSeed());
    static char buffer[32];
    int r1 = source.next();
    int r2 = source.next();
    std::snprintf(buffer, sizeof buffer, "$%d%d", r2, r1);
    return buffer;
}

int IsFileExist(const char* path) {
    if (!path) return 0;
    // Only the size is taken: a file without read permission still counts.
    struct stat st;
    if (stat(brv::PosixPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    if (st.st_size <= 0) return 0;
    return st.st_size > INT_MAX ? INT_MAX : static_cast<int>(st.st_size);
}

std::string daz3dfile(const std::string& programFolder, int dazMode) {
    std::string path = programFolder;
    if (dazMode == 0) return path + "kv3d.obj";
    auto cut = [&path]() {
        std::size_t pos = path.find_last_of("\\/");
        if (pos == std::string::npos) return false;
        path.erase(pos);
        return true;
    };
    if (cut() && cut()) path += "\\resources\\Brivanta\\kv3d.obj";
    return path;
}

void daz3dfile(const std::string& programFolder, int dazMode, char* buffer, std::size_t bufferSize) {
    if (!buffer || bufferSize == 0) return;
    std::string path = daz3dfile(programFolder, dazMode);
    std::size_t n = path.size() < bufferSize - 1 ? path.size() : bufferSize - 1;
    std::memcpy(buffer, path.data(), n);
    buffer[n] = 0;
}

CString LoadStringResource(unsigned id) {
    std::string text;
    if (!brv::LoadStringText(id, &text)) return CString();
    return CString(std::string_view(text));
}

}  // namespace fnd
