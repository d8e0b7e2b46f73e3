#include "fitting/kernel2d.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

#include "seams/app.h"
#include "seams/dialogs.h"
#include "foundation/path_parts.h"
#include "framework/file.h"
#include "framework/paths.h"
#include "framework/resources.h"
#include "framework/system.h"
#include "model/head.h"
#include "picture/anypicdecoder.h"
#include "picture/picdecoder.h"
#include "picture/png.h"
#include "picture/textexception.h"

namespace {

constexpr uint32_t kBinaryBit = 0x80000000u;
constexpr uint32_t kSkipBit = 0x40000000u;
constexpr uint32_t kWidthMask = 0x3FFFFFFFu;

bool isPngSignature(const std::vector<uint8_t>& b) {
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return b.size() >= 8 && std::memcmp(b.data(), sig, 8) == 0;
}

struct FileReadError {};

std::vector<uint8_t> readWholeFile(const char* path) {
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeBinary)) throw FileReadError();
    ULONGLONG length = file.GetLength();
    if (length > 0x7FFFFFFFull) throw FileReadError();  // the length is kept in 32 bits
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (length && file.Read(bytes.data(), UINT(length)) != UINT(length)) throw FileReadError();
    return bytes;
}

}  // namespace

void LoadPlaceholderBitmap(CWinBmp& bmp) {
    // The resource is a BMP file; the bitmap wants the DIB behind its file header.
    std::span<const unsigned char> bytes = brv::ResourceBytes("BITMAP", 130);
    size_t skip = bytes.size() >= 14 && bytes[0] == 'B' && bytes[1] == 'M' ? 14 : 0;
    if (bytes.size() > skip)
        bmp.CreateFromDIB(bytes.data() + skip, bytes.size() - skip);
    else
        bmp.Create(8, 8, 24, false);
}

void SaveBMP(fnd::fileTB& f, CWinBmp& bmp) {
    int w = bmp.GetWidth(), h = bmp.GetHeight();
    if (w <= 8) w = 0;
    if (h <= 8) h = 0;
    const CWinBmp* src = &bmp;
    CWinBmp converted;
    if (w && h && bmp.GetBitsPerPixel() != 32) {
        converted.CreateCopy(bmp, 32);
        src = &converted;
    }
    f.newLine();
    int word = static_cast<int>(kBinaryBit | uint32_t(w));
    f << word << h;
    f.setMode("b");
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            CPixel32 p = src->GetPixel(i, j);
            f << p.GetR() << p.GetG() << p.GetB() << p.GetA();
        }
}

int LoadBMP(fnd::fileTB& f, CWinBmp& bmp) {
    int word = 0, h = 0;
    f >> word >> h;
    if (!f.good()) return 0;
    uint32_t bits = static_cast<uint32_t>(word);
    int w = static_cast<int>(bits & kWidthMask);
    bool skip = bits & kSkipBit;
    f.setMode(bits & kBinaryBit ? "b" : "t");
    // Checked as a picture from a file is, and against the bytes left (each
    // pixel takes four at least), before anything is made for it.
    if (h < 0 || !PLPictureSizeOk(uint64_t(w), uint64_t(h)) ||
        (uint64_t(w) * uint64_t(h) * (skip ? 2 : 1) + (skip ? uint64_t(h) : 0)) * 4 > f.remaining()) {
        f.fail();
        return 0;
    }
    // The pixels are gathered before the bitmap is made, so a header that
    // promises more than the stream holds costs no more memory than the
    // stream itself and leaves bmp untouched.
    int64_t total = int64_t(w) * h;
    std::vector<CPixel32> pixels;
    pixels.reserve(size_t(std::min<int64_t>(total, 1 << 20)));
    int dummy = 0;
    for (int j = 0; j < h && f.good() && w > 0; ++j) {
        if (skip) f >> dummy;
        for (int i = 0; i < w && f.good(); ++i) {
            if (skip) f >> dummy;
            unsigned char c[4] = {};
            f >> c[0] >> c[1] >> c[2] >> c[3];
            if (f.good()) pixels.emplace_back(c[0], c[1], c[2], c[3]);
        }
    }
    if (!f.good() || int64_t(pixels.size()) != total) {
        f.fail();
        return 0;
    }
    try {
        CWinBmp made;
        made.Create(w, h, 32, true);
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) made.SetPixel(i, j, pixels[size_t(j) * w + i]);
        bmp = made;
    } catch (...) {
        f.fail();
        return 0;
    }
    return f.good();
}

