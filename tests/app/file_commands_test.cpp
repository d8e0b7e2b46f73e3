// The frame's file and export commands: their dialogs, which reader or
// writer a choice reaches and what the document holds afterwards.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "document/ids.h"
#include "tests/document/document_fixture.h"
#include "framework/filedialog.h"
#include "shell_fixture.h"
#include "tests/support/file_bytes.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> boxes(brv::HeadlessBackend& b) {
    std::vector<std::string> out;
    for (const auto& e : b.EventsOf(brv::HeadlessBackend::Event::kMessageBox)) out.push_back(e.text + "/" + e.caption);
    return out;
}

// The pixels of a picture file as ImageMagick reads them: "w h" and RGB rows.
std::string magickRgb(const std::string& path) {
    std::string out;
    FILE* p = ::popen(("convert '" + path + "' -format '%w %h\\n' -write info:- -depth 8 rgb:-").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

const char* kFigure =
    "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nv 0 0 1\nvt 0 0.25\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "g head\nusemtl skinface\nf 1/1 2/2 3/3 4/4\nf 1/1 2/2 5/3\n";

}  // namespace

class FileCommandsTest : public ShellTest {
protected:
    // The program without its start-up photo dialog.
    bool start() {
        if (!Start()) return false;
        driver.Run([&] { Frame().KillTimer(kStartTimer); });
        return true;
    }
    std::string dir() { return tmp_.path(); }
    // The next file dialog: its filters and proposed name are kept, the
    // filter chosen and the name accepted (empty: Cancel).
    void answer(int filterIndex, const std::string& path) {
        driver.OnNextFileDialog([this, filterIndex, path](brv::FileDialogSession& s) {
            seen.clear();
            for (const auto& f : s.Filters()) seen.push_back(f.description + "|" + f.masks.at(0));
            proposed = s.InitialName();
            extension = s.DefaultExtension();
            if (path.empty()) return IDCANCEL;
            s.SetFilterIndex(filterIndex);
            return s.Accept(path) ? IDOK : IDCANCEL;
        });
    }
    void run(void (CMainFrame::*command)()) {
        driver.Run([&] { (Frame().*command)(); });
    }
    std::vector<std::string> seen;
    std::string proposed, extension;
};

TEST_F(FileCommandsTest, HeadExportTakesTheWriterFromTheExtensionAndTheFilter) {
    ASSERT_TRUE(start());
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 4); });
    Doc().headName = (dir() + "/face").c_str();
    struct Case {
        int filter;
        const char* name;
        const char* startsWith;  // of the file written ("" none)
        const char* holds;
    } cases[] = {
        {1, "a.the", "\n3 1 0", "of::Vertex"},  // the binary stream's line break first
        {5, "a.phs", "2 8 12 4 4\n", "      0 "},
        {2, "q.obj", "# This file was created by Tervanik's Brivanta program", "mtllib q.mtl"},
        {3, "d.obj", "# This file was created by Tervanik's Brivanta program", "# Source geometry: Untitled.obj"},
        {4, "m.obj", "# This file was created by Tervanik's Brivanta program", "mtllib m.mtl"},
        {5, "p.obj", "# This file was created by Tervanik's Ostrelo program", "\nf "},
        {1, "t.obj", "", ""},  // the THE filter with an OBJ name: variant 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        driver.Backend().Reset();
        Doc().headName = (dir() + "/face").c_str();
        answer(c.filter, dir() + "/" + c.name);
        run(&CMainFrame::OnFileSaveTHE);
        EXPECT_EQ(proposed, "face.the");
        EXPECT_EQ(seen, (std::vector<std::string>{"THE (*.the)|*.the", "Quorin OBJ (*.obj)|*.obj",
                                                  "DAZ-Poser OBJ (*.obj)|*.obj", "Mirrored OBJ (*.obj)|*.obj",
                                                  "PHS (*.phs)|*.phs"}));
        const std::string written = testsupport::fileBytes(dir() + "/" + c.name);
        if (*c.startsWith) {
            EXPECT_EQ(written.rfind(c.startsWith, 0), 0u) << written.substr(0, 200);
            EXPECT_NE(written.find(c.holds), std::string::npos);
            EXPECT_TRUE(boxes(driver.Backend()).empty());
        } else {
            EXPECT_FALSE(fs::exists(dir() + "/" + c.name));
            ASSERT_EQ(boxes(driver.Backend()).size(), 1u);
        }
    }
    // Variant 1 writes the mirrored coordinates' twin, variant 3 "vn" before "vt".
    const std::string q = testsupport::fileBytes(dir() + "/q.obj"), m = testsupport::fileBytes(dir() + "/m.obj");
    EXPECT_LT(q.find("\nvt "), q.find("\nvn "));
    EXPECT_LT(m.find("\nvn "), m.find("\nvt "));
    // Any other extension writes nothing and says why.
    driver.Backend().Reset();
    answer(1, dir() + "/x.xyz");
    run(&CMainFrame::OnFileSaveTHE);
    EXPECT_FALSE(fs::exists(dir() + "/x.xyz"));
    EXPECT_EQ(boxes(driver.Backend()),
              std::vector<std::string>{"Cannot save " + dir() + "/x.xyz!\nno head format for the extension \".xyz\"/Error"});
}

