// The seams between the model and fitting code and the application, views
// and dialogs, exercised through the shared fakes.
#include "seams/app.h"

#include <gtest/gtest.h>

#include "seams/dialogs.h"
#include "foundation/random.h"
#include "tests/support/fakes.h"
#include "seams/views.h"

namespace {

TEST(Services, DefaultsWithoutAnInstalledShell) {
    svc::setApp(nullptr);
    const svc::AppState& app = svc::app().state();
    EXPECT_EQ(app.pictureEditor, 1);
    EXPECT_EQ(app.dazMode, 0);
    EXPECT_EQ(app.headImport, 0);
    EXPECT_EQ(app.language, 1033);
    EXPECT_EQ(app.headGroupKeyword, "head");
    EXPECT_EQ(app.faceKeyword, "skinface");
    EXPECT_EQ(app.altFaceKeyword, "skinhead");
    EXPECT_EQ(app.lipKeyword, "lip");
    EXPECT_EQ(app.eyeSocketKeyword, "eyesocket");
    EXPECT_EQ(svc::document(), nullptr);
    EXPECT_EQ(svc::mainFrame(), nullptr);
    EXPECT_EQ(svc::startPage(), nullptr);
    // Progress reports go nowhere but still say "go on".
    EXPECT_NE(svc::progress().Open(0, 18, "Mirroring", false), 0);
    EXPECT_EQ(svc::progress().Step(1), 1);
    EXPECT_NE(svc::progress().Close(), 0);
}

TEST(Services, ViewsByNameAndKind) {
    fakes::Services s;
    svc::FaceDocument* doc = svc::document();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetViewEdit3D(), &s.viewEdit3D);
    EXPECT_EQ(doc->GetViewEdit2D3D(), &s.viewEdit2D3D);
    EXPECT_EQ(doc->GetViewOrigPhoto(), &s.viewOrigPhoto);
    EXPECT_EQ(doc->GetViewOrig2D(), &s.viewOrig2D);
    EXPECT_EQ(doc->GetView("NoSuchView"), nullptr);
    EXPECT_EQ((s.document.viewRequests),
              (std::vector<std::string>{"ViewEdit3D", "ViewEdit2D3D", "ViewOrigPhoto", "ViewOrig2D", "NoSuchView"}));
    s.document.views.erase("ViewEdit3D");
    EXPECT_EQ(doc->GetViewEdit3D(), nullptr);

    // Repainting from the model clears the flag before the redraw.
    svc::FaceView* v = doc->GetViewEdit2D3D();
    v->redrawFlag = true;
    v->RepaintFromModel();
    EXPECT_FALSE(v->redrawFlag);
    ASSERT_EQ(s.viewEdit2D3D.redrawFlagAtRedraw.size(), 1u);
    EXPECT_FALSE(s.viewEdit2D3D.redrawFlagAtRedraw[0]);
    EXPECT_EQ(s.viewEdit3D.displayMode, svc::ViewEdit3D::kLit);
}

TEST(Services, FakesRecordCalls) {
    fakes::Services s;
    svc::document()->CameraView();
    svc::document()->SetTitle("portrait");
    EXPECT_EQ(svc::document()->LoadTHEResource(), 1);
    svc::mainFrame()->Model();
    svc::mainFrame()->OnViews2();
    EXPECT_EQ(s.document.cameraViewCalls, 1);
    EXPECT_EQ(s.document.titles, std::vector<std::string>{"portrait"});
    EXPECT_EQ(s.document.loadTHEResourceCalls, 1);
    EXPECT_EQ(s.mainFrame.modelCalls, 1);
    EXPECT_EQ(s.mainFrame.views2Calls, 1);

    svc::Progress& p = svc::progress();
    p.Step(0);  // not open: not counted
    p.Open(0, 18, "Mirroring", false);
    p.Step(1);
    p.Step(2);
    s.progress.goOn = 0;  // the user pressed Stop
    EXPECT_EQ(p.Step(3), 0);
    p.Close();
    ASSERT_EQ(s.progress.opens.size(), 1u);
    EXPECT_EQ(s.progress.opens[0].high, 18);
    EXPECT_EQ(s.progress.opens[0].caption, "Mirroring");
    EXPECT_EQ(s.progress.steps, 3);
    EXPECT_EQ(s.progress.closes, 1);

    s.startPage.result = svc::StartPage::kCancel;
    s.startPage.answer.left = -1;
    svc::CropSettings crop;
    EXPECT_EQ(svc::startPage()->DoModal(nullptr, &crop, nullptr), svc::StartPage::kCancel);
    EXPECT_EQ(crop.left, -1);

    fnd::vector2<double> px;
    s.viewEdit2D3D.toPhoto = fnd::htraf3<double>(fnd::I33, {10, 20, 0});
    s.viewEdit2D3D.hiddenBelowZ = 0;
    EXPECT_EQ(svc::document()->GetViewEdit2D3D()->Coord3Dto2DBMP({1, 2, 3}, px), 1);
    EXPECT_EQ(px, fnd::vector2<double>(11, 22));
    EXPECT_EQ(svc::document()->GetViewEdit2D3D()->Coord3Dto2DBMP({1, 2, -3}, px), 0);

    svc::app().EndProgram(0);
    EXPECT_EQ(s.app.endProgramCodes, std::vector<int>{0});

    svc::document()->tables().groups.add().value = {1, 2, 3};
    EXPECT_EQ(s.document.faceTables.groups.size(), 1);
    // The chosen rows are unset until a head is read.
    for (int32_t row : {s.document.faceTables.headGroup, s.document.faceTables.faceMaterial,
                        s.document.faceTables.lipMaterial, s.document.faceTables.eyeSocketMaterial})
        EXPECT_EQ(row, -1);
}

// The pages' step codes reach whichever work flow is installed, in order; a
// recorder in the frame's place hands the place back when it goes.
TEST(Services, StepCodesGoToTheInstalledWorkFlow) {
    svc::setWorkFlow(nullptr);
    svc::sendStep(4);  // nowhere to go: nothing happens
    fakes::RecordedSteps frame;
    {
        fakes::RecordedSteps recorder;
        EXPECT_EQ(svc::workFlow(), &recorder);
        for (int code : {2, 4, 7, 99}) svc::sendStep(code);
        EXPECT_EQ(recorder.codes, (std::vector<int>{2, 4, 7, 99}));
    }
    EXPECT_EQ(svc::workFlow(), &frame);
    svc::sendStep(8);
    EXPECT_EQ(frame.codes, std::vector<int>{8});
}

TEST(Services, ScopeRestoresEverything) {
    {
        fakes::Services s;
        s.app.state().dazMode = 2;
        fnd::seedRandom(99);
        EXPECT_EQ(svc::app().state().dazMode, 2);
    }
    EXPECT_EQ(svc::app().state().dazMode, 0);
    EXPECT_EQ(svc::document(), nullptr);
    fnd::RandomSource fresh;
    EXPECT_EQ(fnd::nextRandom(), fresh.next());  // reset to the start-up seed
}

}  // namespace
