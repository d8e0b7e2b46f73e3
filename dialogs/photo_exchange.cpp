#include "dialogs/photo_exchange.h"

#include <algorithm>
#include <cmath>

#include "document/picture_bytes.h"
#include "document/safe_save.h"
#include "document/tempfolders.h"
#include "framework/settings.h"
#include "framework/shell.h"
#include "framework/system.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"
#include "seams/app.h"

namespace {

constexpr int kBorder = 5;
constexpr int kWiden = 2;

const char* const kLeftEyeCorner = "left_corner_of_the_left_eye";
const char* const kRightEyeCorner = "right_corner_of_the_right_eye";

bool usable(const double* ax, const double* ay, const double* bx, const double* by, int i) {
    return ax[i] > 0 && ay[i] > 0 && bx[i] > 0 && by[i] > 0;
}

// Calls f(r) for the distance ratio of every ordered pair of usable entries
// that lie more than 1 pixel apart in A.
template <class F>
void forEachRatio(const double* ax, const double* ay, const double* bx, const double* by, F f) {
    for (int i = 0; i < kExchangePoints; ++i) {
        if (!usable(ax, ay, bx, by, i)) continue;
        for (int j = 0; j < kExchangePoints; ++j) {
            if (j == i || !usable(ax, ay, bx, by, j)) continue;
            const double dA = std::hypot(ax[i] - ax[j], ay[i] - ay[j]);
            if (dA > 1.0) f(std::hypot(bx[i] - bx[j], by[i] - by[j]) / dA);
        }
    }
}

bool pureWhite(const CPixel32& p) { return p.GetR() == 255 && p.GetG() == 255 && p.GetB() == 255; }

void makeWhite(CWinBmp& bmp, int x, int y) {
    CPixel32 p = bmp.GetPixel(x, y);
    p.SetR(255), p.SetG(255), p.SetB(255);
    bmp.SetPixel(x, y, p);
}

void whiteBorder(CWinBmp& bmp) {
    const int w = bmp.GetWidth(), h = bmp.GetHeight();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x < kBorder || y < kBorder || x >= w - kBorder || y >= h - kBorder) makeWhite(bmp, x, y);
}

void showError(const CString& text) { MessageBox(nullptr, text, "Error", MB_OK); }

}  // namespace

double PosPhsh(const double* ax, const double* ay, const double* bx, const double* by) {
    double sum = 0;
    int count = 0;
    forEachRatio(ax, ay, bx, by, [&](double r) {
        sum += r;
        ++count;
    });
    const double mean = count ? sum / count : 1.0;
    double roots = 0;
    int kept = 0;
    forEachRatio(ax, ay, bx, by, [&](double r) {
        if (r > 2.0 * mean / 3.0 && r < 4.0 * mean / 3.0) {
            roots += std::sqrt(r);
            ++kept;
        }
    });
    if (!kept) return 1.0;
    const double root = roots / kept;
    return root * root;
}

vector2<double> ScalePhsh(CWinBmp* picture, double scale, vector2<double>* p, vector2<double>* q) {
    if (!picture || picture->GetWidth() <= 0 || picture->GetHeight() <= 0) return O2;
    if (picture->GetBitsPerPixel() != 32) {
        CWinBmp deep;
        deep.CreateCopy(*picture, 32);
        *picture = deep;
    }
    const int w = picture->GetWidth(), h = picture->GetHeight();
    whiteBorder(*picture);

    // White where the picture is pure white: after interpolation every pixel
    // the background reaches shows up here as not black.
    CWinBmp mask;
    mask.Create(w, h, 32, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            mask.SetPixel(x, y, pureWhite(picture->GetPixel(x, y)) ? CPixel32(255, 255, 255, 255) : CPixel32(0, 0, 0, 255));

    // An estimate from a few marks may be wild: the picture stays within
    // kMaxExchangeSide a side.
    double s = std::isfinite(scale) && scale > 0 ? scale : 1.0;
    s = std::min({s, double(kMaxExchangeSide) / w, double(kMaxExchangeSide) / h});
    const int nw = int(std::clamp<long>(std::lround(w * s), 1, kMaxExchangeSide));
    const int nh = int(std::clamp<long>(std::lround(h * s), 1, kMaxExchangeSide));
    if (p) *p = *p * s;
    if (q) *q = *q * s;
    if (nw != w || nh != h) {
        picture->ResizeBilinear(nw, nh);
        mask.ResizeBilinear(nw, nh);
    }
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x) {
            const CPixel32 m = mask.GetPixel(x, y);
            if (m.GetR() || m.GetG() || m.GetB()) makeWhite(*picture, x, y);
        }
    whiteBorder(*picture);

    int left = nw, top = nh, right = -1, bottom = -1;  // inclusive
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x)
            if (!pureWhite(picture->GetPixel(x, y))) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    if (right < 0) return O2;
    if (left >= kWiden + 1) left -= kWiden;
    if (top >= kWiden + 1) top -= kWiden;
    if (nw - 1 - right > kWiden + 1) right += kWiden;
    if (nh - 1 - bottom > kWiden + 1) bottom += kWiden;
    picture->Crop(left, top, right + 1, bottom + 1);
    const vector2<double> origin(left, top);
    if (p) *p = *p - origin;
    if (q) *q = *q - origin;
    return origin;
}

