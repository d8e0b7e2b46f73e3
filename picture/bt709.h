#pragma once
// Colour functions of the BT.709 transfer curve and primaries (values 0 to 1).

// XYZ of a linear RGB colour, the published matrix scaled to 0..100.
void RGB709_XYZ(double r, double g, double b, double* X, double* Y, double* Z);
// Linear light to display value: 4.5 v up to 0.018, else 1.099 v^0.45 - 0.099.
double Rlinear_Rdisplay_01(double linear);
// Display value to linear light: v / 4.5 up to 0.081, else ((v + 0.099) / 1.099)^2.2.
double Rdisplay_01_Rlinear(double display);
// A display value as a byte: 0 below 0, 255 above 1, else round(v x 255).
int Rdisplay_clipping(double display);
// Each linear channel through the curve and the clipping.
void RGBlinear_RGBdisplay(double r, double g, double b, unsigned char* rOut, unsigned char* gOut,
                          unsigned char* bOut);