TEST_F(FileCommandsTest, ProjectSaveProposesTheNameBeforeItsUnderscore) {
    ASSERT_TRUE(start());
    driver.Run([&] { MakeProject(Doc(), 1000, 121, 512); });
    Doc().projectName = (dir() + "/face_2").c_str();
    answer(1, dir() + "/saved.fac");
    run(&CMainFrame::OnFileSaveFAC);
    EXPECT_EQ(proposed, "face");
    EXPECT_EQ(extension, "*.fac");
    EXPECT_EQ(seen, (std::vector<std::string>{"Dremolix (*.fac)|*.fac", "All file (*.*)|*.*"}));
    EXPECT_EQ(testsupport::fileBytes(dir() + "/saved.fac").substr(0, 14), "    3.530 1000");
    EXPECT_EQ(Doc().projectName, CString((dir() + "/saved").c_str()));
    // After a head OBJ import the save writes variant 4.
    App().objHeadImported = 1;
    answer(1, dir() + "/head.obj");
    run(&CMainFrame::OnFileSaveFAC);
    EXPECT_EQ(proposed, "saved");
    EXPECT_EQ(extension, "*.obj");
    EXPECT_EQ(seen, (std::vector<std::string>{"OBJ (*.obj)|*.obj"}));
    EXPECT_NE(testsupport::fileBytes(dir() + "/head.obj").find("Ostrelo"), std::string::npos);
    // Cancel: nothing.
    const std::string before = DumpDocument(Doc());
    answer(1, "");
    run(&CMainFrame::OnFileSaveFAC);
    EXPECT_EQ(DumpDocument(Doc()), before);
}

