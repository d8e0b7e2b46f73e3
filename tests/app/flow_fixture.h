#pragma once
// The work flow driven as a user drives it: the program in the test's
// process over the headless backend with its real views and pages; a photo
// made by ImageMagick whose marks are the projections of the template
// head's named points through a known camera.

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "document/ids.h"
#include "dialogs/dlgcrop.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlgfeatures3.h"
#include "dialogs/dlgprogress.h"
#include "tests/views/view_host.h"

// The known camera of the flow's photos: turned a little, far enough for
// the whole head.
inline ProjectionCore FlowCamera(int w, int h) {
    vector3<double> eye, center, up;
    CalculateEyeFromAngles({0, 0, 640}, {0, 0, 0}, {0, 1, 0}, -6 * M_PI / 180, 12 * M_PI / 180, 0, &eye, &center,
                           &up);
    return pipeline::Run::cameraOver(w, h, eye, center, up, 28.0);
}

// The shared progress window, each opening written down.
struct RecordingProgress : CDlgProgress {
    using CDlgProgress::CDlgProgress;
    std::vector<std::pair<std::string, int>> opened;
    int Open(int low, int high, const std::string& caption, bool stop) override {
        opened.emplace_back(caption, high - low);
        return CDlgProgress::Open(low, high, caption, stop);
    }
};

class FlowTest : public ViewsTest {
protected:
    // The application's progress window replaced by a recording one.
    RecordingProgress* RecordProgress() {
        auto* p = new RecordingProgress(&Frame());
        delete App().progressDialog;
        App().progressDialog = p;
        return p;
    }

