// The frame's side of the work flow: the step codes the pages send, the
// close question, the step commands' guards, progress and wait cursor, and
// the automatic lines.

#include <gtest/gtest.h>

#include "flow_fixture.h"
#include <filesystem>
#include <fstream>

#include "model/topology.h"

namespace {

// The flow commands that reached the frame, and whether the code's sender
// had returned by then.
struct Delivered {
    UINT id;
    bool afterCaller;
};
std::vector<Delivered>& delivered() {
    static std::vector<Delivered> d;
    return d;
}
bool callerReturned = false;
bool recording = false;

class StepRecordingFrame : public CMainFrame {
    DECLARE_DYNCREATE(StepRecordingFrame)
public:
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override {
        if (recording && code == CN_COMMAND && id >= 32700 && id <= 33100 && id != ID_UNDO) {
            delivered().push_back({id, callerReturned});
            return TRUE;
        }
        return CMainFrame::OnCmdMsg(id, code, extra, info);
    }
};
IMPLEMENT_DYNCREATE(StepRecordingFrame, CMainFrame)

}  // namespace

class FlowDriverTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        delivered().clear();
        recording = false;
        app = std::make_unique<CFaceApp>();
        app->pictureEditorMode = 0;
        auto* t =
            new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CFaceDoc), RUNTIME_CLASS(StepRecordingFrame), nullptr);
        app->AddDocTemplate(t);
        driver.Run([&] { t->OpenDocumentFile(nullptr); });
        ASSERT_NE(app->Frame(), nullptr);
        // No first tick: the commands are sent by the tests.
        driver.Run([&] { Frame().KillTimer(kStartTimer); });
    }
    void TearDown() override {
        recording = false;
        ShellTest::TearDown();
    }
    // Sends the code as a page does and lets the program run on.
    std::vector<Delivered> Send(int code) {
        delivered().clear();
        recording = true;
        callerReturned = false;
        driver.Run([&] {
            Frame().NextFunction(code);
            callerReturned = true;
        });
        driver.Pump();
        recording = false;
        return delivered();
    }
};

TEST_F(FlowDriverTest, StepCodesArePostedToTheirCommands) {
    // Every step command is enabled at the model stage.
    Doc().stage = 2500;
    struct Case {
        int code;
        UINT id;  // 0: nothing sent
    };
    const std::vector<Case> cases{
        {0, ID_START_WORK},   {15, ID_START_WORK},   {2, ID_IMPORT_PIC},        {18, ID_IMPORT_PIC},
        {4, ID_CAMERA_MODE},  {16, ID_CAMERA_MODE},  {5, ID_BACK_PICTURE},      {7, ID_MEDAL_MODE},
        {8, ID_PHOTO_MODE},   {9, ID_PROPERTIES},    {10, 0},                   {11, 0},
        {12, 0},              {13, 0},               {19, ID_FILE_OPEN_FAC},    {20, ID_PASTE_PICTURE},
        {21, ID_SCAN},        {22, ID_PICT_FROM_OTHER}, {23, ID_PICT_FROM_TEMP}, {1, ID_DUMMY},
        {3, ID_DUMMY},        {100, ID_DUMMY},
    };
    for (const Case& c : cases) {
        const std::vector<Delivered> got = Send(c.code);
        if (c.id == 0) {
            EXPECT_TRUE(got.empty()) << c.code;
            continue;
        }
        ASSERT_EQ(got.size(), 1u) << c.code;
        EXPECT_EQ(got[0].id, c.id) << c.code;
        EXPECT_TRUE(got[0].afterCaller) << c.code;
    }
}

TEST_F(FlowDriverTest, CloseQuestionEndsWithZeroOrStartsAgain) {
    driver.AnswerNextMessageBox(IDNO);
    const std::vector<Delivered> got = Send(99);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, ID_START_WORK);
    auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Do you really want to close this program?");
    EXPECT_EQ(boxes[0].caption, "Warning");
    EXPECT_FALSE(driver.Exited());
    driver.AnswerNextMessageBox(IDYES);
    driver.Run([&] { Frame().NextFunction(99); });
    ASSERT_TRUE(driver.Exited());
    EXPECT_EQ(*driver.ExitCode(), 0);
}

TEST_F(FlowDriverTest, StepThreeBeforeAPhotoOnlyBeeps) {
    Doc().stage = 1000;
    const size_t beeps = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size();
    driver.Run([&] { Frame().OnMedalMode(); });
    EXPECT_EQ(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size(), beeps + 1);
    EXPECT_EQ(Frame().modelDialog, nullptr);
    EXPECT_EQ(Doc().stage, 1000);
}

