// File dialogs: filters and their index, the extension, name, must-exist
// and overwrite rules, the preview layout with its subclassed static and a
// preview per scripted selection, cancel, POSIX paths and the folder a
// dialog starts in.
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "framework/clipboard.h"
#include "window_support.h"

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class FileDialogTest : public WindowingTest {
 protected:
  TempDir dir;
};

TEST_F(FileDialogTest, PhotoFiltersAndTheOpenRules) {
  WriteFile(dir / "face.JPG", "x");
  CFileDialog dialog(TRUE, "*.jpg", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                     "JPEG f\xC3\xA1jlok (*.jpg)|*.jpg|TIFF f\xC3\xA1jlok (*.tif)|*.tif|BMP f\xC3\xA1jlok (*.bmp)|*.bmp|"
                     "GIF f\xC3\xA1jlok (*.gif)|*.gif|PNG f\xC3\xA1jlok (*.png)|*.png|PCX f\xC3\xA1jlok (*.pcx)|*.pcx||");
  std::vector<std::string> descriptions, masks;
  driver.AnswerNextMessageBox(IDOK);  // "File not found."
  driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
    for (const auto& f : s.Filters()) descriptions.push_back(f.description), masks.push_back(f.masks.at(0));
    EXPECT_TRUE(s.IsOpen());
    EXPECT_EQ(s.FilterIndex(), 1);
    EXPECT_EQ(s.Title(), "Open");
    EXPECT_TRUE(s.Matches("Photo.JPG"));
    EXPECT_FALSE(s.Matches("photo.png"));
    EXPECT_FALSE(s.Accept(dir / "missing.jpg"));
    EXPECT_FALSE(s.Accept(dir / "face"));  // becomes face.jpg, which is missing too (names are exact)
    return s.Accept(dir / "face.JPG") ? IDOK : IDCANCEL;
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  std::vector<std::string> want = {"JPEG f\xC3\xA1jlok (*.jpg)", "TIFF f\xC3\xA1jlok (*.tif)", "BMP f\xC3\xA1jlok (*.bmp)",
                                   "GIF f\xC3\xA1jlok (*.gif)",  "PNG f\xC3\xA1jlok (*.png)",  "PCX f\xC3\xA1jlok (*.pcx)"};
  EXPECT_EQ(descriptions, want);
  EXPECT_EQ(masks, (std::vector<std::string>{"*.jpg", "*.tif", "*.bmp", "*.gif", "*.png", "*.pcx"}));
  EXPECT_EQ(std::string(dialog.GetPathName().View()), dir / "face.JPG");
  EXPECT_EQ(dialog.GetPathName().Find('\\'), -1);
  EXPECT_EQ(dialog.GetFileName(), "face.JPG");
  EXPECT_EQ(dialog.GetFileExt(), "JPG");
  EXPECT_EQ(dialog.GetFileTitle(), "face");
  EXPECT_EQ(dialog.m_ofn.nFilterIndex, 1u);
  auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "missing.jpg\nFile not found.\nPlease verify the correct file name was given.");
  // The file functions take it as it is.
  EXPECT_EQ(brv::PosixPath(dialog.GetPathName().View()), dir / "face.JPG");
}

TEST_F(FileDialogTest, HeadExportFilterIndexExtensionAndOverwrite) {
  const char* filter = "THE (*.the)|*.the|Quorin OBJ (*.obj)|*.obj|DAZ-Poser OBJ (*.obj)|*.obj|Mirrored OBJ (*.obj)|*.obj|"
                       "PHS (*.phs)|*.phs||";
  struct Case {
    int filter;
    std::string typed;
    std::string result;  // file name
  };
  const Case cases[] = {
      {3, "head", "head.obj"},      {1, "head", "head.the"},       {5, "head", "head.phs"},
      {1, "head.obj", "head.obj"},  {2, "model.v2", "model.v2"},   {5, "dot.", "dot.phs"},
  };
  for (const Case& c : cases) {
    CFileDialog dialog(FALSE, "*.the", "Untitled.the", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter);
    dialog.m_ofn.nFilterIndex = 1;
    driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
      s.SetFilterIndex(c.filter);
      return s.Accept(dir / c.typed) ? IDOK : IDCANCEL;
    });
    ASSERT_EQ(dialog.DoModal(), IDOK) << c.typed;
    EXPECT_EQ(dialog.GetFileName(), c.result.c_str()) << c.typed;
    EXPECT_EQ(dialog.m_ofn.nFilterIndex, static_cast<DWORD>(c.filter)) << c.typed;
  }
  // An existing file asks first; No keeps the dialog, Yes takes it.
  WriteFile(dir / "old.obj", "x");
  CFileDialog save(FALSE, "*.obj", nullptr, OFN_OVERWRITEPROMPT, filter);
  driver.AnswerNextMessageBox(IDNO);
  driver.AnswerNextMessageBox(IDYES);
  driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
    s.SetFilterIndex(2);
    EXPECT_FALSE(s.Accept(dir / "old"));
    EXPECT_TRUE(s.Accept(dir / "old"));
    return IDOK;
  });
  ASSERT_EQ(save.DoModal(), IDOK);
  auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "old.obj already exists.\nDo you want to replace it?");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
  EXPECT_EQ(boxes[0].caption, "Save As");
}

