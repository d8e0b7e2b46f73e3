#include "picture/bt709.h"

#include <cmath>

void RGB709_XYZ(double r, double g, double b, double* X, double* Y, double* Z) {
  if (X) *X = 41.2453 * r + 35.758 * g + 18.0423 * b;
  if (Y) *Y = 21.2671 * r + 71.516 * g + 7.2169 * b;
  if (Z) *Z = 1.9334 * r + 11.9193 * g + 95.0227 * b;
}

double Rlinear_Rdisplay_01(double v) { return v <= 0.018 ? 4.5 * v : 1.099 * std::pow(v, 0.45) - 0.099; }

double Rdisplay_01_Rlinear(double v) { return v <= 0.081 ? v / 4.5 : std::pow((v + 0.099) / 1.099, 2.2); }

int Rdisplay_clipping(double v) {
  // NaN counts as 0
  double scaled = v > 1 ? 255.0 : v > 0 ? v * 255.0 : 0.0;
  int out = static_cast<int>(scaled + 0.5);
  return out < 0 ? 0 : out > 255 ? 255 : out;
}

void RGBlinear_RGBdisplay(double r, double g, double b, unsigned char* rOut, unsigned char* gOut,
                          unsigned char* bOut) {
  if (rOut) *rOut = static_cast<unsigned char>(Rdisplay_clipping(Rlinear_Rdisplay_01(r)));
  if (gOut) *gOut = static_cast<unsigned char>(Rdisplay_clipping(Rlinear_Rdisplay_01(g)));
  if (bOut) *bOut = static_cast<unsigned char>(Rdisplay_clipping(Rlinear_Rdisplay_01(b)));
}