TEST_F(FlowDriverTest, PropertiesOpenThePageOfTheStage) {
    Doc().stage = 1000;
    driver.Run([&] { Frame().OnProperties(); });
    ASSERT_NE(Frame().pointDialog, nullptr);
    EXPECT_NE(brv::HeadlessDriver::FindDialog(IDD_FEATURES2), nullptr);
    // Again: the steps' pages are closed first, so a fresh one opens.
    driver.Run([&] { Frame().OnProperties(); });
    driver.Pump();
    EXPECT_NE(brv::HeadlessDriver::FindDialog(IDD_FEATURES2), nullptr);
    Doc().stage = 2000;
    driver.Run([&] { Frame().OnProperties(); });
    EXPECT_NE(brv::HeadlessDriver::FindDialog(IDD_FEATURES3), nullptr);
    driver.Run([&] { Frame().HideModelessDialogs(); });
    Doc().stage = 2600;
    driver.Run([&] { Frame().OnProperties(); });
    EXPECT_EQ(brv::HeadlessDriver::FindDialog(IDD_FEATURES2), nullptr);
    EXPECT_EQ(brv::HeadlessDriver::FindDialog(IDD_FEATURES3), nullptr);
}

TEST_F(FlowDriverTest, RefinementCommandsOnlyAtTheModelStage) {
    Doc().stage = 2000;
    recording = true;
    driver.Run([&] { Frame().OnPictFromOther(); });
    driver.Run([&] { Frame().OnPictFromTemp(); });
    recording = false;
    EXPECT_TRUE(delivered().empty());
    EXPECT_EQ(Doc().photoNumber, 0);
    EXPECT_EQ(Frame().refining, 0);
    Doc().stage = 2500;
    recording = true;
    driver.Run([&] { Frame().OnPictFromOther(); });
    recording = false;
    EXPECT_EQ(Doc().photoNumber, 1);
    EXPECT_EQ(Doc().refineMode, 2);
    EXPECT_EQ(Frame().refining, 1);
    ASSERT_EQ(delivered().size(), 1u);
    EXPECT_EQ(delivered()[0].id, ID_IMPORT_PIC);
    // A second one before the model stage is reached again does nothing.
    Doc().stage = 1000;
    driver.Run([&] { Frame().OnPictFromOther(); });
    EXPECT_EQ(Doc().photoNumber, 1);
}

class FlowStepsTest : public FlowTest {};

TEST_F(FlowStepsTest, TooFewPointsReturnToStepOneWithProgressAndCursorGone) {
    ASSERT_TRUE(StartProgram());
    ShowAlone(Orig2D(), 1600, 900);
    const std::string photo = MakePhoto(600, 800);
    ASSERT_FALSE(photo.empty());
    ASSERT_TRUE(LoadPhoto(photo, StartChoices{}));
    head2& m = *Doc().kernel2D->head;
    struct Case {
        std::vector<double> weights;
        bool passes;
    };
    const std::vector<Case> cases{
        {std::vector<double>(20, 0.9), false},
        {std::vector<double>(11, 1.0), true},
        {{5, 5, 5}, true},
        {{5, 5}, false},
    };
    for (const Case& c : cases) {
        m.photoPoints.remove_all();
        for (size_t i = 0; i < c.weights.size(); ++i) {
            const Index<featurepoint2> p = m.photoPoints.add_new(("p" + std::to_string(i)).c_str());
            m.photoPoints[p].weight = c.weights[i];
            m.photoPoints[p].position = vector2<double>(100 + 10.0 * i, 200);
        }
        const size_t boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox).size();
        Doc().stage = 1000;
        // "Pro": a passed check leads to the curve page.
        App().proMode = 1;
        driver.Run([&] { Frame().OnCameraMode(); });
        driver.Pump();
        auto all = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
        if (c.passes) {
            EXPECT_EQ(all.size(), boxes) << c.weights.size();
            EXPECT_EQ(Doc().stage, 2000) << c.weights.size();
            EXPECT_NE(Frame().curveDialog, nullptr);
        } else {
            ASSERT_EQ(all.size(), boxes + 1) << c.weights.size();
            EXPECT_EQ(all.back().text, "Too few points on the photo.");
            EXPECT_EQ(all.back().caption, "Error");
            EXPECT_EQ(Doc().stage, 1000);
            EXPECT_NE(Frame().pointDialog, nullptr);
        }
        EXPECT_FALSE(driver.Backend().WaitCursorShown()) << c.weights.size();
        EXPECT_EQ(brv::HeadlessDriver::FindDialog(IDD_PROGRESS), nullptr) << c.weights.size();
        driver.Run([&] { Frame().HideModelessDialogs(); });
    }
}

