// The picture-preview file dialogs and the numbered bitmaps of the active
// view, in the program's own frame. References come from ImageMagick.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/ids.h"
#include "document/project_file.h"
#include "document/tempfolders.h"
#include "dialogs/dlgmakebmp.h"
#include "dialogs/previewfiledlg.h"
#include "framework/paths.h"
#include "tests/views/view_host.h"

namespace {

namespace fs = std::filesystem;
using brv::HeadlessDriver;

bool run(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

// The picture as ImageMagick decodes it: rows of 0x00RRGGBB, top down.
struct Rgb {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

Rgb magickDecode(const std::string& path) {
    Rgb out;
    FILE* p = popen(("/usr/bin/convert '" + path + "[0]' -depth 8 ppm:- 2>/dev/null").c_str(), "r");
    if (!p) return out;
    int maxval = 0;
    if (std::fscanf(p, "P6 %d %d %d", &out.width, &out.height, &maxval) != 3 || maxval != 255) {
        pclose(p);
        return Rgb{};
    }
    std::fgetc(p);
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    for (uint32_t& px : out.pixels) {
        unsigned char c[3];
        if (std::fread(c, 1, 3, p) != 3) break;
        px = (uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2];
    }
    pclose(p);
    return out;
}

CWinBmp toBmp(const Rgb& rgb) {
    CWinBmp b;
    b.Create(rgb.width, rgb.height, 32, false);
    for (int y = 0; y < rgb.height; ++y)
        for (int x = 0; x < rgb.width; ++x) {
            uint32_t v = rgb.at(x, y);
            b.SetPixel(x, y, CPixel32(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 0));
        }
    return b;
}

uint32_t rgbOf(COLORREF c) { return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c); }

int channelDistance(uint32_t a, uint32_t b) {
    int d = 0;
    for (int s : {0, 8, 16}) d = std::max(d, std::abs(int((a >> s) & 255) - int((b >> s) & 255)));
    return d;
}

std::vector<std::string> filterTexts(const brv::FileDialogSession& s) {
    std::vector<std::string> out;
    for (const auto& f : s.Filters()) {
        out.push_back(f.description);
        for (const std::string& m : f.masks) out.push_back(m);
    }
    return out;
}

}  // namespace

class PreviewFilesTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        ASSERT_TRUE(StartProgram());
        dir = fs::path(tmp_.path()) / "pictures";
        fs::create_directories(dir);
    }
    std::string file(const std::string& name) { return (dir / name).string(); }

    // The preview static's pixels, rows top down.
    static Rgb area(HWND control) {
        CRect r;
        ::GetClientRect(control, &r);
        Rgb out;
        out.width = r.Width();
        out.height = r.Height();
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) out.pixels.push_back(rgbOf(HeadlessDriver::Pixel(control, x, y)));
        return out;
    }

    // Runs the dialog; `each` is called with the area after selecting each path.
    template <class Dialog>
    std::vector<Rgb> previews(Dialog& dialog, const std::vector<std::string>& paths, Rgb* before = nullptr) {
        std::vector<Rgb> shown;
        driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
            HWND control = HeadlessDriver::FindControl(s.TemplateWindow(), 303);
            EXPECT_EQ(CWnd::FromHandlePermanent(control), &dialog.m_preview);
            if (before) *before = area(control);
            for (const std::string& p : paths) {
                s.Select(p);
                shown.push_back(area(control));
            }
            return IDCANCEL;
        });
        driver.Run([&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
        return shown;
    }

    fs::path dir;
};