TEST_F(FileCommandsTest, OpenTakesProjectsAndHeadsByTheirExtension) {
    ASSERT_TRUE(start());
    driver.Run([&] { MakeProject(Doc(), 1000, 121, 512); });
    const std::string fac = dir() + "/proj.fac", the = dir() + "/head.the", obj = dir() + "/fig.obj";
    driver.Run([&] {
        Doc().SaveFACFile(fac.c_str(), "b", false);
        Doc().SaveTHEFile(the.c_str(), "t");
    });
    std::ofstream(obj) << kFigure;
    driver.Run([&] { Doc().FreeMemoryForNewFAC(); });

    answer(1, fac);
    run(&CMainFrame::OnFileOpenFAC);
    // The project dialog with preview keeps its own filters.
    EXPECT_EQ(seen, (std::vector<std::string>{"FAC Files (*.fac)|*.fac", "OBJ Files (*.obj)|*.obj"}));
    EXPECT_EQ(extension, "*.fac");
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_EQ(Doc().projectName, CString((dir() + "/proj").c_str()));
    EXPECT_EQ(std::string(Doc().uniqueName.View()).substr(std::string(Doc().uniqueName.View()).find('_')), "_proj");

    for (const std::string& head : {the, obj}) {
        SCOPED_TRACE(head);
        Doc().stage = 1000;
        Doc().templateId = 121;
        answer(2, head);
        run(&CMainFrame::OnFileOpenFAC);
        EXPECT_EQ(Doc().stage, 0);
        EXPECT_EQ(Doc().templateId, 100);
        EXPECT_EQ(Doc().headName, CString(fs::path(head).replace_extension().string().c_str()));
        EXPECT_EQ(Frame().ActiveFaceView(), Doc().GetViewEdit3D<CFaceView>());
    }
    EXPECT_EQ(Doc().kernel3D->head->vertices.count(), 5);
    // A file of no known kind changes nothing.
    std::ofstream(dir() + "/x.txt") << kFigure;
    driver.Backend().Reset();
    Doc().stage = 1000;
    const std::string before = DumpDocument(Doc());
    answer(2, dir() + "/x.txt");
    run(&CMainFrame::OnFileOpenFAC);
    EXPECT_EQ(DumpDocument(Doc()), before);
    EXPECT_EQ(boxes(driver.Backend()),
              std::vector<std::string>{"Wrong file: " + dir() + "/x.txt!\nno head reader for \".txt\"/Error"});

    // The head import: the same readers; the head becomes a prepared template.
    Doc().stage = 1000;
    answer(1, the);
    run(&CMainFrame::OnImportTHE);
    EXPECT_EQ(seen, (std::vector<std::string>{"THE (*.the)|*.the", "OBJ (*.obj)|*.obj", "PHS (*.phs)|*.phs"}));
    EXPECT_EQ(Doc().stage, 0);
    EXPECT_EQ(Doc().templateId, 100);
    EXPECT_EQ(Doc().headExtension, ".the");

    // A recent file opens like a project.
    ASSERT_EQ(std::string(App().GetRecentFileName(0).View()), fac);
    driver.Run([&] { Frame().OnMruFile(ID_FILE_MRU_FILE1); });
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_EQ(Doc().templateId, 121);
}

TEST_F(FileCommandsTest, PhotoImportOkCancelAndTheHeadInstead) {
    ASSERT_TRUE(start());
    std::string bmp = files::BmpBytes(filestest::FilesTest::picture(300, 200));
    std::ofstream(dir() + "/face.bmp", std::ios::binary) << bmp;
    answer(2, dir() + "/face.bmp");
    // The start page after the photo: Next.
    driver.OnNextModal([this](HWND d) { driver.ClickControl(brv::HeadlessDriver::FindControl(d, IDOK)); });
    run(&CMainFrame::OnImportPic);
    // The picture dialog with preview keeps its own filters.
    EXPECT_EQ(seen, (std::vector<std::string>{"JPG Files (*.jpg)|*.jpg", "BMP Files (*.bmp)|*.bmp",
                                              "TIF Files (*.tif)|*.tif", "PNG Files (*.png)|*.png",
                                              "GIF Files (*.gif)|*.gif", "PCX Files (*.pcx)|*.pcx"}));
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_EQ(Doc().kernel2D->FileBytes().size(), bmp.size());
    // A file that is no picture: the project stays as it was.
    std::ofstream(dir() + "/bad.jpg") << "no picture";
    const std::string kept = DumpDocument(Doc());
    answer(1, dir() + "/bad.jpg");
    run(&CMainFrame::OnImportPic);
    EXPECT_EQ(DumpDocument(Doc()), kept);
    EXPECT_EQ(Doc().stage, 1000);

    // The head dialog cancelled too, or a head that cannot be read: nothing
    // was imported, so the next save still writes the project.
    std::ofstream(dir() + "/bad.obj") << "no head\n";
    for (const std::string& head : {std::string(), dir() + "/bad.obj"}) {
        SCOPED_TRACE(head);
        answer(1, "");
        answer(1, head);
        run(&CMainFrame::OnImportPic);
        EXPECT_EQ(App().objHeadImported, 0);
        EXPECT_EQ(svc::app().state().headImport, 0);
        EXPECT_EQ(Doc().stage, 1000);
        answer(1, dir() + "/after.fac");
        run(&CMainFrame::OnFileSaveFAC);
        EXPECT_EQ(extension, "*.fac");
        EXPECT_EQ(testsupport::fileBytes(dir() + "/after.fac").substr(0, 14), "    3.530 1000");
        fs::remove(dir() + "/after.fac");
    }

    // Cancel on the first photo: a head OBJ instead, its v flipped per corner.
    std::ofstream(dir() + "/fig.obj") << kFigure;
    std::vector<double> read;
    driver.Run([&] { Doc().LoadXXXFile((dir() + "/fig.obj").c_str(), true); });
    {
        head3& h = *Doc().kernel3D->head;
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
            for (const auto& uv : h.triangles[t].texture) read.push_back(uv.y);
    }
    answer(1, "");
    answer(1, dir() + "/fig.obj");
    run(&CMainFrame::OnImportPic);
    EXPECT_EQ(seen, (std::vector<std::string>{"Head OBJ (*.obj)|*.obj"}));
    EXPECT_EQ(App().objHeadImported, 1);
    // The head table serves the point page, the views and the age page.
    EXPECT_EQ(svc::app().state().headImport, 1);
    EXPECT_EQ(Doc().stage, 2000);
    head3& h = *Doc().kernel3D->head;
    std::vector<double> flipped;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        for (const auto& uv : h.triangles[t].texture) flipped.push_back(1.0 - uv.y);
    EXPECT_EQ(flipped, read);
    auto* v3 = Doc().GetViewEdit3D<svc::ViewEdit3D>();
    EXPECT_EQ(v3->displayMode, svc::ViewEdit3D::kTextured);
    EXPECT_EQ(Frame().ActiveFaceView(), Doc().GetViewEdit3D<CFaceView>());
    EXPECT_EQ(Frame().layout, 1);

    // Cancel during a refinement: the project as it was, the model page again.
    ASSERT_EQ(Frame().OpenStepPages().model, 0u);
    Doc().photoNumber = 1;
    Doc().refineMode = 2;
    Frame().refining = 1;
    Doc().stage = 2000;
    answer(1, "");
    run(&CMainFrame::OnImportPic);
    EXPECT_EQ(App().objHeadImported, 0);
    EXPECT_EQ(svc::app().state().headImport, 0);
    EXPECT_EQ(Doc().photoNumber, 0);
    EXPECT_EQ(Doc().refineMode, 0);
    EXPECT_EQ(Frame().refining, 0);
    EXPECT_EQ(Doc().stage, 2500);
    EXPECT_NE(Frame().OpenStepPages().model, 0u);
}