TEST_F(FlowStepsTest, AutomaticLinesNeedTwoPoints) {
    ASSERT_TRUE(StartProgram());
    CFaceDoc& d = Doc();
    driver.Run([&] { d.LoadTHEResource(101, true); });
    head2& m = *d.kernel2D->head;
    head3& head = *d.kernel3D->head;
    head.set_actual();
    m.photoPoints.remove_all();
    // Drop the head's own automatic lines: they are made again.
    CString code, type;
    std::vector<std::string> automatic;
    for (int row = 0; GetFeatureLineInfo(row, &code, nullptr, &type); ++row)
        if (GoodInfoCode(0, code) && type == "3333") automatic.push_back(std::string(code.View()));
    ASSERT_FALSE(automatic.empty());
    // The first automatic line gets all its points on the photo, the second
    // one point only.
    dynarray<CString> first, second;
    GetFeatureLinePoints(automatic[0].c_str(), &first);
    GetFeatureLinePoints(automatic[1].c_str(), &second);
    ASSERT_GE(first.size(), 2);
    for (int i = 0; i < first.size(); ++i) {
        const Index<featurepoint2> p = m.photoPoints.add_ifnew(first[i]);
        m.photoPoints[p].position = vector2<double>(10.0 * i, 20);
    }
    if (second.size() > 0) {
        const Index<featurepoint2> p = m.photoPoints.add_ifnew(second[0]);
        m.photoPoints[p].position = vector2<double>(5, 5);
    }
    const bool firstOnHead = head.getFeatureline(automatic[0].c_str(), true) != -1;
    driver.Run([&] { Frame().CreateAutomaticLines(); });
    const Index<featureline2> l = m.photoLines.get(automatic[0].c_str());
    ASSERT_NE(l, -1);
    EXPECT_EQ(m.photoLines[l].count(), first.size());
    int i = 0;
    for (int q = m.photoLines[l].first(); q != -1; q = m.photoLines[l].nextOf(q), ++i)
        EXPECT_EQ(m.photoLines[l][q].position, vector2<double>(10.0 * i, 20));
    bool sharedPoint = false;
    for (int k = 0; k < first.size(); ++k)
        if (second.size() > 0 && first[k] == second[0]) sharedPoint = true;
    if (!sharedPoint) {
        EXPECT_EQ(m.photoLines.get(automatic[1].c_str()), -1);
    }
    // The head's lines: made from its bound points (kept when present).
    const Index<featureline3> l3 = head.getFeatureline(automatic[0].c_str(), true);
    ASSERT_NE(l3, -1);
    if (!firstOnHead) {
        EXPECT_GE(head.featurelines[l3].count(), 2);
    }
    // A second run leaves what exists.
    const int count = m.photoLines.count();
    driver.Run([&] { Frame().CreateAutomaticLines(); });
    EXPECT_EQ(m.photoLines.count(), count);
}

TEST_F(FlowStepsTest, PresentViewBecomesTheRefinementPhoto) {
    ASSERT_TRUE(StartProgram());
    CFaceDoc& d = Doc();
    d.templateId = 122;
    driver.Run([&] { d.LoadTHEResource(122, true); });
    driver.Run([&] { Frame().OnViews2A(); });
    SizeFrameClient(1211, 811);
    d.stage = 2500;
    driver.Run([&] { Frame().OnPictFromTemp(); });
    driver.Pump();
    CRect client;
    Frame().GetClientRect(&client);
    CKernel2D& k = *d.kernel2D;
    EXPECT_EQ(k.right, (client.Width() / 2) / 4 * 4 + 4);
    EXPECT_EQ(k.bottom, client.Height() / 4 * 4 + 4);
    EXPECT_EQ(k.photo.GetHeight(), 768);
    EXPECT_EQ(d.photoNumber, 1);
    EXPECT_EQ(d.refineMode, 1);
    EXPECT_EQ(d.stage, 2000);
    EXPECT_NE(Page(IDD_FEATURES3), nullptr);
    head2& m = *k.head;
    EXPECT_GT(m.photoPoints.count(), 10);
    for (int q = m.photoPoints.first(); q != -1; q = m.photoPoints.nextOf(q)) {
        const vector2<double> p = m.photoPoints[q].position;
        EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x < k.photo.GetWidth() && p.y < k.photo.GetHeight())
            << m.photoPoints[q].name();
    }
    EXPECT_FALSE(driver.Backend().WaitCursorShown());
}

TEST_F(FlowStepsTest, DazFiguresAndTheExchangeSideFiles) {
    ASSERT_TRUE(StartProgram());
    const std::string exchangeDir = tmp_.path() + "/prog/resources/Brivanta";
    std::filesystem::create_directories(exchangeDir);
    std::filesystem::create_directories(tmp_.path() + "/prog/bin");
    svc::app().state().programFolder = tmp_.path() + "/prog/bin/";
    App().dazMode = 2;
    CFaceDoc& d = Doc();
    for (const char* figure : {"M3", "V4", "Other"}) {
        for (const char* ext : {"bmp", "dsx"}) std::ofstream(exchangeDir + "/kv3d." + ext) << "x";
        driver.Run([&] { d.kernel3D->head->clear(); });
        App().dazFigure = figure;
        d.photoNumber = 0;
        d.stage = 1000;
        driver.Run([&] { Frame().FeatureToolPhoto(); });
        for (const char* ext : {"bmp", "dsx"})
            EXPECT_FALSE(std::filesystem::exists(exchangeDir + "/kv3d." + ext)) << figure << ext;
        // M3 and V4 bring their template; "Other" without an exchange file none.
        EXPECT_EQ(d.kernel3D->head->vertices.count() > 0, std::string(figure) != "Other") << figure;
        EXPECT_NE(Page(IDD_FEATURES2), nullptr) << figure;
        driver.Run([&] { Frame().HideModelessDialogs(); });
    }
    App().dazMode = 0;
}
