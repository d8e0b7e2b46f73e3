#pragma once
// The photo side of the document: the working photo, the bytes of the photo
// file as read, the start page's crop and orientation, the 2D marks (head2),
// a small preview and the project's notes; and the photo's sections of the
// project file.

#include <cstdint>
#include <vector>

#include "foundation/chain.h"
#include "foundation/filetb.h"
#include "foundation/use.h"
#include "framework/cstring.h"
#include "picture/winbmp.h"

class head2;

namespace svc {
class FaceDocument;
}

// A bitmap in a token stream: width word (bit 31: binary pixels follow,
// bit 30: an int to skip before every row and pixel), height, then RGBA
// rows from the top. Sides of 8 or less are stored as 0, with no pixels.
void SaveBMP(fnd::fileTB& f, CWinBmp& bmp);
// Fails the stream, leaving bmp as it was, when the header or the pixels
// do not hold.
int LoadBMP(fnd::fileTB& f, CWinBmp& bmp);

// The project preview of a working photo: reduced bilinearly so that its
// longer side is 128 pixels; false (preview untouched) for a photo of at
// most 8 x 8 pixels.
bool MakePreview(const CWinBmp& photo, CWinBmp& preview);

// The built-in 8 x 8 placeholder picture (bitmap 130) into bmp.
void LoadPlaceholderBitmap(CWinBmp& bmp);

class CKernel2D {
public:
    static constexpr int kScaledHeight = 768;
    static constexpr int kMinimalSide = 100;
    // Scaled pictures wider than this are refused (the side of 32-bit bitmaps
    // the picture library can hold in practice).
    static constexpr int kMaximalScaledWidth = 32768;

    explicit CKernel2D(svc::FaceDocument* doc);
    virtual ~CKernel2D();
    CKernel2D(const CKernel2D&) = delete;
    CKernel2D& operator=(const CKernel2D&) = delete;

    // 1 when a photo was taken. A file that is no picture gives 0 with
    // decodeFailed set and leaves everything as it was, the marks too.
    int LoadPicFile(CString path);
    void InitPicture();
    int LoadHead(fnd::fileTB& f);
    int SaveHead(fnd::fileTB& f);
    void SavePreview(fnd::fileTB& f);
    int LoadPreview(fnd::fileTB& f);
    void Reset();
    // Rebuilds a picture from the stored file bytes; returns out's width, or
    // 0 with out untouched when the bytes are no picture.
    int LoadOrigBmp(CWinBmp* out, int type, int width, int height);
    void SaveOrigPhoto();
    void LoadOrigPhoto();

    // The stored file bytes (the document frees them and the stash before Reset).
    void FreeFileBytes();
    void FreeStash();
    void SetFileBytes(std::vector<uint8_t> bytes);
    const std::vector<uint8_t>& FileBytes() const { return fileBytes; }
    bool StashFree() const { return stashFree != 0; }
    head2* Head() const { return head; }

    svc::FaceDocument* doc;
    CWinBmp photo;
    CWinBmp preview;
    CWinBmp clipboardCopy;
    std::vector<uint8_t> fileBytes;
    fnd::chain<vector2<double>> points{0, 10, 1.25};
    int32_t origWidth = 0, origHeight = 0;
    int32_t scaledWidth = 0, scaledHeight = 0;
    head2* head = nullptr;
    CString notes;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t quarterTurns = 0, mirrorLeftRight = 0, mirrorTopBottom = 0;
    int32_t fileLength = 0;
    int32_t loadLeft = 0, loadTop = 0, loadRight = 0, loadBottom = 0;

    struct Stash {
        int32_t fileLength = 0;
        int32_t crop[7] = {};
        int32_t load[4] = {};
        std::vector<uint8_t> bytes;
        bool has = false;
    } stash;
    uint32_t stashFree = 1;
    bool decodeFailed = false;  // the last LoadPicFile's file was no picture
    bool abandoned = false;     // the last LoadPicFile's start page was left

private:
    void newHead2();
    // False, out untouched, when the stored bytes are no picture.
    bool decodeStoredBytes(CWinBmp& out);
};