TEST_F(FileCommandsTest, PhotoAndTextureExportsByImageMagick) {
    ASSERT_TRUE(start());
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 16); });
    const TextureImage& t = *Doc().kernel3D->head->texture;
    Doc().projectName = (dir() + "/face_1").c_str();
    struct Case {
        int filter;
        int w, h;
    } cases[] = {{1, 240, 200}, {2, 220, 185}, {3, 220, 220}, {4, 16, 8}, {5, 16, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        const std::string path = dir() + "/e" + std::to_string(c.filter) + ".bmp";
        answer(c.filter, path);
        run(&CMainFrame::OnExportPhoto);
        EXPECT_EQ(proposed, "face_1");
        ASSERT_EQ(seen.size(), 6u);
        std::string rgb = magickRgb(path);
        const std::string head = std::to_string(c.w) + " " + std::to_string(c.h) + "\n";
        ASSERT_EQ(rgb.substr(0, head.size()), head) << rgb.substr(0, 40);
        rgb.erase(0, head.size());
        ASSERT_EQ(rgb.size(), std::size_t(c.w) * c.h * 3);
        if (c.filter >= 4) {
            // 4: the first half of the rows bottom-up; 5: the texture as it is.
            for (int y = 0; y < c.h; ++y) {
                const int row = c.filter == 4 ? c.h - 1 - y : y;
                ASSERT_EQ(rgb.substr(std::size_t(y) * c.w * 3, std::size_t(c.w) * 3),
                          std::string(reinterpret_cast<const char*>(&t.rgb[std::size_t(row) * 16 * 3]), 16 * 3))
                    << y;
            }
        }
    }
    // No reduced texture, or no texture at all: a beep and no file.
    driver.Backend().Reset();
    answer(6, dir() + "/e6.bmp");
    run(&CMainFrame::OnExportPhoto);
    EXPECT_FALSE(fs::exists(dir() + "/e6.bmp"));
    Doc().kernel3D->head->texture.reset();
    answer(4, dir() + "/e4b.bmp");
    run(&CMainFrame::OnExportPhoto);
    EXPECT_FALSE(fs::exists(dir() + "/e4b.bmp"));
    EXPECT_EQ(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size(), 2u);
    EXPECT_TRUE(boxes(driver.Backend()).empty());
}

