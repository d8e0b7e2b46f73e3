#pragma once
// Filters: given their parameters at construction, applied to a source
// bitmap to give a destination bitmap. Each filter overrides Apply or
// ApplyInPlace; the base versions are defined through each other.
#include <cstdint>
#include <memory>

#include "picture/pixel32.h"
#include "picture/plobject.h"

class CBaseBmp;

class CPicFilter : public CPLObject {
 public:
  // A scratch bitmap gets Apply(bmp, scratch); bmp becomes a copy of it.
  virtual void ApplyInPlace(CBaseBmp* bmp) const;
  // When they differ, dst becomes a copy of src; then ApplyInPlace(dst).
  virtual void Apply(CBaseBmp* src, CBaseBmp* dst) const;

 protected:
  // For filters that override Apply: a source that is also the destination
  // goes through ApplyInPlace (true), else nothing happens (false).
  bool appliedInPlace(CBaseBmp* src, CBaseBmp* dst) const;
};

// Resize kernel: Weight(x) is 0 outside the radius.
class CResizeKernel : public CPLObject {
 public:
  explicit CResizeKernel(double radius) : m_Radius(radius) {}
  double GetRadius() const { return m_Radius; }
  virtual double Weight(double x) const = 0;

 private:
  double m_Radius;
};

class CTriangleKernel : public CResizeKernel {
 public:
  explicit CTriangleKernel(double radius = 1.0) : CResizeKernel(radius) {}
  double Weight(double x) const override;
};

// Progress in percent; returning false stops the resize.
using PLProgressCallback = bool (*)(double percent, void* context);

// Separable resampling of 32-bit bitmaps.
class CPicResizeFilter : public CPicFilter {
 public:
  // The filter keeps a reference to the kernel.
  CPicResizeFilter(int newWidth, int newHeight, const CResizeKernel& kernel,
                   PLProgressCallback callback = nullptr, void* context = nullptr)
      : m_NewWidth(newWidth), m_NewHeight(newHeight), m_Kernel(kernel), m_Callback(callback), m_Context(context) {}
  void Apply(CBaseBmp* src, CBaseBmp* dst) const override;
  // Where the processor has them, the sums run in wide registers (the same
  // bytes); tests turn that off to try the plain path (true again resets).
  static void AllowWideRegisters(bool allow);

 private:
  int m_NewWidth;
  int m_NewHeight;
  const CResizeKernel& m_Kernel;
  PLProgressCallback m_Callback;
  void* m_Context;
};

// The rows of the bilinear resize of a 32-bit bitmap to newWidth x
// newHeight (CBaseBmp::ResizeBilinearFrom), one at a time and in any order,
// with the same bytes; only the few horizontally resized source rows that
// the rows asked for read are kept, not the resized picture. The source
// must stay as it is while rows are asked for.
class CBilinearRows {
 public:
  CBilinearRows(const CBaseBmp& src, int newWidth, int newHeight);
  ~CBilinearRows();
  CBilinearRows(const CBilinearRows&) = delete;
  CBilinearRows& operator=(const CBilinearRows&) = delete;
  // Row y (0 .. newHeight - 1) of the resized picture, valid until the
  // next call.
  const CPixel32* Row(int y);

 private:
  struct Rows;
  std::unique_ptr<Rows> m_Rows;
};

// Parameters in the order left, right, top, bottom; the result is
// (right - left) x (bottom - top). The rectangle must lie inside the source.
class CPicCropFilter : public CPicFilter {
 public:
  CPicCropFilter(int left, int right, int top, int bottom) : m_Left(left), m_Right(right), m_Top(top), m_Bottom(bottom) {}
  void Apply(CBaseBmp* src, CBaseBmp* dst) const override;

 private:
  int m_Left, m_Right, m_Top, m_Bottom;
};

// Nearest-neighbour rotation by an angle in radians; uncovered pixels take
// the fill colour. 32-bit bitmaps.
class CPicRotateFilter : public CPicFilter {
 public:
  CPicRotateFilter(double angle, CPixel32 fill) : m_Angle(angle), m_Fill(fill) {}
  void Apply(CBaseBmp* src, CBaseBmp* dst) const override;

 private:
  double m_Angle;
  CPixel32 m_Fill;
};

// 32 to 8 bits per pixel.
class CPicQuantizeFilter : public CPicFilter {
 public:
  CPicQuantizeFilter(int paletteMode, int ditherMode) : m_PaletteMode(paletteMode), m_DitherMode(ditherMode) {}
  void Apply(CBaseBmp* src, CBaseBmp* dst) const override;

  // The fixed 256-colour table of palette mode 2.
  static const CPixel32* FixedPalette();

 private:
  int m_PaletteMode;
  int m_DitherMode;
};
