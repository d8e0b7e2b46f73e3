// The document over the real frame and panes: the views by name, the
// template heads, the reset for a new project, the photo load and the
// camera step.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "fitting/camera_search.h"
#include "fitting/projection.h"
#include "framework/resources.h"
#include "model/featuretables.h"
#include "model/morph.h"
#include "tests/app/shell_fixture.h"
#include "tests/support/project_dump.h"

namespace {

std::string templateText(unsigned id) {
    std::span<const unsigned char> b = brv::ResourceBytes("TEMPLATE", id);
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

int templateVertices(unsigned id) {
    head3 h;
    fnd::fileTB f;
    std::string text = templateText(id);
    f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    svc::FaceTables tables;
    h.tablesTarget = &tables;
    h.read(f, true);
    return f.good() ? h.vertices.count() : -1;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::vector<std::string> boxes(brv::HeadlessBackend& b) {
    std::vector<std::string> out;
    for (const auto& e : b.EventsOf(brv::HeadlessBackend::Event::kMessageBox)) out.push_back(e.text + "/" + e.caption);
    return out;
}

}  // namespace

class DocumentTest : public ShellTest {};

TEST_F(DocumentTest, ViewsAreFoundByTheirExactNamesOnceTheSplitterMadeThem) {
    {
        CFaceDoc alone;
        EXPECT_EQ(alone.GetView(CString("ViewOrig2D")), nullptr);
        EXPECT_EQ(alone.GetViewOrigPhoto<CFaceView>(), nullptr);
        EXPECT_EQ(alone.GetViewOrig2D<CFaceView>(), nullptr);
        EXPECT_EQ(alone.GetViewEdit2D3D<CFaceView>(), nullptr);
        EXPECT_EQ(alone.GetViewEdit3D<CFaceView>(), nullptr);
        EXPECT_EQ(actdoc, &alone);
        EXPECT_EQ(svc::document(), &alone);
    }
    EXPECT_EQ(actdoc, nullptr);
    EXPECT_EQ(svc::document(), nullptr);

    ASSERT_TRUE(Start());
    struct {
        CFaceView* got;
        const char* name;
        int row, col;
    } panes[] = {{Doc().GetViewOrigPhoto<CFaceView>(), "ViewOrigPhoto", 0, 0},
                 {Doc().GetViewOrig2D<CFaceView>(), "ViewOrig2D", 1, 0},
                 {Doc().GetViewEdit2D3D<CFaceView>(), "ViewEdit2D3D", 1, 1},
                 {Doc().GetViewEdit3D<CFaceView>(), "ViewEdit3D", 0, 1}};
    for (auto& p : panes) {
        ASSERT_NE(p.got, nullptr) << p.name;
        EXPECT_EQ(p.got->viewName, p.name);
        EXPECT_EQ(p.got, Frame().Pane(p.row, p.col)) << p.name;
        EXPECT_EQ(Doc().GetView(p.name), static_cast<svc::FaceView*>(p.got));
    }
    for (const char* wrong : {"vieworig2d", "VIEWORIG2D", "ViewOrig2", "ViewOrig2D ", "", "FaceView"})
        EXPECT_EQ(Doc().GetView(CString(wrong)), nullptr) << wrong;
    // The seam's typed getters reach the GL panes.
    EXPECT_NE(Doc().svc::FaceDocument::GetViewEdit3D(), nullptr);
    EXPECT_NE(Doc().svc::FaceDocument::GetViewEdit2D3D(), nullptr);
}

TEST_F(DocumentTest, InitialValuesAreTheDocumentsOwn) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(Doc().stage, 0);
    EXPECT_EQ(Doc().state().textureSize, 512);
    EXPECT_EQ(Doc().state().templateId, 101);
    EXPECT_EQ(Doc().photoNumber, 0);
    EXPECT_EQ(Doc().ageSlider, 0);
    EXPECT_EQ(Doc().weightSlider, 3);
    EXPECT_EQ(Doc().uniqueName.Left(1), "$");
    EXPECT_EQ(Doc().GetTitle(), "Untitled");
}

TEST_F(DocumentTest, TemplateHeadsByNumberWithTheirFallBacks) {
    const int cube = templateVertices(121), full = templateVertices(122), male = templateVertices(101);
    ASSERT_GT(cube, 0);
    ASSERT_GT(full, cube);
    ASSERT_GT(male, cube);
    struct Case {
        const char* what;
        bool editor;
        int templateBefore, asked;
        int vertices, templateAfter;
    } cases[] = {
        {"editor: 122 while 122", true, 122, 122, full, 122},
        {"editor: 122 while 101", true, 101, 122, cube, 121},
        {"editor: anything else", true, 101, 999, cube, 121},
        {"full: 122", false, 101, 122, full, 101},
        {"full: no such number", false, 122, 999, male, 101},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Start(c.editor ? std::vector<std::string>{} : std::vector<std::string>{"--full"}));
        Doc().templateId = c.templateBefore;
        Doc().stage = 1000;
        driver.Run([&] { Doc().LoadTHEResource(unsigned(c.asked), true); });
        EXPECT_EQ(Doc().kernel3D->head->vertices.count(), c.vertices);
        EXPECT_EQ(Doc().templateId, c.templateAfter);
        EXPECT_EQ(Doc().stage, 1000);
        EXPECT_TRUE(boxes(driver.Backend()).empty());
        Stop();
    }
}