TEST_F(FileCommandsTest, TheExpertMenuIsBuiltOnceAndGoesWithAWrongPassword) {
    ASSERT_TRUE(start());
    auto login = [&](const char* password) {
        driver.OnNextModal([this, password](HWND d) {
            ::SetWindowText(brv::HeadlessDriver::FindControl(d, 1069), password);
            driver.ClickControl(brv::HeadlessDriver::FindControl(d, IDOK));
        });
        driver.Run([&] { Frame().OnSuperMenu(); });
    };
    auto plusMenus = [&] {
        int n = 0;
        for (const brv::MenuItemInfo& m : driver.MenuItems(FrameWnd()))
            if (m.text == "+") ++n;
        return n;
    };
    login("62917035");
    login("62917035");
    EXPECT_EQ(plusMenus(), 1);
    int plus = -1, i = 0;
    for (const brv::MenuItemInfo& m : driver.MenuItems(FrameWnd())) {
        if (m.text == "+") plus = i;
        ++i;
    }
    std::string items;
    for (const brv::MenuItemInfo& m : driver.MenuItems(FrameWnd(), {plus}))
        items += m.text.empty() ? "-;" : m.text + ";";
    EXPECT_EQ(items,
              "1 View;2 View;4 View;-;Select;Draw;-;Head import;Head preparing;Head export;-;Open FAC;Save FAC;"
              "Save OBJ;Photo export;GIF;-;Start;Statistic;");
    login("wrong");
    EXPECT_EQ(plusMenus(), 0);
    login("62917035");
    EXPECT_EQ(plusMenus(), 1);
}

namespace {

std::string windowText(HWND w) {
    CString text;
    CWnd::FromHandle(w)->GetWindowText(text);
    return std::string(text.View());
}

}  // namespace