ExchangeResult::ExchangeResult() {
    std::fill(std::begin(ax), std::end(ax), kNoExchangePoint);
    std::fill(std::begin(ay), std::end(ay), kNoExchangePoint);
    std::fill(std::begin(bx), std::end(bx), kNoExchangePoint);
    std::fill(std::begin(by), std::end(by), kNoExchangePoint);
    leftEye = rightEye = vector2<double>(kNoExchangePoint, kNoExchangePoint);
}

double ExchangePhotoScale(const ExchangeScene& scene) {
    const int cropHeight = scene.cropBottom - scene.cropTop;
    if (scene.workingHeight <= 0 || cropHeight <= 0) return 1.0;
    return double(cropHeight) / scene.workingHeight;
}

void PrepareExchangePicture(CWinBmp& picture, const ExchangeScene& scene, ExchangeResult& result) {
    result = ExchangeResult();
    const double s = result.photoScale = ExchangePhotoScale(scene);
    for (int i = 0; i < kExchangePoints; ++i) {
        CString code;
        if (!GetFeaturePointInfo(i, &code)) break;
        if (GoodInfoCode(scene.group, code)) {
            for (const ExchangeViewPoint& v : scene.viewPoints)
                if (v.code == code) {
                    result.ax[i] = v.position.x;
                    result.ay[i] = v.position.y;
                    break;
                }
        }
        if (scene.marks) {
            Index<featurepoint2> k = scene.marks->photoPoints.get(code);
            if (k != -1) {
                result.bx[i] = s * scene.marks->photoPoints[k].position.x;
                result.by[i] = s * scene.marks->photoPoints[k].position.y;
            }
        }
        if (code == kLeftEyeCorner) result.leftEye = vector2<double>(result.ax[i], result.ay[i]);
        if (code == kRightEyeCorner) result.rightEye = vector2<double>(result.ax[i], result.ay[i]);
    }
    result.scale = PosPhsh(result.ax, result.ay, result.bx, result.by);
    result.origin = ScalePhsh(&picture, result.scale, &result.leftEye, &result.rightEye);
}

std::string ExchangePicturePath() { return files::TempFilePath("exchange.bmp"); }

bool HandPictureBack(const CWinBmp& picture) {
    const std::string path = ExchangePicturePath();
    std::string bytes;
    try {
        picture.ToClipboard();
        bytes = files::BmpBytes(picture);
    } catch (const CTextException& e) {
        showError(e.GetErrorText());
        return false;
    }
    std::string reason;
    if (!files::SafeSave(path, bytes, &reason, files::SaveOptions{.privateFile = true})) {
        CString text;
        text.Format("Cannot save %s: %s.", path.c_str(), reason.c_str());
        showError(text);
        return false;
    }
    const CString editor = GetProfileString("Settings", "PictureEditor");
    if (!editor.IsEmpty() && !brv::StartProgram(std::string(editor.View()), path)) {
        CString text;
        text.Format("Cannot start %s.", editor.GetString());
        showError(text);
    }
    return true;
}

bool ExchangeWithPictureEditor(CWinBmp& rendered, const ExchangeScene& scene, ExchangeResult* result) {
    svc::app().state().pictureEditor = 2;
    ExchangeResult local;
    ExchangeResult& r = result ? *result : local;
    try {
        PrepareExchangePicture(rendered, scene, r);
    } catch (const CTextException& e) {
        showError(e.GetErrorText());
        return false;
    }
    r.path = ExchangePicturePath();
    return HandPictureBack(rendered);
}