TEST_F(DocumentTest, PreparedTemplateIsReadBackFromTheSnapshot) {
    const int male = templateVertices(101);
    ASSERT_TRUE(Start());
    driver.Run([&] { Doc().LoadTHEResource(121, true); });
    const int cube = Doc().kernel3D->head->vertices.count();
    driver.Run([&] { Doc().SaveTHEResource(); });
    // One file whatever the project.
    std::string snapshot = tmp_.path() + "/fmtmp/Tempmen100.the";
    EXPECT_EQ(std::string(Doc().SnapshotPath().View()), tmp_.path() + "/fmtmp\\Tempmen100.the");
    ASSERT_TRUE(std::filesystem::exists(snapshot));
    Doc().uniqueName = "$other";
    driver.Run([&] { Doc().SaveTHEResource(); });
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp_.path() + "/fmtmp"), {}), 2);  // and utmp

    Doc().templateId = 100;
    driver.Run([&] { Doc().LoadTHEResource(100, true); });
    EXPECT_EQ(Doc().kernel3D->head->vertices.count(), cube);
    EXPECT_EQ(Doc().templateId, 100);

    // Without the snapshot the fall-backs hold.
    std::filesystem::remove(snapshot);
    driver.Run([&] { Doc().LoadTHEResource(100, true); });
    EXPECT_EQ(Doc().kernel3D->head->vertices.count(), male);
    EXPECT_EQ(Doc().templateId, 101);
    EXPECT_TRUE(boxes(driver.Backend()).empty());
}

TEST_F(DocumentTest, ABadTemplateKeepsThePresentHead) {
    ASSERT_TRUE(Start());
    driver.Run([&] { Doc().LoadTHEResource(121, true); });
    Doc().stage = 2000;
    const std::string before = testsupport::DumpHead(*Doc().kernel3D->head);
    std::string cut = templateText(122);
    cut.resize(cut.size() / 2);
    // The number asked for, and the fall-back when it is missing.
    Layout("TEMPLATE", 122, cut);
    Layout("TEMPLATE", 101, cut);
    for (unsigned asked : {122u, 999u}) {
        SCOPED_TRACE(asked);
        Doc().stage = 2000;
        driver.Run([&] { Doc().LoadTHEResource(asked, true); });
        EXPECT_TRUE(testsupport::DumpHead(*Doc().kernel3D->head) == before);
        EXPECT_EQ(Doc().stage, 0);
        EXPECT_TRUE(boxes(driver.Backend()).empty());
    }
}

