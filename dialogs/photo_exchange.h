#pragma once
// Handing the rendered head back to the outside picture editor that handed
// the photo in: the head is scaled to the size of the face on the photo as
// loaded, cleaned to a pure white background and cropped to the head, then
// put on the clipboard, written to exchange.bmp in the program's private
// temporary folder and, when the settings name a picture editor
// ("Settings", "PictureEditor"), opened in it. The model page makes the 3D
// view's picture and projects the head's points; everything after that
// needs no window and lives here.

#include <string>
#include <vector>

#include "foundation/use.h"
#include "framework/cstring.h"

class CWinBmp;
class head2;

// Entries of each point set: the first rows of the feature-point table.
constexpr int kExchangePoints = 30;
// An entry no point was found for; the estimate takes only coordinates
// above 0.
constexpr double kNoExchangePoint = -1111.0;
// Neither side of the scaled picture exceeds this.
constexpr int kMaxExchangeSide = 8192;

// Scale from point set A to point set B (kExchangePoints entries each):
// the mean ratio of the pairs' distances, without the pairs whose ratio
// lies outside 2/3 .. 4/3 of it, averaged over square roots. Entries with
// a coordinate at or below 0 and pairs closer than 1 pixel in A are not
// used; with no usable pair the scale is 1.
double PosPhsh(const double* ax, const double* ay, const double* bx, const double* by);

// Scales the picture by scale (bilinear; each side rounded, at least 1 and
// at most kMaxExchangeSide, the scale lowered to fit), keeps everything
// that was pure white or touches it pure white with a 5-pixel white border,
// and crops it to the rest widened by 2 pixels. p and q are scaled alike
// and moved into the cropped picture. Returns the crop's origin in the
// scaled picture; a picture that is white all over is not cropped (0, 0).
vector2<double> ScalePhsh(CWinBmp* picture, double scale, vector2<double>* p, vector2<double>* q);

// A head feature point seen in the 3D view's picture.
struct ExchangeViewPoint {
    CString code;              // the feature point's name
    vector2<double> position;  // pixels of the rendered picture
};

// What the model page hands over besides the rendered picture.
struct ExchangeScene {
    // The head's feature points that are visible in the picture, projected.
    std::vector<ExchangeViewPoint> viewPoints;
    // The marks on the working photo; null: none.
    const head2* marks = nullptr;
    // The photo's feature group (the document's refinement count): only view
    // points whose code belongs to it count.
    int group = 0;
    // The crop rectangle kept by the photo kernel and the working photo's
    // height; they give the scale back to the photo as loaded.
    int cropTop = 0, cropBottom = 0;
    int workingHeight = 0;  // 0: no working photo
};

struct ExchangeResult {
    ExchangeResult();
    double photoScale = 1.0;  // working photo to the photo as loaded
    double ax[kExchangePoints], ay[kExchangePoints];  // set A: rendered picture
    double bx[kExchangePoints], by[kExchangePoints];  // set B: photo as loaded
    double scale = 1.0;  // PosPhsh of the sets
    // The outer eye corners in the final picture (from kNoExchangePoint
    // when not visible) and the crop's origin.
    vector2<double> leftEye, rightEye;
    vector2<double> origin;
    std::string path;  // the picture file written
};

// The photo scale: crop height / working height, 1 when either is not
// above 0.
double ExchangePhotoScale(const ExchangeScene& scene);

// Fills the point sets from the feature-point table's first rows, estimates
// the scale and scales and crops the picture in place (steps of the
// hand-back before the picture leaves the program).
void PrepareExchangePicture(CWinBmp& picture, const ExchangeScene& scene, ExchangeResult& result);

// exchange.bmp in the temporary folder (<TMPDIR>/fmtmp/exchange.bmp).
std::string ExchangePicturePath();

// Puts the picture on the clipboard, writes it as a 24-bit BMP to
// ExchangePicturePath() (made safely and readable by the user only: an old
// file stays whole until the new one is complete) and starts the picture
// editor named in the settings with that path; "Cannot start %s." when it
// cannot be started (the file stays). False, after showing the error, when
// the picture could not be put or written: the caller keeps its page open.
bool HandPictureBack(const CWinBmp& picture);

// The whole hand-back from the 3D view's picture: sets the application's
// picture-editor mode word to 2, prepares the picture and hands it back.
// False, the error shown, when it failed.
bool ExchangeWithPictureEditor(CWinBmp& rendered, const ExchangeScene& scene, ExchangeResult* result = nullptr);