TEST_F(FileDialogTest, AllFilesNamesWithBackslashCancelAndExtensionOfTheNameOnly) {
  CFileDialog open(TRUE, "*.fac", nullptr, OFN_FILEMUSTEXIST, "Dremolix f\xC3\xA1jlok (*.fac)|*.fac|Minden f\xC3\xA1jl (*.*)|*.*||");
  open.m_ofn.nFilterIndex = 2;
  // A path beyond 1024 bytes, in folders of 100-character names.
  std::string longName;
  for (int i = 0; i < 11; ++i) {
    longName += std::string(100, static_cast<char>('a' + i));
    std::filesystem::create_directory(dir / longName);
    longName += "/";
  }
  longName += "project";
  WriteFile(dir / (longName + ".fac"), "x");
  ASSERT_GT((dir / longName).size(), 1024u);
  WriteFile(dir / "a\\b.fac", "x");
  driver.AnswerNextMessageBox(IDOK);
  driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
    EXPECT_EQ(s.FilterIndex(), 2);
    EXPECT_TRUE(s.Matches("anything.xyz"));
    EXPECT_TRUE(s.Matches("noextension"));
    EXPECT_FALSE(s.Accept(dir / "a\\b.fac"));  // refused: the name holds '\'
    return s.Accept(dir / longName) ? IDOK : IDCANCEL;  // "*.*": the default extension
  });
  ASSERT_EQ(open.DoModal(), IDOK);
  EXPECT_EQ(std::string(open.GetPathName().View()), (dir / (longName + ".fac")));  // no 1024-byte limit
  EXPECT_EQ(std::string(open.m_ofn.lpstrFile), (dir / (longName + ".fac")).substr(0, open.m_ofn.nMaxFile - 1));
  auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "a\\b.fac\nThe file name is not valid.");

  CFileDialog cancelled(TRUE, "*.fac", nullptr, 0, "FAC (*.fac)|*.fac||");
  driver.OnNextFileDialog([](brv::FileDialogSession& s) {
    s.Select("/somewhere/x.fac");
    return IDCANCEL;
  });
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(cancelled.GetPathName(), "");

  // The extension is the file name's, not the folder's.
  CFileDialog folders(TRUE, nullptr, nullptr, 0, "All (*.*)|*.*||");
  WriteFile(dir / "noext", "x");
  std::filesystem::create_directory(dir / "v2.d");
  WriteFile(dir / "v2.d/plain", "x");
  driver.OnNextFileDialog([&](brv::FileDialogSession& s) { return s.Accept(dir / "v2.d/plain") ? IDOK : IDCANCEL; });
  ASSERT_EQ(folders.DoModal(), IDOK);
  EXPECT_EQ(folders.GetFileExt(), "");
  EXPECT_EQ(folders.GetFileTitle(), "plain");
}

// ---------------------------------------------------------------- preview

// A preview static that draws the selected BMP file scaled into itself.
class Preview : public CStatic {
 public:
  void Show(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RedrawWindow();
    if (bytes.size() < 14) return;
    brv::Surface picture;
    if (!brv::DecodePackedDib(reinterpret_cast<const uint8_t*>(bytes.data()) + 14, bytes.size() - 14, &picture)) return;
    CRect area;
    GetClientRect(&area);
    int w = area.Width(), h = area.Height();
    if (picture.Width() > picture.Height())
      h = area.Height() * picture.Height() / picture.Width();
    else
      w = area.Width() * picture.Width() / picture.Height();
    CClientDC dc(this);
    std::vector<uint32_t> aligned((bytes.size() - 14 + 3) / 4);
    std::memcpy(aligned.data(), bytes.data() + 14, bytes.size() - 14);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(aligned.data());
    dc.StretchDIBits((area.Width() - w) / 2, (area.Height() - h) / 2, w, h, 0, 0, picture.Width(), picture.Height(),
                     aligned.data() + 10, info, DIB_RGB_COLORS, SRCCOPY);
  }
};

class PreviewDialog : public CFileDialog {
 public:
  PreviewDialog() : CFileDialog(TRUE, "*.bmp", nullptr, OFN_FILEMUSTEXIST, "BMP Files (*.bmp)|*.bmp||") {
    m_ofn.Flags |= OFN_ENABLETEMPLATE;
    m_ofn.lpTemplateName = MAKEINTRESOURCE(301);
  }
  Preview preview;
  std::vector<std::string> seen;
  BOOL OnInitDialog() override {
    CFileDialog::OnInitDialog();
    SetDlgItemText(119, "Cancel, if you use only Ostrelo");
    preview.SubclassDlgItem(303, this);
    return TRUE;
  }
  void OnFileNameChange() override {
    CString path = GetPathName();
    seen.push_back(std::string(path.View()));
    preview.Show(brv::PosixPath(path.View()));
  }
};