TEST_F(PreviewFilesTest, FiltersFlagsAndTextsAreTheDialogsOwn) {
    struct Case {
        const char* what;
        std::function<CFileDialog*()> make;
        bool open;
        std::vector<std::string> filters;
        const char* note;
    };
    const std::vector<std::string> pict{"JPG Files (*.jpg)", "*.jpg", "BMP Files (*.bmp)", "*.bmp",
                                        "TIF Files (*.tif)", "*.tif", "PNG Files (*.png)", "*.png",
                                        "GIF Files (*.gif)", "*.gif", "PCX Files (*.pcx)", "*.pcx"};
    const Case cases[] = {
        {"photo open", [] { return new CPictPreviewFileDlg(TRUE, "jpg", nullptr, OFN_FILEMUSTEXIST, "X|*.x||"); },
         true, pict, "Cancel, if you use only Ostrelo"},
        {"photo save", [] { return new CPictPreviewFileDlg(FALSE, "jpg", nullptr, OFN_OVERWRITEPROMPT, nullptr); },
         false, pict, "Cancel, if you use only Ostrelo"},
        {"project with OBJ",
         [] { return new CImagePreviewFileDlg(TRUE, "fac", nullptr, OFN_FILEMUSTEXIST, "Y|*.y||"); }, true,
         {"FAC Files (*.fac)", "*.fac", "OBJ Files (*.obj)", "*.obj"}, ""},
        {"project", [] { return new CImagePreviewFileDlg(FALSE, "fac", nullptr, OFN_FILEMUSTEXIST, nullptr); }, true,
         {"FAC Files (*.fac)", "*.fac"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CFileDialog> dialog(c.make());
        driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
            EXPECT_EQ(s.IsOpen(), c.open);
            EXPECT_EQ(filterTexts(s), c.filters);
            const DWORD given = c.open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT;
            EXPECT_EQ(s.Flags() & (given | OFN_EXPLORER | OFN_ENABLETEMPLATE),
                      given | OFN_EXPLORER | OFN_ENABLETEMPLATE);
            EXPECT_NE(s.TemplateWindow(), nullptr);
            EXPECT_EQ(HeadlessDriver::Inspect(HeadlessDriver::FindControl(s.TemplateWindow(), 119)).text, c.note);
            return IDCANCEL;
        });
        driver.Run([&] { EXPECT_EQ(dialog->DoModal(), IDCANCEL); });
    }
}

TEST_F(PreviewFilesTest, EveryFormatIsPreviewedResizedAndCentred) {
    // A picture with structure in both directions, made once as PNG and
    // converted to each format; ImageMagick's decoding of each file is the
    // reference (GIF and PCX quantise, JPEG loses).
    ASSERT_TRUE(run("/usr/bin/convert wizard: -resize 160x120! " + file("source.png")));
    const std::vector<std::string> names{"w.jpg", "w.bmp", "w.tif", "w.png", "w.gif", "w.pcx"};
    std::vector<std::string> paths;
    for (const std::string& n : names) {
        ASSERT_TRUE(run("/usr/bin/convert " + file("source.png") + " " + file(n))) << n;
        paths.push_back(file(n));
    }
    CPictPreviewFileDlg dialog(TRUE);
    Rgb blank;
    std::vector<Rgb> shown = previews(dialog, paths, &blank);
    ASSERT_EQ(shown.size(), names.size());
    // The layout's 128 x 128 units are 192 x 208 pixels; the sunken edge
    // takes one pixel a side.
    ASSERT_EQ(blank.width, 190);
    ASSERT_EQ(blank.height, 206);
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        Rgb ref = magickDecode(paths[i]);
        ASSERT_EQ(ref.width, 160);
        CWinBmp expected = toBmp(ref);
        expected.ResizeBilinear(190, 142);
        int worst = 0, outside = 0;
        for (int y = 0; y < 206; ++y)
            for (int x = 0; x < 190; ++x) {
                const uint32_t got = shown[i].at(x, y);
                if (y >= 32 && y < 174) {
                    const CPixel32 e = expected.GetPixel(x, y - 32);
                    worst = std::max(worst, channelDistance(got, (uint32_t(e.GetR()) << 16) |
                                                                     (uint32_t(e.GetG()) << 8) | e.GetB()));
                } else if (got != blank.at(x, y)) {
                    ++outside;
                }
            }
        EXPECT_LE(worst, 2);
        EXPECT_EQ(outside, 0);
    }
}

