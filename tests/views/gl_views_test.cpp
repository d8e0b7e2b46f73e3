// The GL views as windows of the program's frame: what they show at
// 1024 x 768 and in the 2 x 2 layout, the marks over the frame, zoom, size
// and wheel through real input, and the views without GL.

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "tests/views/view_host.h"

namespace {

using viewtest::Picture;

constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kGrey = 0xD4D0C8u;

class GLViewsTest : public ViewsTest {};

TEST_F(GLViewsTest, FourViewsAloneAndTogether) {
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(TemplateScene());
    for (CFaceView* v : AllViews()) v->featureDisplay = true;
    for (CFaceView* v : AllViews()) {
        ShowAlone(*v);
        ASSERT_EQ(ClientOf(*v), CSize(1024, 768)) << v->viewName.GetString();
        Paint(*v);
        viewtest::Save(Grab(*v), std::string("template_") + v->viewName.GetString());
    }
    ShowFour();
    for (CFaceView* v : AllViews()) {
        CSize c = ClientOf(*v);
        printf("%s %ld x %ld paints %ld zoom %g off %g %g visible %d\n", v->viewName.GetString(), c.cx, c.cy, v->paints, v->map.zoom, v->map.offsetX, v->map.offsetY, v->IsWindowVisible());
    }
    viewtest::Save(GrabFrame(), "template_2x2");
}

}  // namespace
