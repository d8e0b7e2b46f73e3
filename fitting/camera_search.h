#pragma once
// Camera search: finds the perspective of the photo from pairs of marked
// photo points and head feature points. 50000 candidate cameras lie
// quasi-randomly on a sphere of radius 500 around the head; for each, a 2D
// scale and offset of the projected head points onto the photo points is
// fitted, and the candidate with the smallest weighted RMS error wins.
//
// Calling order: camera_photo_size, adatok_beallitasa for every pair (i = 0,
// 1, 2, ...), kozeppont, generation_possible_camera_models,
// ponttavolsag_optimalizalas. The tables are module-level, one instance for
// the program; resetCameraSearch empties them (tests).

#include "foundation/use.h"

constexpr int kCameraCandidates = 50000;
// Present photo points must span at least this many pixels (the diagonal of
// their box) ...
constexpr double kMinimalMarkSpan = 4.0;
// ... and the found scale must be at least this part of the photo's height
// (a head filling a fiftieth of the height; the opening angle stays below
// about 170 degrees).
constexpr double kMinimalScale = 0.05;

// Module-level tables of the search.
struct CameraSearchTables {
    // Per pair. Photo points are centred, y upwards.
    dynarray<vector2<double>> basic_2D_points;
    dynarray<int> basic_2D_existance;
    dynarray<vector3<double>> basic_3D_points;
    dynarray<double> importance_of_basic_points;
    dynarray<int> basic_points_is_on_Xcoordplan;

    vector3<double> center_point;
    double min_camera_distance = 0;

    // The size of the photo the pairs were marked on (the photo kernel's).
    int photoWidth = 0;
    int photoHeight = 0;

    // Candidate table, one row per candidate camera (kCameraCandidates rows
    // each, zero until generated). The rows live in one block of zero pages
    // from the system, so that making the tables costs nothing until the
    // candidates are written.
    vector3<double>* _eye;
    vector3<double>* new_center;
    vector3<double>* _view;
    vector3<double>* _vertical;
    vector3<double>* _horizontal;
    double* torzit;

    // Which build of the candidate table these rows hold (0: none).
    unsigned tableSerial = 0;

    CameraSearchTables();
    ~CameraSearchTables();
    CameraSearchTables(const CameraSearchTables&) = delete;
    CameraSearchTables& operator=(const CameraSearchTables&) = delete;

private:
    void* rows_;
};

CameraSearchTables& cameraSearchTables();
void resetCameraSearch();

// The photo size used to centre the pairs' photo points and to bound the
// fitted offset; set before the pairs are given.
void camera_photo_size(int width, int height);

double Skalaris_3(vector3<double> a, vector3<double> b);
vector3<double> Vektorialis(vector3<double> a, vector3<double> b);
// Length of v, v scaled to unit length; 0 and v unchanged below 1e-8.
double Normalas(vector3<double>* v);

void kozeppont(double x, double y, double z);

// Stores pair i; the per-pair tables are resized to i + 1 first, so the last
// call fixes the count. photoPoint is in photo pixels, origin top left. A
// weight of 0 or less counts as 1.
void adatok_beallitasa(long i, vector2<double> photoPoint, bool present, vector3<double> headPoint,
                       double importance, bool onSymmetryPlane);

// Fills the candidate table (the same table for the same centre on every
// run) and seeds the random source with 0.
void generation_possible_camera_models();
// The candidate generator's quasi-random numbers in dimensions 0 to 4.
double cameraHaltonForTest(unsigned i, unsigned dimension);

// Image axes of candidate k: horizontal = view x _vertical[k],
// vertical = horizontal x view.
void KAMERA_MODELL(long k, vector3<double>* view, vector3<double>* horizontal, vector3<double>* vertical);

// Projects p into the camera's image plane (at distance 1); false, out
// unchanged, when p is not in front of the eye.
bool display_koordinatak(vector3<double> view, vector3<double> horizontal, vector3<double> vertical,
                         vector3<double> eye, vector3<double> p, vector2<double>* out);

// Fits scale s and offset (tx, ty) of the projected head points onto the
// photo points of the first n pairs and gives the weighted RMS error in
// photo pixels (sqrt(1e8 / Sw) when the offset leaves 0.4 of the photo).
// Returns 0, with an infinite error, when the camera cannot be fitted: a
// present point is not in front of the eye, the system is singular, the
// scale is 0 or less, or no weight takes part.
int _error_of_2D_3D_points(double stretch, vector3<double> view, vector3<double> horizontal,
                           vector3<double> vertical, vector3<double> eye, long n, double* tx, double* ty,
                           double* scale, double* error);

struct CameraFound {
    vector3<double> eye;
    vector3<double> center;
    vector3<double> up;
    double openingAngle = 0;  // vertical, degrees
    double stretch = 1.0;
    long index = -1;
    double tx = 0, ty = 0;  // photo position of the optical axis, centred, y up
    double scale = 0;
    double error = 0;  // weighted RMS, photo pixels
};

// Whether the first n pairs can be searched: the photo size is set, at least
// 3 pairs are present, every present photo point lies within the photo's
// size of the photo and the head points are finite, and the photo points
// span at least kMinimalMarkSpan pixels.
bool cameraPairsUsable(long n);

// Runs the search over the first n pairs. False, with out untouched, when
// the pairs cannot be searched (cameraPairsUsable), no candidate can be
// fitted, or the best one's scale is not finite or below kMinimalScale of
// the photo's height.
bool ponttavolsag_optimalizalas(long n, CameraFound* out);
