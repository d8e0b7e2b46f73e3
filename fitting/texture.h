#pragma once
// Texture synthesis: after the head is bent onto the photo, the head's
// texture is built from the photo in four passes over one n x n working
// bitmap (n = the document's texture size). Texture_Beg gives each visible
// vertex a photo coordinate and paints the recognised materials into the
// figure's own layout; Texture_1 shades, masks and repairs that layout;
// Texture_2 fills what is left with colour carried over from nearby;
// Texture_End stores layout (upper half) and photo (lower half) on the head.

#include <memory>
#include <optional>
#include <vector>

#include "foundation/use.h"
#include "picture/winbmp.h"

// Sets (x, y) and, where x or y has a fractional part, its right, lower and
// lower-right neighbours; nothing outside the bitmap.
void BMP_SetPixel(CWinBmp& bmp, double x, double y, CPixel32 c);
void BMP_Line(CWinBmp& bmp, int x0, int y0, int x1, int y1, CPixel32 c);

// The four passes over the current document (photo kernel, head kernel,
// overlay view, progress window). One object per modelling step.
class TextureSynthesis {
public:
    // The seed of the fill pass; none: the clock, as the program does.
    explicit TextureSynthesis(std::optional<unsigned> fillSeed = std::nullopt) : fillSeed_(fillSeed) {}

    // The largest texture size built (a 256 MB working bitmap).
    static constexpr int kMaximalTextureSize = 8192;

    // Runs the passes when the head carries the second-line flag and the
    // document's texture size is a multiple of 16 from 16 to the largest.
    // Every texture coordinate it leaves lies in [0, 1].
    void MakeFullTexture();

    void Texture_Beg(CWinBmp& W);
    void Texture_1(CWinBmp& W);
    void Texture_2(CWinBmp& W);
    void Texture_End(CWinBmp& W);

    // After Texture_Beg: each vertex slot's photo coordinate ((-1, -1) unset)
    // and whether the head counted as the special head.
    const std::vector<vector2<double>>& photoCoordinates() const { return coord_; }
    bool special() const { return special_; }

private:
    bool recognisedTriangle(int t) const;
    // The cropped photo at n x n: the kept one, or null when it is not kept
    // and then made in own.
    struct CroppedPhoto* croppedPhoto(CWinBmp& own, int n);
    bool recognisedVertex(int v) const;

    std::optional<unsigned> fillSeed_;
    // The cropped photo at n x n from Texture_Beg: the kept one, or its own.
    struct CroppedPhoto* kept_ = nullptr;
    std::unique_ptr<CWinBmp> ownPhoto_;
    int n_ = 0;
    bool special_ = false;
    std::vector<vector2<double>> coord_;
};

// The modelling step's texture build (CMainFrame::MakeFullTexture).
void MakeFullTexture(std::optional<unsigned> fillSeed = std::nullopt);

// The seed of the fill pass of every texture built without one of its own
// (none: the clock, as the program does); for tests.
void SetTextureFillSeed(std::optional<unsigned> seed);
