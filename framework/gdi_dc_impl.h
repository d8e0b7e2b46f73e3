#pragma once
// The device context's state, shared by the drawing files. Not for the
// application.
#include <memory>
#include <vector>

#include "framework/gdi_paint.h"

namespace brv::gdi {
using P64 = std::pair<int64_t, int64_t>;
}

struct CDC::State {
  std::shared_ptr<brv::gdi::Pen> pen;
  std::shared_ptr<brv::gdi::Brush> brush;
  std::shared_ptr<brv::gdi::Font> font;
  std::shared_ptr<brv::gdi::Palette> palette;
  std::shared_ptr<brv::gdi::Bitmap> bitmap;  // memory DCs
  COLORREF text = 0;
  COLORREF bk = 0xFFFFFF;
  int bkMode = OPAQUE;
  int rop2 = R2_COPYPEN;
  UINT align = TA_LEFT | TA_TOP;
  int stretch = BLACKONWHITE;
  int polyFill = ALTERNATE;
  int mapMode = MM_TEXT;
  int arcDirection = AD_COUNTERCLOCKWISE;
  CPoint viewport, window, brushOrg, position;
  bool hasClip = false;
  brv::Region clip;  // DC pixels (before the surface origin)
};

struct CDC::Impl {
  State st;
  std::vector<State> saved;
  brv::Surface* surface = nullptr;
  brv::Region visible;  // surface pixels
  bool memory = false;
  CPoint origin;
  brv::Region clip;  // effective, surface pixels
  bool clipValid = false;
  // The bounds accumulation of SetBoundsRect, in surface pixels.
  bool boundsOn = false;
  CRect bounds;

  CRect* BoundsSink() { return boundsOn ? &bounds : nullptr; }

  const brv::Region& Clip() {
    if (!clipValid) {
      clip = surface ? brv::Region(surface->Bounds()).Intersect(visible) : brv::Region();
      if (st.hasClip) {
        brv::Region c = st.clip;
        c.Offset(origin.x, origin.y);
        clip = clip.Intersect(c);
      }
      clipValid = true;
    }
    return clip;
  }
  void ClipChanged() { clipValid = false; }
  // Logical -> surface pixels.
  int64_t X(int64_t x) const { return x - st.window.x + st.viewport.x + origin.x; }
  int64_t Y(int64_t y) const { return y - st.window.y + st.viewport.y + origin.y; }
  // Logical -> DC pixels (without the surface origin).
  int64_t DX(int64_t x) const { return x - st.window.x + st.viewport.x; }
  int64_t DY(int64_t y) const { return y - st.window.y + st.viewport.y; }
  bool Mono() const { return memory && st.bitmap && st.bitmap->bpp == 1; }
  // A colour as drawn on this target (black or white on a 1-bit bitmap).
  uint32_t Ink(COLORREF c) const {
    uint32_t p = brv::PixelOf(c);
    if (!Mono()) return p;
    int lum = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
    return lum >= 128 ? 0xFFFFFF : 0;
  }
  // A brush's pixel at surface (x, y); false where a hatch leaves the
  // background alone (TRANSPARENT).
  bool BrushPixel(const brv::gdi::Brush& b, int64_t x, int64_t y, uint32_t* out) const;
};

namespace brv::gdi {

// Keeps a DIB section that is not 32-bit in step with its pixels while a
// drawing call runs on it.
class DrawScope {
 public:
  explicit DrawScope(CDC::Impl* dc) : b_(dc && dc->memory ? dc->st.bitmap.get() : nullptr) {
    if (b_ && b_->dib && !b_->DirectDib()) b_->ImportDib();
    else b_ = nullptr;
  }
  ~DrawScope() {
    if (b_) b_->ExportDib();
  }
  DrawScope(const DrawScope&) = delete;
  DrawScope& operator=(const DrawScope&) = delete;

 private:
  Bitmap* b_;
};

}  // namespace brv::gdi