TEST_F(PreviewFilesTest, ShapesUpperCasePngAndBrokenFiles) {
    ASSERT_TRUE(run("/usr/bin/convert -size 400x100 xc:'rgb(200,30,40)' " + file("wide.bmp")));
    ASSERT_TRUE(run("/usr/bin/convert -size 1x1000 xc:'rgb(10,220,40)' " + file("thin.bmp")));
    // Only the PNG reader reads PNG: the general decoder would fail (grey).
    ASSERT_TRUE(run("/usr/bin/convert -size 8x8 xc:'rgb(20,40,230)' PNG24:" + file("X.PNG")));
    {
        std::ofstream(file("broken.jpg"), std::ios::binary) << "\xFF\xD8\xFF\xE0 not a picture";
        std::ofstream(file("broken.png"), std::ios::binary) << "\x89PNG\r\n\x1A\n broken";
    }
    CPictPreviewFileDlg dialog(TRUE);
    Rgb blank;
    std::vector<Rgb> shown = previews(
        dialog, {file("wide.bmp"), file("thin.bmp"), file("X.PNG"), file("broken.jpg"), file("broken.png")}, &blank);
    ASSERT_EQ(shown.size(), 5u);
    // 400 x 100 -> 190 x 47, rows 79 to 125.
    for (int y : {78, 79, 125, 126})
        EXPECT_EQ(shown[0].at(95, y), y >= 79 && y < 126 ? 0xC81E28u : blank.at(95, y)) << y;
    // 1 x 1000 -> 1 x 206 at column 94.
    for (int x : {93, 94, 95}) EXPECT_EQ(shown[1].at(x, 100), x == 94 ? 0x0ADC28u : blank.at(x, 100)) << x;
    EXPECT_EQ(shown[2].at(95, 103), 0x1428E6u);
    // Undecodable: one grey pixel over the square (190 x 190, rows 8 to 197).
    for (int k : {3, 4}) {
        EXPECT_EQ(shown[size_t(k)].at(95, 103), 0x808080u) << k;
        EXPECT_EQ(shown[size_t(k)].at(0, 8), 0x808080u) << k;
        EXPECT_EQ(shown[size_t(k)].at(0, 7), blank.at(0, 7)) << k;
    }
    EXPECT_EQ(CPictPreviewFileDlg::FittedSize(CSize(400, 100), CSize(100, 100)), CSize(100, 25));
    EXPECT_EQ(CPictPreviewFileDlg::FittedSize(CSize(1, 1000), CSize(192, 208)), CSize(1, 208));
    EXPECT_EQ(CPictPreviewFileDlg::FittedSize(CSize(1000, 1), CSize(192, 208)), CSize(192, 1));
}

TEST_F(PreviewFilesTest, ProjectPreviewIsTheStoredPictureUnscaled) {
    // A project as the writer makes it, its preview a coded 150 x 106 picture.
    const std::string project = file("p.fac");
    {
        files::ProjectRecord r;
        r.templateId = 121;
        r.preview = viewtest::CodedPicture(150, 106);
        std::string bytes, why;
        ASSERT_TRUE(files::WriteProject(r, files::ProjectWriteInputs{}, bytes, why)) << why;
        std::ofstream(project, std::ios::binary) << bytes;
    }
    CWinBmp stored;
    ASSERT_TRUE(files::GetFileMainInfo(project, stored));
    ASSERT_EQ(stored.GetWidth(), 150);
    {
        std::ifstream in(project, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(file("bad.fac"), std::ios::binary) << bytes.substr(0, 40);
    }
    CImagePreviewFileDlg dialog(TRUE);
    Rgb blank;
    std::vector<Rgb> shown = previews(dialog, {file("bad.fac"), project, file("bad.fac")}, &blank);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].pixels, blank.pixels);
    const int x0 = (190 - stored.GetWidth()) / 2, y0 = (206 - stored.GetHeight()) / 2;
    int wrong = 0;
    for (int y = 0; y < 206; ++y)
        for (int x = 0; x < 190; ++x) {
            const bool inside = x >= x0 && x < x0 + stored.GetWidth() && y >= y0 && y < y0 + stored.GetHeight();
            uint32_t want = blank.at(x, y);
            if (inside) {
                const CPixel32 p = stored.GetPixel(x - x0, y - y0);
                want = (uint32_t(p.GetR()) << 16) | (uint32_t(p.GetG()) << 8) | p.GetB();
            }
            wrong += shown[1].at(x, y) != want;
        }
    EXPECT_EQ(wrong, 0);
    // A bad file afterwards leaves the preview as it was.
    EXPECT_EQ(shown[2].pixels, shown[1].pixels);
}