// The DAZ exchange file shapes a template when it is read, never a head
// read back from a file.
TEST_F(DocumentTest, ReadingMorphsApplyToTemplatesOnly) {
    TempDir program;
    std::filesystem::create_directories(program.path() + "/a/b");
    std::filesystem::create_directories(program.path() + "/a/resources/Brivanta");
    SetProgramFolder(program.path() + "/a/b");
    const int n = templateVertices(121);
    ASSERT_TRUE(Start({"--full", "x DAZStudio,1,N,M3,a:b:c:d:e,f"}));
    SetProgramFolder("");
    ASSERT_EQ(App().dazMode, 2);
    auto exchange = [&](double factor) {
        std::string lines;
        for (int i = 0; i < n; ++i)
            lines += "v " + std::to_string(factor * (i + 1)) + " " + std::to_string(factor * 2) + " 0.5\n";
        writeFile(program.path() + "/a/resources/Brivanta/kv3d.obj", lines);
    };
    auto firstVertex = [&] {
        head3& h = *Doc().kernel3D->head;
        return h.vertices[h.vertices.first()].position;
    };
    exchange(1.5);
    driver.Run([&] { Doc().LoadTHEResource(121, true); });
    {
        head3& h = *Doc().kernel3D->head;
        EXPECT_NEAR(firstVertex().x, 1.5 * h.scale - h.offset.x, 1e-9);
    }
    const vector3<double> morphed = firstVertex();
    driver.Run([&] { Doc().SaveTHEResource(); });
    exchange(3.0);
    Doc().templateId = 100;
    driver.Run([&] { Doc().LoadTHEResource(100, true); });
    EXPECT_NEAR(firstVertex().x, morphed.x, 1e-4);  // as the snapshot holds it
    EXPECT_FALSE(ReadingMorphs::on());
}

TEST_F(DocumentTest, NewProjectResetsEverything) {
    ASSERT_TRUE(Start());
    driver.Run([&] { Doc().LoadTHEResource(121, true); });
    CFaceDoc& d = Doc();
    d.stage = 2500;
    d.headName = "C:\\h";
    d.projectName = "C:\\p";
    d.headExtension = ".the";
    d.kernel3D->head->texture = std::make_unique<TextureImage>();
    d.kernel3D->head->reducedTexture = std::make_unique<TextureImage>();
    d.kernel2D->SetFileBytes({1, 2, 3});
    d.kernel2D->stash.bytes = {4, 5};
    d.kernel2D->stashFree = 0;
    ProjectionCore* camera = d.GetViewEdit2D3D<CFaceView>()->Camera();
    camera->setCamera({1, 2, 3}, {0, 0, 0}, {0, 1, 0}, 20);
    driver.Run([&] { Frame().OnViews4(); });
    driver.Run([&] { Frame().ActivateView(d.GetViewEdit3D<CFaceView>()); });

    driver.Run([&] { d.FreeMemoryForNewFAC(); });
    EXPECT_EQ(d.headName, "Untitled");
    EXPECT_EQ(d.projectName, "Untitled");
    EXPECT_EQ(d.headExtension, "");
    EXPECT_EQ(d.stage, 0);
    EXPECT_EQ(d.kernel3D->head->texture, nullptr);
    EXPECT_EQ(d.kernel3D->head->reducedTexture, nullptr);
    EXPECT_EQ(d.kernel3D->head->vertices.count(), 0);
    EXPECT_TRUE(d.kernel2D->FileBytes().empty());
    EXPECT_TRUE(d.kernel2D->StashFree());
    EXPECT_TRUE(d.kernel2D->stash.bytes.empty());
    EXPECT_EQ(d.GetViewEdit2D3D<CFaceView>()->Camera()->eye(), ProjectionCore().eye());
    EXPECT_EQ(Frame().layout, 1);
    EXPECT_EQ(Frame().ActiveFaceView(), d.GetViewOrig2D<CFaceView>());
}