CKernel2D::CKernel2D(svc::FaceDocument* d) : doc(d) {
    LoadPlaceholderBitmap(photo);
    newHead2();
}

CKernel2D::~CKernel2D() {
    points.remove_all();
    delete head;
}

void CKernel2D::newHead2() {
    head = new head2();
    head->set_actual();
}

void CKernel2D::FreeFileBytes() {
    fileBytes.clear();
    fileBytes.shrink_to_fit();
    fileLength = 0;
}

void CKernel2D::FreeStash() {
    stash = Stash();
    stashFree = 1;
}

void CKernel2D::SetFileBytes(std::vector<uint8_t> bytes) {
    fileBytes = std::move(bytes);
    fileLength = int32_t(fileBytes.size());
}

int CKernel2D::LoadPicFile(CString path) {
    CString kept = path;
    svc::AppState& app = svc::app().state();
    decodeFailed = false;
    abandoned = false;
    CWinBmp decoded;
    std::vector<uint8_t> bytes;
    try {
        if (app.pictureEditor) {
            if (app.clipboardPicture) photo = *app.clipboardPicture;
            clipboardCopy = photo;
            FreeFileBytes();
        } else {
            // Decoded aside: a file that is no picture leaves the photo and
            // its bytes as they were.
            CString lower = path;
            lower.MakeLower();
            if (lower.Right(3) == CString("png")) {
                MakeBmpFromPNG(path, &decoded, 32);
            } else {
                CAnyPicDecoder decoder;
                decoder.MakeBmpFromFile(path, &decoded, 32);
            }
            // The PNG decoder reports a failure only by the size it leaves
            // (1 x 1 or 0 x 0); a picture of one pixel is no photo either.
            if (int64_t(decoded.GetWidth()) * decoded.GetHeight() <= 1) throw FileReadError();
            bytes = readWholeFile(path);
        }
    } catch (...) {
        // Nothing of the open project was touched: not even its marks.
        decodeFailed = true;
        MessageBeep(MB_ICONINFORMATION);
        CString text;
        text.Format("Wrong file: %s!", path);
        AfxMessageBox(text);
        return 0;
    }
    svc::CropSettings s;
    const CString name = fnd::SplitPath(kept.View()).base.c_str();
    const std::string keptName = doc ? doc->state().name : std::string();
    if (doc) doc->state().name = std::string(name.View());
    if (!app.pictureEditor) {
        // The start page works on the new picture; the open project stays
        // as it is until the page is confirmed.
        std::vector<uint8_t> keptBytes = fileBytes;
        SetFileBytes(std::move(bytes));
        if (svc::StartPage* page = svc::startPage()) {
            s = {left, top, right, bottom, quarterTurns, mirrorLeftRight, mirrorTopBottom};
            if (page->DoModal(&decoded, &s, nullptr) == svc::StartPage::kCancel || s.left < 0) {
                SetFileBytes(std::move(keptBytes));
                if (doc) doc->state().name = keptName;
                abandoned = true;
                return 0;
            }
        } else {
            // Without a start page (no user interface) the whole picture is taken.
            s = svc::CropSettings();
        }
        photo = std::move(decoded);
    }
    // A new photo starts with no marks.
    delete head;
    head = nullptr;
    newHead2();
    // project files hold the photo's name in Windows form
    head->set_name(brv::WindowsPath(path.View()).c_str(), false);
    if (app.pictureEditor) {
        if (doc) {
            doc->state().startPageChoice = true;
            doc->state().templateId = 102;
            doc->state().textureSize = 1024;
        }
        left = top = 0;
        right = photo.GetWidth();
        bottom = photo.GetHeight();
        quarterTurns = mirrorLeftRight = mirrorTopBottom = 0;
    } else {
        left = s.left, top = s.top, right = s.right, bottom = s.bottom;
        quarterTurns = s.quarterTurns, mirrorLeftRight = s.mirrorLeftRight, mirrorTopBottom = s.mirrorTopBottom;
    }
    if (doc) doc->SetTitle(doc->state().name);
    loadLeft = left, loadTop = top, loadRight = right, loadBottom = bottom;
    head->valid = 1;
    CWaitCursor wait;
    InitPicture();
    // A refused size leaves the placeholder: no photo was taken.
    return head->valid ? 1 : 0;
}

