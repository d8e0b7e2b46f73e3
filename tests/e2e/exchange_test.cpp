// The hand-back to the picture editor at the end of its flow, played in
// fresh processes: the two point sets against the test's own projection
// (GLU) and the photo marks, the clipboard against exchange.bmp
// (ImageMagick), the face's size in the picture against the photo, the mode
// word, the editor's one argument, and a program that cannot be started.

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "dialogs/photo_exchange_page.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "framework/backend.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "tests/e2e/fixtures.h"
#include "tests/e2e/player.h"
#include "tests/e2e/scenario_support.h"
#include "tests/framework/temp_dir.h"
#include "views/gl_view_core.h"
#include "views/viewedit3d.h"
#include "tests/support/file_bytes.h"

namespace {

// Checks made in the program's process, the model page open.
void checkExchange(const e2e::Folders& f, const std::function<void(const std::string&)>& fail) {
    CFaceDoc& doc = *actdoc;
    auto* view = doc.GetViewEdit3D<CViewEdit3D>();
    if (!view || !view->Core()) return fail("no 3D view");
    ExchangeResult r;
    if (!BackPhsh(doc, &r)) return fail("the hand-back failed");
    if (FaceApp()->pictureEditorMode != 2) fail("the mode word is " + std::to_string(FaceApp()->pictureEditorMode));

    // Set A: the visible points as GLU projects them through the view's camera.
    const ProjectionCore& core = view->Core()->core();
    matrix44<double> modelview = core.modelview(), projection = core.projection();
    const GLViewport& vp = core.viewport();
    GLint viewport[4] = {vp.x, vp.y, vp.width, vp.height};
    head3& head = *doc.kernel3D->head;
    const head2& marks = *doc.kernel2D->head;
    const int group = doc.photoNumber < 0 ? -doc.photoNumber : doc.photoNumber;
    const int workingHeight = doc.kernel2D->photo.GetHeight();
    const double s = doc.kernel2D->loadBottom - doc.kernel2D->loadTop > 0 && workingHeight > 0
                         ? double(doc.kernel2D->loadBottom - doc.kernel2D->loadTop) / workingHeight
                         : 1.0;
    if (std::fabs(r.photoScale - s) > 1e-12) fail("photo scale " + std::to_string(r.photoScale));
    int seen = 0;
    CString code;
    for (int i = 0; i < kExchangePoints && GetFeaturePointInfo(i, &code); ++i) {
        Index<featurepoint3> fp = head.getFeaturepoint(code, true);
        if (r.ax[i] != kNoExchangePoint) {
            if (fp == -1 || !GoodInfoCode(group, code)) {
                fail(std::string(code.View()) + " has no head point");
                continue;
            }
            vector3<double> p = head.featurepoints[fp].point();
            GLdouble wx, wy, wz;
            gluProject(p.x, p.y, p.z, modelview.m, projection.m, viewport, &wx, &wy, &wz);
            double cy = core.clientHeight() - wy;
            if (std::fabs(r.ax[i] - wx) > 1e-6 || std::fabs(r.ay[i] - cy) > 1e-6)
                fail(std::string(code.View()) + ": set A " + std::to_string(r.ax[i]) + "," + std::to_string(r.ay[i]) +
                     ", GLU " + std::to_string(wx) + "," + std::to_string(cy));
            ++seen;
        }
        Index<featurepoint2> m = marks.photoPoints.get(code);
        double bx = m == -1 ? kNoExchangePoint : s * marks.photoPoints[m].position.x;
        double by = m == -1 ? kNoExchangePoint : s * marks.photoPoints[m].position.y;
        if (r.bx[i] != bx || r.by[i] != by) fail(std::string(code.View()) + ": set B differs from the marks");
    }
    if (seen < 10) fail("only " + std::to_string(seen) + " points seen in the 3D view");

    // The outer eye corners in the picture handed back, against the photo.
    auto photo = e2e::ReadMarks(f.fixtures + "/front122.marks");
    const e2e::Mark a = photo["left_corner_of_the_left_eye"], b = photo["right_corner_of_the_right_eye"];
    double onPhoto = std::hypot(a.x - b.x, a.y - b.y);
    double inPicture = (r.leftEye - r.rightEye).length();
    if (onPhoto <= 0 || std::fabs(inPicture / onPhoto - 1) > 0.03)
        fail("eye corners " + std::to_string(inPicture) + " apart in the picture, " + std::to_string(onPhoto) +
             " on the photo");

    // The clipboard as a BMP file, for ImageMagick to compare.
    brv::ClipboardContents clip = brv::CurrentBackend().ReadClipboard();
    if (!clip.dib || clip.dib->size() < 40) return fail("no picture on the clipboard");
    std::vector<uint8_t> file(14, 0);
    uint32_t size = uint32_t(14 + clip.dib->size());
    uint32_t headerSize = uint32_t((*clip.dib)[0]) | uint32_t((*clip.dib)[1]) << 8;
    uint32_t bits = uint32_t((*clip.dib)[14]) | uint32_t((*clip.dib)[15]) << 8;
    uint32_t colours = bits <= 8 ? (1u << bits) * 4 : 0;
    uint32_t offset = 14 + headerSize + colours;
    file[0] = 'B';
    file[1] = 'M';
    for (int k = 0; k < 4; ++k) file[2 + k] = uint8_t(size >> (8 * k)), file[10 + k] = uint8_t(offset >> (8 * k));
    file.insert(file.end(), clip.dib->begin(), clip.dib->end());
    std::ofstream(f.out + "/clipboard.bmp", std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                                    std::streamsize(file.size()));
}

}  // namespace

// Waiting for the model page and the pages of the flow.
TEST(PictureEditorExchange, HandsTheHeadBack) {
    e2e::Scenario s;
    ASSERT_TRUE(e2e::test::Read("picture_editor_exchange", s));
    TempDir root;
    e2e::Folders f = e2e::test::Prepare(s, root.path());
    ASSERT_NO_FATAL_FAILURE(e2e::test::MakeFixtures(s, f));
    // The editor: a script that writes down its arguments.
    const std::string editor = f.out + "/editor.sh", args = f.out + "/args.txt";
    std::ofstream(editor) << "#!/bin/sh\necho \"$#\" \"$@\" > '" << args << "'\n";
    std::filesystem::permissions(editor, std::filesystem::perms::owner_all);
    e2e::RegisterHook("exchange", checkExchange);
    for (const std::string& e : e2e::Play(s, f)) ADD_FAILURE() << e;
    // The editor is not waited for.
    for (int k = 0; k < 50 && !std::filesystem::exists(args); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(testsupport::fileBytes(args), "1 " + f.tmp + "/fmtmp/exchange.bmp\n");
}
