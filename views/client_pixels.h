#pragma once
// A view's client area as pixel rows of its top-level window's surface: the
// GL frames and the photo views write their pictures straight into it when
// the DC may paint the whole client, else through a buffer that the DC
// copies with its clipping.

#include <cstdint>
#include <vector>

#include "framework/gdi.h"
#include "views/offscreen_gl.h"

namespace views {

class ClientPixels {
public:
    // Rows for the client rectangle (0, 0, width, height) of dc.
    ClientPixels(CDC& dc, int width, int height);
    // Hands written pixels over: the surface's changed area is marked, or
    // the buffer is copied through the DC.
    ~ClientPixels();
    ClientPixels(const ClientPixels&) = delete;
    ClientPixels& operator=(const ClientPixels&) = delete;

    const offscreen::PixelRows& rows() const { return rows_; }
    bool empty() const { return rows_.empty(); }
    // Whether the rows are the surface itself (else a buffer).
    bool direct() const { return surface_ != nullptr; }
    // The rows' pixels are handed over now (the destructor then does nothing).
    void commit();

private:
    CDC& dc_;
    offscreen::PixelRows rows_;
    brv::Surface* surface_ = nullptr;
    CRect onSurface_;
    std::vector<uint32_t> buffer_;
    bool committed_ = false;
};

// Copies top-down pixel rows onto dc at logical (x, y), 1:1, through the
// DC's clipping.
void CopyRows(CDC& dc, int x, int y, const offscreen::PixelRows& rows);

}  // namespace views