TEST_F(DocumentTest, PhotoNameGivesTheUniqueNameItsSuffix) {
    // The picture-editor mode takes the clipboard picture whatever the name.
    CWinBmp clip;
    clip.Create(640, 480, 32, false);
    std::vector<uint8_t> dib = clip.ToClipboard();
    ASSERT_TRUE(Start({}));
    App().clipboardPicture = clip;
    driver.Run([&] { Doc().LoadPicFile("C:\\my.dir\\face.jpg"); });
    std::string unique(Doc().uniqueName.View());
    EXPECT_EQ(unique.substr(0, 1), "$");
    EXPECT_EQ(unique.substr(unique.size() - 5), "_face");
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_EQ(Doc().templateId, 121);
    EXPECT_EQ(Doc().kernel2D->photo.GetWidth(), 1024);
}

// A photo that does not decode changes nothing of the open project.
TEST_F(DocumentTest, CorruptPhotoLeavesAnOpenProjectAsItWas) {
    ASSERT_TRUE(Start());
    CFaceDoc& d = Doc();
    driver.Run([&] { d.LoadTHEResource(121, true); });
    head2& marks = *d.kernel2D->head;
    Index<featurepoint2> p = marks.photoPoints.add();
    marks.photoPoints[p].set_name("tip_of_the_nose", false);
    marks.photoPoints[p].position = vector2<double>(300, 200);
    auto texture = std::make_unique<TextureImage>();
    texture->width = texture->height = 4;
    texture->rgb.assign(48, 0x5A);
    d.kernel3D->head->texture = std::move(texture);
    d.stage = 2500;
    d.projectName = "C:\\work\\face";
    d.uniqueName = "$12_face";
    d.SetTitle("face");
    auto dump = [&] {
        return std::to_string(d.stage) + "/" + std::to_string(d.templateId) + "/" + std::string(d.uniqueName.View()) +
               "/" + std::string(d.projectName.View()) + "/" + std::string(d.GetTitle().View()) + "\n" +
               testsupport::DumpMarks(*d.kernel2D->head) + testsupport::DumpHead(*d.kernel3D->head) +
               testsupport::DumpPhotoKernel(*d.kernel2D);
    };
    const std::string before = dump();
    std::string jpeg = tmp_ / "broken.jpg";
    writeFile(jpeg, std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(300, '\x33'));
    driver.Run([&] { d.LoadPicFile(jpeg.c_str()); });
    EXPECT_TRUE(dump() == before);
    EXPECT_EQ(boxes(driver.Backend()), std::vector<std::string>{"Wrong file: " + jpeg + "!/Brivanta"});
}

namespace {

// Marks of the head's feature points of group 0 through a known camera.
int markThrough(CFaceDoc& d, const htraf3<double>& toPhoto) {
    head3& h = *d.kernel3D->head;
    head2& marks = *d.kernel2D->head;
    CString code;
    int n = 0;
    for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
        if (!GoodInfoCode(0, code)) continue;
        Index<featurepoint3> f = h.getFeaturepoint(code, true);
        if (f == -1) continue;
        vector3<double> q = (h.featurepoints[f].point() * toPhoto).vec3();
        Index<featurepoint2> p = marks.photoPoints.add();
        marks.photoPoints[p].set_name(code, false);
        marks.photoPoints[p].position = vector2<double>(q.x, q.y);
        ++n;
    }
    return n;
}

}  // namespace

