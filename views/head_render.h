#pragma once
// The free 3D view without its window: the lit or textured head from the
// head kernel's display lists, the merged photo of display mode 7, the
// off-screen bitmap and photo, and the mouse-to-head displacement.

#include <string>

#include "fitting/kernel3d.h"
#include "model/head.h"
#include "views/gl_view_core.h"
#include "views/merged_photo.h"

class CWinBmp;

namespace svc {
class ViewEdit3D;
}

namespace views {

class HeadRenderCore : public GLViewCore {
public:
    // view: the 3D view, whose display mode the kernel's list builders read.
    explicit HeadRenderCore(svc::ViewEdit3D& view);
    ~HeadRenderCore() override;

    uint32_t clearPixel() const override { return 0xFFFFFFu; }

    // 1 lit, 3 wire frame, 6 textured, 7 textured over the photo (2, 4 and
    // 5 are drawn as stated but nothing selects them).
    int displayMode() const;
    void setDisplayMode(int mode);

    // The model's rebuild: the head's box and octree (SetMinMaxOctree with
    // the first flag), the display mode from the stage (1 up to 1000, else
    // 7), then the whole head's list unless gatheredOnly (list 1 lit, list 3
    // textured, each kept while its head is as it was made from) and
    // always list 2.
    void InitializeModelForOpenGL(CKernel3D& kernel, bool octree, bool gatheredOnly, int stage);
    // Its two halves, measured apart.
    void rebuildOctree(CKernel3D& kernel, bool moveToCenter);
    void buildDisplayLists(CKernel3D& kernel, bool gatheredOnly, int stage);

    // A new texture name for the head's texture, uploaded through
    // pmTexImage2D with linear filters; kept when it holds the texels of the
    // texture's present change count and the current head still has the
    // reduction that upload left. False without texture or GL.
    bool UploadTexture(CKernel3D& kernel);

    // One frame into dst, the view's client pixels; photo: the working
    // bitmap shown where mode 7 renders the clear colour. False when nothing
    // was rendered (dst shows the background when there is no GL).
    bool DrawScene(const offscreen::PixelRows& dst, const CWinBmp* photo);

    // The scene rendered off screen into bmp (32 bits) through a
    // framebuffer of bmp's size with the off-screen lighting; then the
    // display mode follows the stage (the lists are made again when it
    // changes). False, bmp unchanged, without GL, with an empty viewport or
    // bitmap.
    bool MakeWinBmp(CWinBmp& bmp, CKernel3D& kernel, int stage);
    // The client (each side rounded to the multiple of 4 above) rendered
    // and written as a BMP file. False, and no file, when nothing was
    // rendered or the file could not be written whole.
    bool MakePhoto(const std::string& path, CKernel3D& kernel, int stage);
    // Picture height over the rendering-viewport height, set by MakeWinBmp.
    double offscreenScale = 0;

    // Head-space displacement of a mouse move (dx, dy): one unit per 8
    // pixels at zoom 1, truncated, depth along the view, turned like the head.
    vector3<double> Vector2Dto3D(int dx, int dy, int freeToolDepth) const;

protected:
    // Mode 2 takes the point's own normal when it is a vertex of a triangle.
    bool usesOwnNormal(const generalpoint3& p) const override;

private:
    void setupScene(float shininess);
    // The photo (prepared) where the frame shows the clear colour.
    void refreshMerged(const offscreen::PixelRows& dst);

    svc::ViewEdit3D& view_;
    unsigned texture_ = 0;
    // What the texture name was last filled from: the same texels in the
    // same context need no upload (nor a new frame). Counts, not addresses:
    // a new texture or reduction may lie where the last one lay.
    struct Upload {
        uint64_t context = 0;
        uint64_t texture = 0;    // the texture's change count
        uint64_t reduction = 0;  // that of the head's reduction it left, 0 none
        bool operator==(const Upload&) const = default;
    };
    Upload uploaded_;
#ifndef NDEBUG
    uint64_t uploadedHash_ = 0;  // builds with assertions check the count by it
#endif
    int listsMode_ = -1;  // the display mode the lists were last made in
    // The whole head's list, lit and textured apart (the kernel makes list
    // 1, put under the list's own name): a stage that goes back to the
    // other mode finds its list made. Each with what it was made from, in
    // which context.
    struct WholeList {
        unsigned name = 0;
        CKernel3D::ListInputs in;
        head3::BuildStamp stamp;
        uint64_t context = 0;
    };
    WholeList whole_[2];
    unsigned wholeShown_ = 1;  // the whole list the frames call
    bool list2Gathered_ = false;  // the last list 2 held triangles
    ScaledPhoto scaled_;
};

}  // namespace views
