#pragma once
// The head-over-photo view without its window: the head drawn through the
// camera laid over the photo, the merged display, the view's section.

#include <memory>
#include <vector>

#include "model/head.h"
#include "views/gl_view_core.h"
#include "views/merged_photo.h"

class CKernel3D;
class CWinBmp;
class head3;

namespace views {

class OverlayRenderCore : public GLViewCore {
public:
    OverlayRenderCore();
    ~OverlayRenderCore() override;

    // (212, 208, 200)
    uint32_t clearPixel() const override { return 0xD4D0C8u; }

    // Display list 1 in this view's context: the whole head in one material.
    // Its GL calls are kept and made when a frame first draws the head
    // (most never do): the list is the head as it was here.
    void InitializeModelForOpenGL(CKernel3D& kernel);

    // One frame into dst, the view's client pixels. drawHead: the
    // document's photo number is above 0 or the frame refines. photo: the
    // working bitmap, blended in when the merged flag is set. False when
    // nothing was rendered (empty client or viewport, no GL): dst then
    // keeps its pixels, except that without GL it shows the background.
    bool DrawScene(const offscreen::PixelRows& dst, bool drawHead, const CWinBmp* photo);
    int merged = 0;

    // The camera back to its start, then the viewport recomputed at zoom 1.
    void FitInView2(bool refinement = false);

    // Base section, then principal offset, fitted viewport and photo-to-GL map.
    OverlaySection overlaySection() const;
    void writeOpenGL(fnd::fileTB& f) const;
    bool readOpenGL(fnd::fileTB& f);

protected:
    // Mode 2 takes the point's own normal when it lies on a triangle.
    bool usesOwnNormal(const generalpoint3& p) const override;

private:
    void setupScene();
    // The render blended with the photo (when prepared).
    void refreshMerged(const offscreen::PixelRows& dst, bool havePhoto);

    // List 1's calls kept for the context they were made for.
    void makeKeptList();

    ScaledPhoto scaled_;
    std::vector<uint32_t> rendered_;
    // What list 1 was last made from, in which context.
    head3::BuildStamp listStamp_;
    uint64_t listContext_ = 0;
    class Recording;
    std::unique_ptr<Recording> keptList_;
};

}  // namespace views
