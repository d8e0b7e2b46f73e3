// The work flow in a fresh process of the program (RunBrivanta over the
// headless backend): photo, start page, points, camera, curves, model, and
// the close question answered Yes.

#include <gtest/gtest.h>

#include "flow_fixture.h"
#include "tests/support/fresh_process.h"

namespace {

CViewOrig2D& photoView() { return *actdoc->GetViewOrig2D<CViewOrig2D>(); }

CPoint clientOf(const vector2<double>& p) {
    const vector2<double> c = photoView().map.toClient(p);
    return CPoint(int(std::lround(c.x)), int(std::lround(c.y)));
}

// The first tick's photo dialog answers the photo; its start page is
// filled as a user does.
void answerPhoto(fresh::Child& c, const std::string& photo) {
    brv::HeadlessDriver& driver = c.driver;
    driver.OnNextFileDialog([photo](brv::FileDialogSession& s) { return s.Accept(photo) ? IDOK : IDCANCEL; });
    driver.OnNextModal([&driver](HWND d) {
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, 1096));
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, 1153));
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, 1115));
        HWND edit = brv::HeadlessDriver::FindControl(d, 1114);
        driver.ClickControl(edit);
        driver.Key(VK_END);
        for (int k = 0; k < 20; ++k) driver.Key(VK_BACK);
        driver.Type("anna");
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, IDOK));
    });
}

void runFlow(fresh::Child& c) {
    brv::HeadlessDriver& driver = c.driver;
    CMainFrame& frame = *dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    CFaceDoc& doc = *actdoc;
    // The first tick asks for the photo (answered before the start).
    if (doc.stage == 0) {
        driver.AdvanceClock(400);
        driver.Pump();
    }
    driver.Run([&] { frame.ShowWindow(SW_RESTORE); });
    driver.Run([&] { frame.MoveWindow(0, 0, 1700, 1000); });
    driver.Pump();
    c.Put("stage.photo", doc.stage);
    c.Put("name", doc.state().name);
    // The marks through the known camera.
    const int w = doc.kernel2D->photo.GetWidth(), h = doc.kernel2D->photo.GetHeight();
    const ProjectionCore known = FlowCamera(w, h);
    const htraf3<double> toPhoto = known.OpenGL2htraf() * known.cl2bmp_HTRAF3();
    head3& head = *doc.kernel3D->head;
    head.set_actual();
    std::map<std::string, vector2<double>> marks;
    for (int k = head.featurepoints.first(); k != -1; k = head.featurepoints.nextOf(k)) {
        const vector3<double> q = (head.featurepoints[k].point() * toPhoto).vec3();
        marks[head.featurepoints[k].name()] = vector2<double>(q.x, q.y);
    }
    int asked = 0;
    for (int guard = 0; guard < 10 && frame.tool == 0 && frame.toolMode == 2; ++guard) {
        CString code;
        if (!GetFeaturePointInfo(photoView().currentRow, &code)) break;
        driver.Click(photoView().m_hWnd, clientOf(marks.at(std::string(code.View()))));
        ++asked;
    }
    c.Put("asked", asked);
    head2& m = *doc.kernel2D->head;
    for (int k = m.photoPoints.first(); k != -1; k = m.photoPoints.nextOf(k)) {
        auto it = marks.find(m.photoPoints[k].name());
        if (it != marks.end()) driver.Drag(photoView().m_hWnd, clientOf(m.photoPoints[k].position), clientOf(it->second), 6);
    }
    driver.ClickControl(brv::HeadlessDriver::FindControl(brv::HeadlessDriver::FindDialog(IDD_FEATURES2), 1141));
    driver.Pump();
    c.Put("stage.camera", doc.stage);
    c.Put("curvePage", brv::HeadlessDriver::FindDialog(IDD_FEATURES3) ? 1 : 0);
    driver.ClickControl(brv::HeadlessDriver::FindControl(brv::HeadlessDriver::FindDialog(IDD_FEATURES3), 1141));
    driver.Pump();
    c.Put("stage.model", doc.stage);
    c.Put("texture", doc.kernel3D->head->texture ? doc.kernel3D->head->texture->width : 0);
    driver.AnswerNextMessageBox(IDYES);
    driver.Run([&] { frame.NextFunction(99); });
}

}  // namespace

TEST(FlowFreshTest, TheWholeFlowInAFreshProcessEndsWithZero) {
    TempDir config, tmp;
    const std::string photo = tmp.path() + "/photo.jpg";
    ASSERT_EQ(std::system(("/usr/bin/convert logo: -resize 1200x1600! -quality 92 " + photo + " 2>/dev/null").c_str()),
              0);
    fresh::Options o;
    o.args = {"--full"};
    o.configHome = config.path();
    o.tmpDir = tmp.path();
    o.before = [photo](fresh::Child& c) {
        c.driver.Backend().SetClock(1110000000, 5000);
        answerPhoto(c, photo);
    };
    o.steps = {[](fresh::Child& c) { runFlow(c); }};
    o.onExit = [](fresh::Child& c, int code) { c.Put("exit", code); };
    o.timeoutSeconds = 300;
    const fresh::Result r = fresh::Run(o);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.Get("exit"), "0");
    EXPECT_EQ(r.Get("stage.photo"), "1000");
    EXPECT_EQ(r.Get("name"), "anna");
    EXPECT_EQ(r.Get("asked"), "3");
    EXPECT_EQ(r.Get("stage.camera"), "2000");
    EXPECT_EQ(r.Get("curvePage"), "1");
    EXPECT_EQ(r.Get("stage.model"), "2500");
    EXPECT_EQ(r.Get("texture"), "1024");
}