void CKernel2D::InitPicture() {
    int w = photo.GetWidth(), h = photo.GetHeight();
    origWidth = w;
    origHeight = h;
    scaledHeight = kScaledHeight;
    if (w >= kMinimalSide && h >= kMinimalSide) {
        double sw = double(w) / h * kScaledHeight;
        // A very tall picture would scale to no width at all, a very wide one
        // to a bitmap of gigabytes: both are refused like a small picture.
        if (sw >= 1.0 && sw <= kMaximalScaledWidth) {
            scaledWidth = int(sw);
            if (scaledWidth != w || h != kScaledHeight) photo.ResizeBilinear(scaledWidth, kScaledHeight);
            return;
        }
    }
    MessageBox(nullptr, "Wrong picture size", "Error", MB_OK);
    LoadPlaceholderBitmap(photo);
    if (head) head->valid = 0;
    const svc::AppState& app = svc::app().state();
    if (app.dazMode != 0 || app.pictureEditor) svc::app().EndProgram(0);
}

int CKernel2D::LoadHead(fnd::fileTB& f) {
    delete head;
    head = nullptr;
    newHead2();
    head->read_version2(f);
    return f.good();
}

int CKernel2D::SaveHead(fnd::fileTB& f) {
    head->write(f);
    return f.good();
}

bool MakePreview(const CWinBmp& photo, CWinBmp& preview) {
    int w = photo.GetWidth(), h = photo.GetHeight();
    if (w <= 8 && h <= 8) return false;
    preview.CreateCopy(photo);
    if (double(w) / h < 1)
        preview.ResizeBilinear(std::max(1, int(int64_t(w) * 128 / h)), 128);
    else
        preview.ResizeBilinear(128, std::max(1, int(int64_t(h) * 128 / w)));
    return true;
}

void CKernel2D::SavePreview(fnd::fileTB& f) {
    if (MakePreview(photo, preview)) SaveBMP(f, preview);
}

int CKernel2D::LoadPreview(fnd::fileTB& f) { return LoadBMP(f, preview); }

void CKernel2D::Reset() {
    points.remove_all();
    delete head;
    head = nullptr;
    LoadPlaceholderBitmap(photo);
    notes.Empty();
    newHead2();
}