TEST_F(DocumentTest, CameraStepFindsTheCameraOfTheMarks) {
    ASSERT_TRUE(Start());
    CFaceDoc& d = Doc();
    driver.Run([&] { d.LoadTHEResource(122, true); });
    CWinBmp blank;
    blank.Create(1024, 768, 32, false);
    d.kernel2D->photo = blank;
    d.kernel2D->InitPicture();
    ProjectionCore known;
    known.setClientSize(1023, 767);
    known.setCamera({60, 20, 480}, {0, 0, 0}, {0, 1, 0}, 28.0);
    known.FitToPhoto(1024, 768, 0, 0);
    ASSERT_GT(markThrough(d, known.OpenGL2htraf() * known.cl2bmp_HTRAF3()), 20);
    d.stage = 1000;
    driver.Run([&] { d.CameraView(); });
    EXPECT_EQ(d.stage, 2000);
    CFaceView* overlay = d.GetViewEdit2D3D<CFaceView>();
    CFaceView* view3D = d.GetViewEdit3D<CFaceView>();
    ProjectionCore* a = overlay->Camera();
    ProjectionCore* b = view3D->Camera();
    EXPECT_EQ(a->eye(), b->eye());
    EXPECT_EQ(a->center(), b->center());
    EXPECT_EQ(a->up(), b->up());
    EXPECT_EQ(a->fovy(), b->fovy());
    htraf3<double> toPhoto = overlay->OpenGL2htraf() * overlay->cl2bmp_HTRAF3();
    head3& h = *d.kernel3D->head;
    head2& marks = *d.kernel2D->head;
    double sum = 0, worst = 0;
    int count = 0;
    for (int k = marks.photoPoints.first(); k != -1; k = marks.photoPoints.nextOf(k)) {
        Index<featurepoint3> f = h.getFeaturepoint(marks.photoPoints[k].name(), true);
        vector3<double> q = (h.featurepoints[f].point() * toPhoto).vec3();
        double e = (vector2<double>(q.x, q.y) - marks.photoPoints[k].position).length();
        sum += e * e;
        worst = std::max(worst, e);
        ++count;
    }
    // The search's own accuracy on exact marks of the full head.
    EXPECT_LT(std::sqrt(sum / count), 8.0);
    EXPECT_LT(worst, 25.0);
    EXPECT_EQ(Frame().layout, 1);
}

TEST_F(DocumentTest, CameraStepWithoutMarksStillReachesItsStage) {
    ASSERT_TRUE(Start());
    CFaceDoc& d = Doc();
    driver.Run([&] { d.LoadTHEResource(122, true); });
    CWinBmp blank;
    blank.Create(1024, 768, 32, false);
    d.kernel2D->photo = blank;
    d.kernel2D->InitPicture();
    const vector3<double> eye = d.GetViewEdit2D3D<CFaceView>()->Camera()->eye();
    d.stage = 1000;
    driver.Run([&] { d.CameraView(); });
    EXPECT_EQ(d.stage, 2000);
    EXPECT_EQ(d.GetViewEdit2D3D<CFaceView>()->Camera()->eye(), eye);
}

// A code with "@" pairs the head point under the code less its last three
// characters; when there is none the row makes no pair.
TEST_F(DocumentTest, CameraStepSkipsARowWhoseShortCodeIsMissing) {
    for (bool shortCodeThere : {true, false}) {
        SCOPED_TRACE(shortCodeThere);
        ASSERT_TRUE(Start());
        CFaceDoc& d = Doc();
        driver.Run([&] { d.LoadTHEResource(122, true); });
        head3& h = *d.kernel3D->head;
        Index<featurepoint3> plain = h.getFeaturepoint("top_of_the_forehead", true);
        ASSERT_NE(plain, -1);
        Index<featurepoint3> coded = h.addFeaturepoint("top_of_the_forehead_@A", true);
        static_cast<generalpoint3&>(h.featurepoints[coded]) = static_cast<const generalpoint3&>(h.featurepoints[plain]);
        h.featurepoints[coded].weight = 1;
        if (!shortCodeThere) h.featurepoints[plain].set_name("forehead_elsewhere", false);
        d.photoNumber = 1;
        d.stage = 1000;
        driver.Run([&] { d.CameraView(); });
        EXPECT_EQ(d.stage, 2000);
        EXPECT_EQ(cameraSearchTables().basic_3D_points.size(), shortCodeThere ? 1 : 0);
        Stop();
        resetModelState();
    }
}