TEST_F(FileDialogTest, PreviewLayoutDrawsEachScriptedSelection) {
  LayoutFile("DIALOG", 301, "preview_301.txt");
  WriteFile(dir / "wide.bmp", BmpFile(40, 10, [](int, int) { return 0x00FF0000u; }));
  WriteFile(dir / "tall.bmp", BmpFile(10, 40, [](int, int) { return 0x0000FF00u; }));
  PreviewDialog dialog;
  std::vector<COLORREF> centre, corner;
  driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
    HWND area = driver.FindControl(s.TemplateWindow(), 303);
    EXPECT_EQ(CWnd::FromHandlePermanent(area), &dialog.preview);
    EXPECT_EQ(brv::HeadlessDriver::Inspect(driver.FindControl(s.TemplateWindow(), 119)).text,
              "Cancel, if you use only Ostrelo");
    CRect r;
    dialog.preview.GetClientRect(&r);
    for (const char* name : {"wide.bmp", "tall.bmp"}) {
      s.Select(dir / name);
      centre.push_back(driver.Pixel(area, r.Width() / 2, r.Height() / 2));
      corner.push_back(driver.Pixel(area, 1, 1));
    }
    return s.Accept(dir / "tall.bmp") ? IDOK : IDCANCEL;
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.seen, (std::vector<std::string>{(dir / "wide.bmp"), (dir / "tall.bmp")}));
  EXPECT_EQ(centre, (std::vector<COLORREF>{RGB(255, 0, 0), RGB(0, 255, 0)}));
  // Wide: full width, centred vertically (the corner is the empty area);
  // tall: full height, centred horizontally.
  EXPECT_EQ(corner, (std::vector<COLORREF>{RGB(212, 208, 200), RGB(212, 208, 200)}));
  EXPECT_EQ(dialog.preview.m_hWnd, nullptr);
  EXPECT_EQ(std::string(dialog.GetPathName().View()), (dir / "tall.bmp"));
}

}  // namespace

// A custom title captions every later run of the dialog; an empty one gives
// the default back.
TEST_F(FileDialogTest, CustomTitleCaptionsTheNextDialogs) {
  WriteFile(dir / "a.obj", "x");
  CFileDialog dialog(FALSE, "*.obj", nullptr, OFN_HIDEREADONLY, "OBJ (*.obj)|*.obj||");
  std::vector<std::string> titles, captions;
  auto script = [&](brv::FileDialogSession& s) {
    titles.push_back(s.Title());
    captions.push_back(driver.Inspect(s.Window()).text);
    return IDCANCEL;
  };
  std::string title = "Export \xC3\xA1 head";
  dialog.SetCustomTitle(title.c_str());
  title = "changed";  // the dialog keeps its own copy
  for (int i = 0; i < 2; ++i) {
    driver.OnNextFileDialog(script);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  }
  dialog.SetCustomTitle("");
  driver.OnNextFileDialog(script);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  std::vector<std::string> want = {"Export \xC3\xA1 head", "Export \xC3\xA1 head", "Save As"};
  EXPECT_EQ(titles, want);
  EXPECT_EQ(captions, want);
}

// A dialog without a folder of its own starts where the last one chose a
// file; a cancelled or refused choice leaves that place alone.
TEST_F(FileDialogTest, DialogsStartInTheLastFolderUsed) {
  std::filesystem::create_directory(dir / "photos");
  std::filesystem::create_directory(dir / "projects");
  WriteFile(dir / "photos/face.jpg", "x");
  std::vector<std::string> folders;
  auto run = [&](BOOL open, const char* name, const std::string& accept) {
    CFileDialog dialog(open, "*.jpg", name, open ? OFN_FILEMUSTEXIST : 0, "All (*.*)|*.*||");
    driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
      folders.push_back(s.InitialFolder());
      return !accept.empty() && s.Accept(accept) ? IDOK : IDCANCEL;
    });
    return dialog.DoModal();
  };
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(run(TRUE, nullptr, ""), IDCANCEL);
  EXPECT_EQ(run(TRUE, nullptr, dir / "photos/face.jpg"), IDOK);
  EXPECT_EQ(run(FALSE, nullptr, ""), IDCANCEL);
  driver.AnswerNextMessageBox(IDOK);  // "File not found."
  EXPECT_EQ(run(TRUE, nullptr, dir / "projects/missing.jpg"), IDCANCEL);
  EXPECT_EQ(run(FALSE, "untitled.fac", "face.fac"), IDOK);  // relative: in the folder shown
  const std::string named = dir / "projects/anna.fac";
  EXPECT_EQ(run(FALSE, named.c_str(), named), IDOK);  // a folder in the name wins
  EXPECT_EQ(run(TRUE, nullptr, ""), IDCANCEL);
  EXPECT_EQ(folders, (std::vector<std::string>{cwd, cwd, dir / "photos", dir / "photos", dir / "photos",
                                               dir / "projects", dir / "projects"}));
}