    // The photo file ImageMagick writes (w x h, JPEG).
    std::string MakePhoto(int w = 1200, int h = 1600, const std::string& builtin = "logo:") {
        const std::string path = tmp_.path() + "/photo.jpg";
        const std::string command = "/usr/bin/convert " + builtin + " -resize " + std::to_string(w) + "x" +
                                    std::to_string(h) + "! -quality 92 " + path + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) return "";
        return path;
    }

    HWND Page(int layout) { return brv::HeadlessDriver::FindDialog(layout); }
    HWND Control(HWND page, int id) { return brv::HeadlessDriver::FindControl(page, id); }
    void ClickId(HWND page, int id) { driver.ClickControl(Control(page, id)); }

    // The start page as a user fills it: a crop drag (frame coordinates),
    // figure, name, texture choice (radio id), the "Pro" box; then Next.
    struct StartChoices {
        CRect crop{0, 0, 0, 0};
        int figure = 1096;
        std::string name = "anna";
        int texture = 1153;
        bool pro = true;
        int button = IDOK;
    };
    void FillStartPage(HWND d, const StartChoices& c) {
        auto* page = dynamic_cast<CDlgCrop*>(CWnd::FromHandle(d));
        if (page && !c.crop.IsRectEmpty()) {
            const CPoint o = page->FrameOrigin();
            driver.Drag(d, CPoint(o.x + c.crop.left, o.y + c.crop.top), CPoint(o.x + c.crop.right, o.y + c.crop.bottom));
        }
        if (c.figure) ClickId(d, c.figure);
        HWND edit = Control(d, 1114);
        if (edit && brv::HeadlessDriver::Inspect(edit).visible) {
            driver.ClickControl(edit);
            driver.Key(VK_END);
            for (int k = 0; k < 40; ++k) driver.Key(VK_BACK);
            driver.Type(c.name);
        }
        if (c.texture) ClickId(d, c.texture);
        if (c.pro != (brv::HeadlessDriver::Inspect(Control(d, 1115)).check != 0)) ClickId(d, 1115);
        if (c.button) ClickId(d, c.button);
    }

    // The photo through the photo command: its dialog answers the path,
    // the start page is filled as given.
    bool LoadPhoto(const std::string& path, const StartChoices& c) {
        return LoadPhotoWith(path, [this, c](HWND d) { FillStartPage(d, c); });
    }
    // The same with the start page driven by the script; the command's
    // command id (the photo command, or the refinement's new photo).
    bool LoadPhotoWith(const std::string& path, std::function<void(HWND)> startPage, UINT command = ID_IMPORT_PIC) {
        driver.OnNextFileDialog([path](brv::FileDialogSession& s) { return s.Accept(path) ? IDOK : IDCANCEL; });
        driver.OnNextModal(std::move(startPage));
        driver.Run([&] { Frame().SendMessage(WM_COMMAND, command, 0); });
        driver.Pump();
        return Doc().stage == 1000;
    }

    // Drags every photo point the page placed by itself onto its mark (the
    // Select tool picks the nearest point); the number moved.
    int DragPointsToMarks(const std::map<std::string, vector2<double>>& marks) {
        head2& m = *Doc().kernel2D->head;
        int moved = 0;
        for (int k = m.photoPoints.first(); k != -1; k = m.photoPoints.nextOf(k)) {
            auto it = marks.find(m.photoPoints[k].name());
            if (it == marks.end()) continue;
            const CPoint from = ClientOf(m.photoPoints[k].position), to = ClientOf(it->second);
            if (std::abs(from.x - to.x) + std::abs(from.y - to.y) < 2) continue;
            driver.Drag(Orig2D().m_hWnd, from, to, 6);
            ++moved;
        }
        return moved;
    }

    // The photo pixels of a head line: n points spread along its line
    // points through the known camera (none when the head has no such line).
    std::vector<vector2<double>> LineMarks(const CString& code, int n) {
        std::vector<vector2<double>> out;
        CFaceDoc& d = Doc();
        head3& head = *d.kernel3D->head;
        head.set_actual();
        const Index<featureline3> l = head.getFeatureline(code, true);
        if (l == -1) return out;
        std::vector<vector3<double>> points;
        featureline3& line = head.featurelines[l];
        for (int q = line.first(); q != -1; q = line.nextOf(q)) points.push_back(line[q].point());
        if (points.size() < 2) return out;
        const ProjectionCore known = Camera(d.kernel2D->photo.GetWidth(), d.kernel2D->photo.GetHeight());
        const htraf3<double> toPhoto = known.OpenGL2htraf() * known.cl2bmp_HTRAF3();
        for (int i = 0; i < n; ++i) {
            const size_t at = size_t(std::lround(double(i) * double(points.size() - 1) / double(n - 1)));
            const vector3<double> q = (points[at] * toPhoto).vec3();
            out.emplace_back(q.x, q.y);
        }
        return out;
    }

    static ProjectionCore Camera(int w, int h) { return FlowCamera(w, h); }

    // The marks: the head's named points through the known camera, in
    // working-photo pixels.
    std::map<std::string, vector2<double>> Marks() {
        CFaceDoc& d = Doc();
        return MarksThrough(Camera(d.kernel2D->photo.GetWidth(), d.kernel2D->photo.GetHeight()));
    }
    // The same through another camera laid over the working photo.
    std::map<std::string, vector2<double>> MarksThrough(const ProjectionCore& known) {
        std::map<std::string, vector2<double>> marks;
        CFaceDoc& d = Doc();
        const htraf3<double> toPhoto = known.OpenGL2htraf() * known.cl2bmp_HTRAF3();
        head3& head = *d.kernel3D->head;
        head.set_actual();
        for (int k = head.featurepoints.first(); k != -1; k = head.featurepoints.nextOf(k)) {
            const vector3<double> q = (head.featurepoints[k].point() * toPhoto).vec3();
            marks[head.featurepoints[k].name()] = vector2<double>(q.x, q.y);
        }
        return marks;
    }

    // A working-photo pixel as a client point of the photo-with-marks view.
    CPoint ClientOf(const vector2<double>& p) {
        const vector2<double> c = Orig2D().map.toClient(p);
        return CPoint(int(std::lround(c.x)), int(std::lround(c.y)));
    }

    // Clicks every point the point page asks at its mark; the number of
    // points asked.
    int PlaceAskedPoints(const std::map<std::string, vector2<double>>& marks) {
        int asked = 0;
        for (int guard = 0; guard < 50 && Frame().tool == 0 && Frame().toolMode == 2; ++guard) {
            CString code;
            if (!GetFeaturePointInfo(Orig2D().currentRow, &code)) break;
            auto it = marks.find(std::string(code.View()));
            if (it == marks.end()) break;
            driver.Click(Orig2D().m_hWnd, ClientOf(it->second));
            ++asked;
        }
        return asked;
    }
};