// ---------------------------------------------------------------- numbered bitmaps

TEST_F(PreviewFilesTest, NumberedBitmapsAreTheActiveViewsRenders) {
    ASSERT_TRUE(TemplateScene());
    ShowAlone(View3D(), 301, 200);
    driver.Pump();
    const std::string folder = files::TempFolderPosix();
    EXPECT_EQ(folder, tmp_.path() + "/fmtmp");
    // A file of an earlier series is overwritten.
    std::ofstream(folder + "/kv000.bmp") << "old";
    std::vector<std::string> counters, names;
    CDlgMakeBmp dialog(&Frame(), &Doc());
    driver.OnNextModal([&](HWND w) {
        HWND next = HeadlessDriver::FindControl(w, 1);
        counters.push_back(HeadlessDriver::Inspect(HeadlessDriver::FindControl(w, 1141)).text);
        for (int i = 0; i < 3; ++i) {
            driver.ClickControl(next);
            counters.push_back(HeadlessDriver::Inspect(HeadlessDriver::FindControl(w, 1141)).text);
            names.push_back(HeadlessDriver::Inspect(HeadlessDriver::FindControl(w, 1142)).text);
        }
        driver.ClickControl(HeadlessDriver::FindControl(w, 2));
    });
    int result = 0;
    driver.Run([&] { result = dialog.DoModal(); });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(counters, (std::vector<std::string>{"0", "0", "1", "2"}));
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2], files::TempFolderPosix() + "/kv002.bmp");  // shown as a POSIX path
    EXPECT_EQ(dialog.m_counter, 3);

    // The reference: the 3D view's own render at the rounded-up size.
    CRect client;
    View3D().GetClientRect(&client);
    CWinBmp render;
    render.Create(client.Width() - client.Width() % 4 + 4, client.Height() - client.Height() % 4 + 4, 32, false);
    driver.Run([&] { ASSERT_TRUE(View3D().MakeWinBmp(render)); });
    for (int k = 0; k < 3; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "kv%03d.bmp", k);
        SCOPED_TRACE(name);
        Rgb written = magickDecode(folder + "/" + name);
        ASSERT_EQ(written.width, render.GetWidth());
        ASSERT_EQ(written.height, render.GetHeight());
        int wrong = 0;
        for (int y = 0; y < written.height; ++y)
            for (int x = 0; x < written.width; ++x) {
                const CPixel32 p = render.GetPixel(x, y);
                wrong += written.at(x, y) != ((uint32_t(p.GetR()) << 16) | (uint32_t(p.GetG()) << 8) | p.GetB());
            }
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_FALSE(fs::exists(folder + "/kv003.bmp"));

    // A new dialog starts at 000 again.
    fs::remove(folder + "/kv000.bmp");
    CDlgMakeBmp again(&Frame(), &Doc());
    std::string shownName;
    driver.OnNextModal([&](HWND w) {
        shownName = HeadlessDriver::Inspect(HeadlessDriver::FindControl(w, 1142)).text;
        driver.ClickControl(HeadlessDriver::FindControl(w, 1));
        driver.Key(VK_ESCAPE);
    });
    driver.Run([&] { result = again.DoModal(); });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(shownName, files::TempFolderPosix() + "/kv000.bmp");
    EXPECT_TRUE(fs::exists(folder + "/kv000.bmp"));
}