TEST_F(FileCommandsTest, DialogsProposeTheDocumentsName) {
    ASSERT_TRUE(start());
    driver.Run([&] { MakeProject(Doc(), 1000, 121, 512); });
    const std::string p2 = dir() + "/p2.fac";
    driver.Run([&] { ASSERT_TRUE(Doc().SaveFACFile(p2.c_str(), "b", false)); });
    answer(1, p2);
    run(&CMainFrame::OnFileOpenFAC);
    ASSERT_EQ(Doc().projectName, CString((dir() + "/p2").c_str()));

    // A new photo makes a new project, named after the photo.
    std::ofstream(dir() + "/front101.bmp", std::ios::binary) << files::BmpBytes(filestest::FilesTest::picture(300, 200));
    answer(1, dir() + "/front101.bmp");
    driver.OnNextModal([this](HWND d) { driver.ClickControl(brv::HeadlessDriver::FindControl(d, IDOK)); });
    run(&CMainFrame::OnImportPic);
    ASSERT_EQ(Doc().stage, 1000);
    struct Case {
        const char* what;
        void (CMainFrame::*command)();
        int filter;
        const char* proposed;
    } cases[] = {
        {"project save", &CMainFrame::OnFileSaveFAC, 1, "front101"},
        {"photo export", &CMainFrame::OnExportPhoto, 1, "front101"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        answer(c.filter, "");
        run(c.command);
        EXPECT_EQ(proposed, c.proposed);
    }

    // Saved as: the window's title and the next proposal take the new name.
    const std::string saved = dir() + "/second_2.fac";
    answer(1, saved);
    run(&CMainFrame::OnFileSaveFAC);
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_EQ(windowText(FrameWnd()).find(saved), 0u) << windowText(FrameWnd());
    answer(1, "");
    run(&CMainFrame::OnFileSaveFAC);
    EXPECT_EQ(proposed, "second");
    // A save that fails renames nothing.
    const std::string before = windowText(FrameWnd());
    answer(1, dir() + "/no/such/folder/x.fac");
    run(&CMainFrame::OnFileSaveFAC);
    EXPECT_EQ(windowText(FrameWnd()), before);
    EXPECT_EQ(Doc().projectName, CString((dir() + "/second_2").c_str()));
}

TEST_F(FileCommandsTest, TheModelPagesExportProposesTheDocumentsName) {
    ASSERT_TRUE(start());
    driver.Run([&] {
        MakeProject(Doc(), 2500, 121, 16);
        Doc().projectName = "Untitled";
        Doc().SetTitle("front101");
        Frame().ShowModelPage();
    });
    HWND page = brv::HeadlessDriver::FindDialog(IDD_MODEL);
    ASSERT_NE(page, nullptr);
    answer(1, "");
    driver.ClickControl(brv::HeadlessDriver::FindControl(page, 1122));
    EXPECT_EQ(proposed, "front101");
    EXPECT_EQ(extension, "*.obj");
    // The project's own name once it has one.
    Doc().projectName = (dir() + "/anna.x").c_str();
    answer(1, "");
    driver.ClickControl(brv::HeadlessDriver::FindControl(page, 1122));
    EXPECT_EQ(proposed, "anna");
    EXPECT_NE(brv::HeadlessDriver::FindDialog(IDD_MODEL), nullptr);
}

TEST_F(FileCommandsTest, AProjectThatDoesNotReadNamesNothing) {
    const std::string missing = dir() + "/missing.fac";
    ASSERT_TRUE(Start({"--full", missing}));
    const CString name = Doc().projectName, unique = Doc().uniqueName, title = Doc().GetTitle();
    driver.AdvanceClock(400);
    driver.Pump();
    EXPECT_EQ(boxes(driver.Backend()).size(), 1u);
    EXPECT_EQ(Doc().projectName, name);
    EXPECT_EQ(Doc().uniqueName, unique);
    EXPECT_EQ(Doc().GetTitle(), title);
    EXPECT_EQ(Doc().stage, 0);
}

TEST_F(FileCommandsTest, ACancelledOrFailedOpenKeepsTheModelPage) {
    ASSERT_TRUE(start());
    driver.Run([&] {
        MakeProject(Doc(), 2500, 121, 16);
        Frame().ShowModelPage();
    });
    ASSERT_NE(brv::HeadlessDriver::FindDialog(IDD_MODEL), nullptr);
    const std::string kept = DumpDocument(Doc());
    std::ofstream(dir() + "/bad.fac") << "    3.530 2500 no project";
    std::ofstream(dir() + "/bad.obj") << "no head\n";
    struct Case {
        const char* what;
        std::string path;  // "" Cancel
        std::size_t boxes;
    } cases[] = {{"cancelled", "", 0}, {"a project that does not read", dir() + "/bad.fac", 1},
                 {"a head that does not read", dir() + "/bad.obj", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        driver.Backend().Reset();
        answer(c.path.empty() ? 1 : 2, c.path);
        run(&CMainFrame::OnFileOpenFAC);
        EXPECT_NE(brv::HeadlessDriver::FindDialog(IDD_MODEL), nullptr);
        EXPECT_NE(Frame().modelDialog, nullptr);
        EXPECT_EQ(DumpDocument(Doc()), kept);
        EXPECT_EQ(boxes(driver.Backend()).size(), c.boxes);
    }
}

TEST_F(FileCommandsTest, NewClosesTheStepPages) {
    ASSERT_TRUE(start());
    struct Case {
        const char* what;
        std::function<void()> command;
    } cases[] = {
        {"Ctrl+N", [this] { driver.Key('N', MK_CONTROL); }},
        {"File > New", [this] { ASSERT_TRUE(driver.ChooseMenu(FrameWnd(), ID_FILE_NEW)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        driver.Run([&] {
            MakeProject(Doc(), 2500, 121, 16);
            Doc().projectName = (dir() + "/anna").c_str();
            Doc().SetTitle((dir() + "/anna.fac").c_str());
            Frame().ShowModelPage();
        });
        ASSERT_NE(brv::HeadlessDriver::FindDialog(IDD_MODEL), nullptr);
        c.command();
        driver.Pump();
        EXPECT_EQ(Doc().stage, 0);
        EXPECT_EQ(Doc().ProposedName(), CString("Untitled"));
        EXPECT_EQ(windowText(FrameWnd()).find("anna"), std::string::npos) << windowText(FrameWnd());
        EXPECT_EQ(brv::HeadlessDriver::FindDialog(IDD_MODEL), nullptr);
        EXPECT_EQ(Frame().modelDialog, nullptr);
    }
}