bool CKernel2D::decodeStoredBytes(CWinBmp& out) {
    CWinBmp decoded;
    try {
        // The memory decoders do not know PNG; its own decoder reads it.
        if (isPngSignature(fileBytes)) {
            MakeBmpFromPNGData(fileBytes.data(), fileBytes.size(), &decoded, 32);
        } else {
            CAnyPicDecoder decoder;
            decoder.MakeBmpFromMemory(fileBytes.data(), int(fileBytes.size()), &decoded, 32);
        }
    } catch (const CTextException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
    if (int64_t(decoded.GetWidth()) * decoded.GetHeight() <= 1) return false;
    out = std::move(decoded);
    return true;
}

int CKernel2D::LoadOrigBmp(CWinBmp* out, int type, int width, int height) {
    CWinBmp scratchStore;
    CWinBmp* scratch = &scratchStore;
    if (fileLength > 0 && !fileBytes.empty()) {
        // Stored bytes that are no picture (a damaged project) rebuild
        // nothing: out stays as it was.
        if (!decodeStoredBytes(*scratch)) return 0;
        for (int k = 0; k < (quarterTurns > 0 ? quarterTurns % 4 : 0); ++k)
            scratch->Rotate(std::numbers::pi / 2, CPixel32(0, 0, 0, 0));
        int W = scratch->GetWidth(), H = scratch->GetHeight();
        if (mirrorTopBottom)
            for (int j = 0; j < H / 2; ++j)
                for (int i = 0; i < W; ++i) {
                    CPixel32 a = scratch->GetPixel(i, j);
                    scratch->SetPixel(i, j, scratch->GetPixel(i, H - 1 - j));
                    scratch->SetPixel(i, H - 1 - j, a);
                }
        if (mirrorLeftRight)
            for (int j = 0; j < H; ++j)
                for (int i = 0; i < W / 2; ++i) {
                    CPixel32 a = scratch->GetPixel(i, j);
                    scratch->SetPixel(i, j, scratch->GetPixel(W - 1 - i, j));
                    scratch->SetPixel(W - 1 - i, j, a);
                }
        if (left <= 0) left = 0;
        if (top <= 0) top = 0;
        if (right <= 0) right = W;
        if (bottom <= 0) bottom = H;
        if (left >= W) left = 0;
        if (top >= H) top = 0;
        if (right >= W) right = W;
        if (bottom >= H) bottom = H;
        if (type == 2) {
            scratch->Crop(left, top, right, bottom);
        } else if (type == 3) {
            int n = loadRight - loadLeft;
            if (n <= 0) n = 16;
            CWinBmp square;
            square.Create(n, n, 32, true);
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) square.SetPixel(i, j, CPixel32(255, 255, 255, 0));
            int i0 = std::max(loadLeft, 0), j0 = std::max(loadTop, 0);
            int i1 = std::min({loadRight, W, loadLeft + n}), j1 = std::min({loadBottom, H, loadTop + n});
            // Row and column 0 of the photo belong to the square too.
            for (int j = j0; j < j1; ++j)
                for (int i = i0; i < i1; ++i) square.SetPixel(i - loadLeft, j - loadTop, scratch->GetPixel(i, j));
            *scratch = square;
        }
    } else {
        scratch->CreateCopy(photo);
    }
    if (width && height)
        out->ResizeBilinearFrom(*scratch, width, height);
    else if (out != scratch)
        *out = *scratch;
    return out->GetWidth();
}

void CKernel2D::SaveOrigPhoto() {
    if (stashFree != 1 || fileBytes.empty()) return;
    stashFree = 0;
    stash.bytes = fileBytes;
    stash.has = true;
    stash.fileLength = fileLength;
    int32_t crop[7] = {left, top, right, bottom, quarterTurns, mirrorLeftRight, mirrorTopBottom};
    std::copy(crop, crop + 7, stash.crop);
    int32_t load[4] = {loadLeft, loadTop, loadRight, loadBottom};
    std::copy(load, load + 4, stash.load);
}

void CKernel2D::LoadOrigPhoto() {
    if (stashFree != 0 || !stash.has) return;
    stashFree = 1;
    fileBytes = std::move(stash.bytes);
    fileLength = stash.fileLength;
    stash.bytes.clear();
    stash.has = false;
    left = stash.crop[0], top = stash.crop[1], right = stash.crop[2], bottom = stash.crop[3];
    quarterTurns = stash.crop[4], mirrorLeftRight = stash.crop[5], mirrorTopBottom = stash.crop[6];
    loadLeft = stash.load[0], loadTop = stash.load[1], loadRight = stash.load[2], loadBottom = stash.load[3];
    if (LoadOrigBmp(&photo, 2, 0, 0) > 0) InitPicture();
}
