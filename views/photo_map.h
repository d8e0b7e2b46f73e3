#pragma once
// The two photo views' placement of the working picture: picture pixel p
// lies at client point zoom * p + offset, drawn at the offsets cut to whole
// pixels. Fitting, the wheel, resizing, panning and the two rectangle zooms
// act on these three numbers; the zoom stays within kMinZoom..kMaxZoom (a
// step that would leave that range does nothing), so the truncated offsets
// never overflow.

#include "fitting/projection.h"
#include "framework/gdi.h"

class CWinBmp;

namespace views {

class PhotoMap {
public:
    static constexpr double kMinZoom = 0.01;
    static constexpr double kMaxZoom = 100.0;

    double zoom = 1.0;
    double offsetX = 0, offsetY = 0;

    // The picture of w x h centred into a client of W x H pixels counted
    // inclusively (right - left + 1); nothing for a side of 8 or less.
    void fit(int W, int H, int w, int h);
    // Zoom by f about the client centre (W x H, the client's size): the
    // picture point under trunc(W / 2), trunc(H / 2) stays put. False when
    // the zoom would leave its range.
    bool zoomAboutCentre(double f, int W, int H);
    // A resize from height `from` to `to`: zoom and offsets scaled by
    // to / from; unchanged when either height is 0 or the zoom would leave
    // its range.
    void resize(int from, int to);
    void pan(int dx, int dy) {
        offsetX += dx;
        offsetY += dy;
    }
    // The rectangle a-b, widened to the client's aspect (cw x ch), fills the
    // client. False (nothing changed) for a rectangle without area in both
    // directions or a zoom out of range.
    bool zoomIn(CPoint a, CPoint b, int cw, int ch);
    // The client is mapped into the rectangle a-b.
    bool zoomOut(CPoint a, CPoint b, int cw, int ch);

    // Client to picture pixels, the offsets truncated as drawn.
    lintraf11 cl2bmp() const { return photoViewCl2bmp(zoom, offsetX, offsetY); }
    // Picture to client pixels, as the marks are drawn (offsets not cut).
    vector2<double> toClient(const vector2<double>& p) const {
        return {zoom * p.x + offsetX, zoom * p.y + offsetY};
    }
    vector2<double> toPicture(double x, double y) const { return {(x - offsetX) / zoom, (y - offsetY) / zoom}; }
    // The picture column (row) that client column x (row y) shows:
    // floor((x - trunc(offset)) / zoom).
    int sourceColumn(int x) const;
    int sourceRow(int y) const;

    bool operator==(const PhotoMap&) const = default;
};

// Draws bmp (32 bits per pixel) through the map onto dc, in the stretch mode
// COLORONCOLOR: each client pixel inside the client rectangle takes the
// picture pixel sourceColumn/sourceRow gives, only where that lies in the
// picture; only the visible part is sampled. Nothing for a side of 8 or less.
void DrawPhoto(CDC& dc, const CRect& client, const CWinBmp& bmp, const PhotoMap& map);

}  // namespace views
