#pragma once
// Painting on the head's texture: the brush (a square mask of blend weights),
// texel access with the texture's wrapping and clamping, the clone stamps and
// the further brush tools (blur, median, spray, draw, lines, flood fill).
// Colours travel packed as red | green << 8 | blue << 16.

#include <cstdint>
#include <vector>

#include "foundation/use.h"
#include "model/head.h"

class CWinBmp;

// Three 16-bit channels; an 8-bit value c is stored as c x 255.
struct RGBColor {
    uint16_t red = 0, green = 0, blue = 0;

    static RGBColor fromBytes(int r, int g, int b) {
        return {uint16_t(r * 255), uint16_t(g * 255), uint16_t(b * 255)};
    }
    int r8() const { return red / 255; }
    int g8() const { return green / 255; }
    int b8() const { return blue / 255; }
    int packed() const { return r8() | g8() << 8 | b8() << 16; }
};

inline int packColor(int r, int g, int b) { return r | g << 8 | b << 16; }
inline int redOf(int c) { return c & 0xff; }
inline int greenOf(int c) { return (c >> 8) & 0xff; }
inline int blueOf(int c) { return (c >> 16) & 0xff; }

// The mask holds the weight the old texel keeps: 1.0 leaves it alone, 0.0
// replaces it.
class CBrush2 : public CArray_NxM<float> {
public:
    CBrush2() = default;
    CBrush2(const CBrush2& o) : CArray_NxM<float>() { *this = o; }
    CBrush2& operator=(const CBrush2& o);

    // size: edge in texels (odd sizes are raised by one); strength 0..1;
    // falloff: the weight rises from the centre to the rim.
    void Set(int size, float strength, RGBColor colour, bool falloff);
    // Marks the brush absent; the mask stays allocated.
    void Delete() { size = -1; }
    bool isSet() const { return size > 0 && rows() == size && cols() == size; }

    int size = -1;
    RGBColor colour;
};

// Draw tool of the dab lines.
enum DRAW_TOOL : int { DRAW_TOOL_DRAW = 0, DRAW_TOOL_SPRAY = 1 };

struct XY {
    int x = 0, y = 0;
};

// The brush state of one texture: the brush and the painted mask (one flag
// per texel, set where a stroke already wrote once). The image belongs to
// the head; the painter only points at it.
class TexturePainter {
public:
    explicit TexturePainter(TextureImage* image = nullptr) : image(image) {}

    int width() const { return image ? image->width : 0; }
    int height() const { return image ? image->height : 0; }

    // x wraps once around the width, then both are clamped. 0 without texels.
    int GetPixel(int x, int y) const;
    // Blends colour into the texel: channel = trunc(old x weight + (1 -
    // weight) x new). once: only texels not yet painted, which then are
    // marked (nothing when the painted mask has another size).
    void SetPixel(int x, int y, int colour, float weight, bool once);
    // Sizes the painted mask to the texture and clears it.
    void ResetPainted();
    bool painted(int x, int y) const;

    // Copies the texels around (sx, sy) to those around (dx, dy) through the
    // brush; only the first half of the rows (0 .. H/2 - 1) is written.
    void CloneWithBrush(int sx, int sy, int dx, int dy);
    // The same with a 32-bit picture as source (its rows run the other way).
    void CloneBmpWithBrush(const CWinBmp* bmp, int sx, int sy, int dx, int dy);

    // ---- further tools ----
    void SetUpBrush(int size, RGBColor colour);
    void DeleteBrush();
    int BlurPixel(int x, int y) const;    // mean of the 11 x 11 texels around
    int MedianPixel(int x, int y) const;  // trimmed median of the 7 x 7 around
    // qsort order of ints, largest first.
    static int Compare(const void* a, const void* b);
    void BlurWithBrush(int x, int y);
    void MedianWithBrush(int x, int y);
    // Swaps random texel pairs under the brush (draws from the process-wide
    // random source).
    void RndWithBrush(int x, int y);
    void DrawWithBrush(int x, int y);
    void DrawLine(int x0, int y0, int x1, int y1, DRAW_TOOL tool);
    void ReplaceColor(int x, int y, RGBColor from, RGBColor to);
    bool IsInside(int x, int y, RGBColor seed, int tol, float f) const;
    void Fill(int x, int y, RGBColor seed, RGBColor newColour, int tol, float f);

    TextureImage* image = nullptr;
    CBrush2 brush;

private:
    void dab(int x, int y, DRAW_TOOL tool);
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }
    unsigned char* texel(int x, int y) { return &image->rgb[3 * (size_t(x) + size_t(width()) * y)]; }
    const unsigned char* texel(int x, int y) const { return &image->rgb[3 * (size_t(x) + size_t(width()) * y)]; }

    std::vector<unsigned char> painted_;
    int paintedW_ = 0, paintedH_ = 0;
};

// The texel under a barycentric point of a triangle of the current head:
// (u, v) blended from the triangle's texture coordinates, x = trunc(W u +
// 0.5), y = trunc(H v + 0.5).
void Coord3DToTextureCoord(const TextureImage& image, Index<triangle> t, const vector3<double>& bary, int& x, int& y);
