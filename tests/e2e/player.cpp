#include "tests/e2e/player.h"

#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <array>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "document/ids.h"
#include "app/mainframe.h"
#include "dialogs/dlgprogress.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/head.h"
#include "framework/filedialog.h"
#include "framework/settings.h"
#include "model/featuretables.h"
#include "seams/app.h"
#include "document/project_file.h"
#include "tests/support/project_dump.h"
#include "tests/e2e/fixtures.h"
#include "tests/support/fresh_process.h"
#include "views/faceview.h"
#include "views/gl_view_core.h"
#include "views/viewedit3d.h"
#include "tests/support/file_bytes.h"

namespace e2e {

namespace fs = std::filesystem;

namespace {

// Words split at blanks; "a b" is one word.
std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out;
    std::string w;
    bool quoted = false, any = false;
    for (char ch : line) {
        if (ch == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (ch == ' ' || ch == '\t' || ch == '\r')) {
            if (any) out.push_back(w);
            w.clear();
            any = false;
        } else {
            w += ch;
            any = true;
        }
    }
    if (any) out.push_back(w);
    return out;
}

bool isBefore(const std::string& w) { return w == "clipboard" || w == "setting" || w == "copy"; }
// Lines that only prepare the next action (they run with it, in its step).
bool isPrepare(const std::string& w) {
    return w == "answer" || w == "file" || w == "modal" || w == "photo" || w == "figure";
}
bool isAfter(const Line& l) {
    if (l.words[0] != "expect" || l.words.size() < 2) return false;
    const std::string& k = l.words[1];
    return k == "exit" || k == "file" || k == "nofile" || k == "same" || k == "obj" || k == "bmp" || k == "box" ||
           k == "samedump" || k == "objclose" || k == "objnear" || k == "objgroups" || k == "xnear" ||
           k == "samepixels" || k == "pixelsnear" || k == "varied";
}

const std::map<std::string, UINT>& commandNames() {
    static const std::map<std::string, UINT> names = {
        {"ID_FILE_NEW", ID_FILE_NEW},
        {"ID_APP_EXIT", ID_APP_EXIT},
        {"ID_UNDO", ID_UNDO},
        {"ID_REDO", ID_REDO},
        {"ID_START_WORK", ID_START_WORK},
        {"ID_IMPORT_PIC", ID_IMPORT_PIC},
        {"ID_IMPORT_THE", ID_IMPORT_THE},
        {"ID_FILE_SAVE_THE", ID_FILE_SAVE_THE},
        {"ID_FILE_OPEN_FAC", ID_FILE_OPEN_FAC},
        {"ID_FILE_SAVE_FAC", ID_FILE_SAVE_FAC},
        {"ID_MODIFY_PIC", ID_MODIFY_PIC},
        {"ID_NOTES", ID_NOTES},
        {"ID_VIEWS1", ID_VIEWS1},
        {"ID_VIEWS2", ID_VIEWS2},
        {"ID_VIEWS4B", ID_VIEWS4B},
        {"ID_FIT_ZOOM", ID_FIT_ZOOM},
        {"ID_PHOTO_MODE", ID_PHOTO_MODE},
        {"ID_CAMERA_MODE", ID_CAMERA_MODE},
        {"ID_MEDAL_MODE", ID_MEDAL_MODE},
        {"ID_BACK_PICTURE", ID_BACK_PICTURE},
        {"ID_PROPERTIES", ID_PROPERTIES},
        {"ID_EXPORT_PHOTO", ID_EXPORT_PHOTO},
        {"ID_SAVE_OBJ", ID_SAVE_OBJ},
        {"ID_SUPER_MENU", ID_SUPER_MENU},
        {"ID_PICT_FROM_OTHER", ID_PICT_FROM_OTHER},
        {"ID_PICT_FROM_TEMP", ID_PICT_FROM_TEMP},
    };
    return names;
}

bool number(const std::string& w, long* out) {
    char* end = nullptr;
    long v = std::strtol(w.c_str(), &end, 0);
    if (w.empty() || *end) return false;
    *out = v;
    return true;
}

UINT keyCode(const std::string& name) {
    static const std::map<std::string, UINT> keys = {
        {"RETURN", 0x0D}, {"ESCAPE", 0x1B}, {"TAB", 0x09},   {"SPACE", 0x20}, {"DELETE", 0x2E},
        {"BACK", 0x08},   {"F12", 0x7B},    {"LEFT", 0x25},   {"UP", 0x26},    {"RIGHT", 0x27}, {"DOWN", 0x28},
        {"PRIOR", 0x21},  {"NEXT", 0x22},   {"HOME", 0x24},  {"END", 0x23},   {"F1", 0x70},
    };
    auto it = keys.find(name);
    if (it != keys.end()) return it->second;
    if (name.size() == 1) return UINT(std::toupper(static_cast<unsigned char>(name[0])));
    long v = 0;
    return number(name, &v) ? UINT(v) : 0;
}

int answerCode(const std::string& w) {
    if (w == "yes") return IDYES;
    if (w == "no") return IDNO;
    if (w == "ok") return IDOK;
    if (w == "cancel") return IDCANCEL;
    long v = 0;
    return number(w, &v) ? int(v) : 0;
}

std::string expand(const std::string& s, const Folders& f) {
    std::string out = s;
    const std::pair<const char*, const std::string*> vars[] = {
        {"$TMP", &f.tmp}, {"$CONFIG", &f.config}, {"$PROGRAM", &f.program},
        {"$FIX", &f.fixtures}, {"$OUT", &f.out}, {"$DAZ", &f.daz}};
    for (const auto& [name, value] : vars)
        for (size_t at; (at = out.find(name)) != std::string::npos;) out.replace(at, std::strlen(name), *value);
    return out;
}

Line expandLine(const Line& l, const Folders& f) {
    Line out = l;
    out.rest = expand(l.rest, f);
    for (std::string& w : out.words) w = expand(w, f);
    return out;
}

std::string str(const CString& s) { return std::string(s.View()); }

std::map<std::string, Hook>& hooks() {
    static std::map<std::string, Hook> all;
    return all;
}

std::string pictureSize(const std::string& path);

// ---------------------------------------------------------------- the child

class ChildPlayer {
public:
    ChildPlayer(const fresh::Child& c, const Folders& f, int* failures) : c_(c), f_(f), failures_(failures) {}

    void fail(const Line& l, const std::string& what) {
        c_.Put("fail." + std::to_string((*failures_)++), "line " + std::to_string(l.number) + ": " + what);
    }

    // One line as program input; dialog: the modal dialog a block runs in.
    void run(const Line& l, HWND dialog = nullptr) {
        const std::vector<std::string>& w = l.words;
        const std::string& verb = w[0];
        CFaceApp* app = FaceApp();
        CMainFrame* frame = app ? app->Frame() : nullptr;
        HWND frameWnd = frame ? frame->m_hWnd : nullptr;
        auto view = [&](const std::string& name) -> CFaceView* {
            CFaceView* v = actdoc ? dynamic_cast<CFaceView*>(actdoc->GetView(name.c_str())) : nullptr;
            if (!v || !v->m_hWnd) fail(l, "no view " + name);
            return v && v->m_hWnd ? v : nullptr;
        };
        auto at = [&](CFaceView* v, double x, double y) {
            vector2<double> p = v->PictureToClient({x, y});
            return CPoint(int(std::lround(p.x)), int(std::lround(p.y)));
        };
        auto control = [&](size_t first) -> HWND {
            HWND parent = dialog;
            size_t k = first;
            if (!dialog) {
                if (w.size() <= k) return fail(l, "dialog missing"), nullptr;
                long id = 0;
                if (w[k] == "frame")
                    parent = frameWnd;
                else if (number(w[k], &id))
                    parent = brv::HeadlessDriver::FindDialog(int(id));
                if (!parent) return fail(l, "no dialog " + w[k]), nullptr;
                ++k;
            }
            long id = 0;
            if (w.size() <= k || !number(w[k], &id)) return fail(l, "control missing"), nullptr;
            HWND h = brv::HeadlessDriver::FindControl(parent, int(id));
            if (!h) fail(l, "no control " + w[k]);
            return h;
        };
        const size_t next = dialog ? 2 : 3;  // the first word after DIALOG CONTROL (or CONTROL)
        if (verb == "answer") {
            c_.driver.AnswerNextMessageBox(answerCode(w.at(1)));
        } else if (verb == "file") {
            // "file PATH filter N": the N-th filter chosen first.
            std::string path = l.rest;
            int filter = 0;
            if (w.size() >= 4 && w[w.size() - 2] == "filter") {
                filter = std::atoi(w.back().c_str());
                path = path.substr(0, path.rfind(" filter "));
            }
            c_.driver.OnNextFileDialog([this, l, path, filter](brv::FileDialogSession& s) {
                if (path == "cancel") return IDCANCEL;
                if (filter) s.SetFilterIndex(filter);
                if (s.Accept(path)) return IDOK;
                fail(l, "the file dialog \"" + s.Title() + "\" refused " + path);
                return IDCANCEL;
            });
        } else if (verb == "modal") {
            std::vector<Line> block = l.block;
            c_.driver.OnNextModal([this, block](HWND d) {
                for (const Line& inner : block) run(inner, d);
            });
        } else if (verb == "photo") {
            marks_ = ReadMarks(f_.fixtures + "/" + w.at(1) + ".marks");
            if (marks_.empty()) fail(l, "no marks of " + w.at(1));
        } else if (verb == "figure") {
            // "name vertex" lines: where the figure's feature points lie.
            headPoints_.clear();
            std::ifstream in(f_.fixtures + "/" + w.at(1) + ".points");
            std::string name;
            int vertex = 0;
            while (in >> name >> vertex) headPoints_[name] = vertex;
            if (headPoints_.empty()) fail(l, "no points of the figure " + w[1]);
        } else if (verb == "markhead") {
            auto* v3 = actdoc ? actdoc->GetViewEdit3D<CViewEdit3D>() : nullptr;
            if (!v3 || !v3->Core() || !actdoc->kernel3D->head) return fail(l, "no 3D view");
            CString code;
            // The asked row: the view's current row, or the pending one of an imported head.
            const int row = v3->currentRow >= 0 ? v3->currentRow : v3->pendingCode;
            std::string name = w.size() > 1 ? w[1] : GetFeaturePointInfo(row, &code) ? str(code) : "";
            auto it = headPoints_.find(name);
            if (it == headPoints_.end()) return fail(l, "no head point \"" + name + "\"");
            head3& h = *actdoc->kernel3D->head;
            int k = 0, at = h.vertices.first();
            while (at != -1 && k < it->second) at = h.vertices.nextOf(at), ++k;
            if (at == -1) return fail(l, "the head has no vertex " + std::to_string(it->second));
            vector3<double> win;
            const ProjectionCore& core = v3->Core()->core();
            if (!core.project(h.vertices[at].position, &win)) return fail(l, "not projected");
            c_.driver.Click(v3->m_hWnd, CPoint(int(std::lround(win.x)), int(std::lround(core.clientHeight() - win.y))));
        } else if (verb == "menu") {
            long id = 0;
            auto it = commandNames().find(w.at(1));
            if (it != commandNames().end()) id = it->second;
            else if (!number(w[1], &id)) return fail(l, "unknown command " + w[1]);
            if (!frameWnd || !c_.driver.ChooseMenu(frameWnd, UINT(id))) fail(l, "menu item missing or disabled");
        } else if (verb == "button") {
            if (HWND h = control(1)) c_.driver.ClickControl(h);
        } else if (verb == "slider") {
            long pos = 0;
            if (w.size() <= next || !number(w[next], &pos)) return fail(l, "slider position missing");
            if (HWND h = control(1)) c_.driver.DragSlider(h, int(pos));
        } else if (verb == "clickin" || verb == "dragin") {
            HWND h = control(1);
            std::vector<int> v;
            for (size_t k = next; k < w.size(); ++k) v.push_back(std::atoi(w[k].c_str()));
            if (!h) return;
            if (verb == "clickin" && v.size() == 2) c_.driver.Click(h, CPoint(v[0], v[1]));
            else if (verb == "dragin" && v.size() == 4) c_.driver.Drag(h, CPoint(v[0], v[1]), CPoint(v[2], v[3]));
            else fail(l, "coordinates");
        } else if (verb == "key") {
            UINT mods = 0;
            for (size_t k = 2; k < w.size(); ++k) mods |= w[k] == "shift" ? MK_SHIFT : w[k] == "ctrl" ? MK_CONTROL : 0;
            UINT code = keyCode(w.at(1));
            if (!code) return fail(l, "unknown key " + w[1]);
            c_.driver.Key(code, mods);
        } else if (verb == "type") {
            c_.driver.Type(l.rest);
        } else if (verb == "click" || verb == "drag") {
            std::vector<double> v;
            for (size_t k = 2; k < w.size(); ++k) v.push_back(std::atof(w[k].c_str()));
            CFaceView* target = view(w.at(1));
            if (!target) return;
            if (verb == "click" && v.size() == 2) c_.driver.Click(target->m_hWnd, at(target, v[0], v[1]));
            else if (verb == "drag" && v.size() == 4)
                c_.driver.Drag(target->m_hWnd, at(target, v[0], v[1]), at(target, v[2], v[3]));
            else fail(l, "coordinates");
        } else if (verb == "mark") {
            std::string name = w.size() > 1 ? w[1] : askedPoint();
            auto it = marks_.find(name);
            if (it == marks_.end()) return fail(l, "no mark \"" + name + "\"");
            CFaceView* target = view(w.size() > 2 ? w[2] : "ViewOrig2D");
            if (target) c_.driver.Click(target->m_hWnd, at(target, it->second.x, it->second.y));
        } else if (verb == "dragmarks") {
            // Each point the page placed dragged onto its mark; one the
            // fixture does not mark (hidden from its camera) deleted.
            CFaceView* target = view("ViewOrig2D");
            head2* m = actdoc ? actdoc->kernel2D->head : nullptr;
            if (!target || !m) return;
            std::string last;
            for (int guard = 0; guard < 200; ++guard) {
                int k = m->photoPoints.first();
                // On its mark: nearer than a drag can still move it.
                for (; k != -1; k = m->photoPoints.nextOf(k)) {
                    auto it = marks_.find(m->photoPoints[k].name());
                    if (it == marks_.end()) break;
                    const CPoint p = at(target, m->photoPoints[k].position.x, m->photoPoints[k].position.y),
                                 q = at(target, it->second.x, it->second.y);
                    if (std::abs(p.x - q.x) + std::abs(p.y - q.y) > 2) break;
                }
                if (k == -1) return;
                last = m->photoPoints[k].name();
                const vector2<double> from = m->photoPoints[k].position;
                auto it = marks_.find(m->photoPoints[k].name());
                if (it == marks_.end()) {
                    c_.driver.Click(target->m_hWnd, at(target, from.x, from.y));
                    c_.driver.Key(VK_DELETE);
                } else {
                    c_.driver.Drag(target->m_hWnd, at(target, from.x, from.y), at(target, it->second.x, it->second.y), 6);
                }
            }
            fail(l, "the point \"" + last + "\" does not reach its mark");
        } else if (verb == "call") {
            auto it = hooks().find(w.at(1));
            if (it == hooks().end()) return fail(l, "no hook " + w[1]);
            it->second(f_, [&](const std::string& e) { fail(l, e); });
        } else if (verb == "close") {
            if (frameWnd) c_.driver.CloseBox(frameWnd);
        } else if (verb == "advance") {
            long ms = 0;
            number(w.at(1), &ms);
            c_.driver.AdvanceClock(uint64_t(ms));
        } else if (verb == "expect") {
            expect(l, dialog);
        } else if (verb == "shot") {
            // The screenshots are the xvfb player's.
        } else {
            fail(l, "unknown step " + verb);
        }
    }

private:
    // The point table's row that the working-photo view places next.
    std::string askedPoint() {
        CFaceView* v = actdoc ? actdoc->GetViewOrig2D<CFaceView>() : nullptr;
        CString code;
        if (!v || !GetFeaturePointInfo(v->currentRow, &code)) return "";
        return str(code);
    }

    void expect(const Line& l, HWND) {
        const std::vector<std::string>& w = l.words;
        if (w.size() < 3) return fail(l, "expect what?");
        const std::string& what = w[1];
        CFaceApp* app = FaceApp();
        CMainFrame* frame = app ? app->Frame() : nullptr;
        std::string seen;
        if (what == "stage") seen = actdoc ? std::to_string(actdoc->stage) : "none";
        else if (what == "template") seen = actdoc ? std::to_string(actdoc->templateId) : "none";
        else if (what == "layout") seen = frame ? std::to_string(frame->layout) : "none";
        else if (what == "mode") seen = app ? std::to_string(app->pictureEditorMode) : "none";
        else if (what == "photo")
            seen = actdoc ? std::to_string(actdoc->kernel2D->photo.GetWidth()) + "x" +
                                std::to_string(actdoc->kernel2D->photo.GetHeight())
                          : "none";
        else if (what == "daz") seen = app ? std::to_string(app->dazMode) : "none";
        else if (what == "view") {
            CFaceView* v = frame ? frame->ActiveFaceView() : nullptr;
            seen = v ? str(v->viewName) : "none";
        } else if (what == "dialog") {
            long id = 0;
            number(w[2], &id);
            seen = brv::HeadlessDriver::FindDialog(int(id)) ? "open" : "gone";
            if (w.size() < 4 || seen != w[3]) fail(l, "dialog " + w[2] + " is " + seen);
            return;
        } else if (what == "slider") {
            // expect slider DIALOG CONTROL POS: the thumb's position as shown.
            long id = 0, control = 0;
            HWND d = number(w[2], &id) ? brv::HeadlessDriver::FindDialog(int(id)) : nullptr;
            HWND h = d && w.size() >= 5 && number(w[3], &control) ? brv::HeadlessDriver::FindControl(d, int(control))
                                                                    : nullptr;
            if (!h) return fail(l, "no slider " + l.rest);
            seen = std::to_string(brv::HeadlessDriver::Inspect(h).pos);
            if (seen != w[4]) fail(l, "slider " + w[3] + " is at " + seen + ", not " + w[4]);
            return;
        } else if (what == "viewbmp") {
            // expect viewbmp VIEW PATH: the picture ImageMagick reads is the
            // view's rendering: its client size, each side w - w mod 4 + 4.
            CFaceView* v = actdoc ? dynamic_cast<CFaceView*>(actdoc->GetView(w[2].c_str())) : nullptr;
            if (!v || !v->m_hWnd || w.size() < 4) return fail(l, "no view " + w[2]);
            CRect client;
            v->GetClientRect(&client);
            seen = pictureSize(w[3]);
            auto up = [](int n) { return std::to_string(n - n % 4 + 4); };
            const std::string wanted = up(client.Width()) + " " + up(client.Height());
            if (seen != wanted) fail(l, w[3] + " is \"" + seen + "\", the view " + wanted);
            return;
        } else if (what == "onphoto" || what == "sameplace") {
            // onphoto VIEW TOL: the view shows the head's eye and mouth corners
            // on their marks; sameplace VIEW1 VIEW2 TOL: the two views show the
            // head's eye corners, nose tip and mouth corners at one place of
            // the photo; TOL in distances of the outer eye corners.
            const bool same = what == "sameplace";
            if (w.size() < (same ? 5u : 4u) || !actdoc) return fail(l, "expect " + l.rest + "?");
            CFaceView* a = dynamic_cast<CFaceView*>(actdoc->GetView(w[2].c_str()));
            CFaceView* b = same ? dynamic_cast<CFaceView*>(actdoc->GetView(w[3].c_str())) : nullptr;
            const double tol = std::atof(w[same ? 4 : 3].c_str());
            if (!a || !a->Core() || (same && (!b || !b->Core()))) return fail(l, "no GL view " + l.rest);
            // A hidden pane shows no photo to lie on (sameplace compares the
            // maps alone).
            if (!same && !brv::IsReallyVisible(a->m_hWnd)) return fail(l, str(a->viewName) + " is not shown");
            head3& h = *actdoc->kernel3D->head;
            head2& photo = *actdoc->kernel2D->head;
            h.set_actual();
            static const char* const names[] = {"left_corner_of_the_left_eye", "right_corner_of_the_right_eye",
                                                "right_corner_of_the_left_eye", "left_corner_of_the_right_eye",
                                                "left_corner_of_the_mouth",    "right_corner_of_the_mouth",
                                                "tip_of_the_nose"};
            auto onPhoto = [](CFaceView* v, const vector3<double>& p) {
                const vector3<double> c = (p * v->Core()->OpenGL2htraf()).vec3();
                return v->Core()->core().cl2bmp_lintraf11().traf(c.x, c.y);
            };
            std::vector<vector2<double>> marks, inA, inB;
            for (const char* name : names) {
                const Index<featurepoint3> f = h.getFeaturepoint(CString(name), true);
                const Index<featurepoint2> p = photo.photoPoints.get(name);
                if (f == -1 || p == -1) return fail(l, std::string("no point ") + name);
                marks.push_back(photo.photoPoints[p].position);
                inA.push_back(onPhoto(a, h.featurepoints[f].point()));
                if (same) inB.push_back(onPhoto(b, h.featurepoints[f].point()));
            }
            const double eyes = dist(marks[0], marks[1]);
            for (size_t k = 0; k < marks.size(); ++k) {
                if (!same && k == 6) break;  // the nose tip is where the fit leaves it
                const double off = dist(inA[k], same ? inB[k] : marks[k]) / eyes;
                if (!(off <= tol))
                    fail(l, std::string(names[k]) + " " + std::to_string(off) + " eye distances off (" + l.rest + ")");
            }
            return;
        } else if (what == "menus") {
            for (const brv::MenuItemInfo& m : c_.driver.MenuItems(frame->m_hWnd)) seen += (seen.empty() ? "" : ",") + m.text;
        } else {
            return fail(l, "unknown expectation " + what);
        }
        if (seen != w[2]) fail(l, what + " is " + seen + ", not " + w[2]);
    }

    fresh::Child c_;  // the driver and the report, the same through the run
    const Folders& f_;
    int* failures_;
    std::map<std::string, Mark> marks_;
    std::map<std::string, int> headPoints_;
};

// Every message box so far, each text in brackets.
void putBoxes(fresh::Child& c) {
    std::string boxes;
    for (const auto& e : c.driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox))
        boxes += "[" + e.text + "]";
    c.Put("boxes", boxes);
}

// A 24-bit DIB of the fixture's photo (ImageMagick's BMP without its file header).
std::vector<uint8_t> fixtureDib(const std::string& jpeg, const std::string& scratch, std::string* why) {
    std::string cmd = "/usr/bin/convert '" + jpeg + "' -type TrueColor BMP3:'" + scratch + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return *why = "convert " + jpeg, std::vector<uint8_t>();
    std::string bytes = testsupport::fileBytes(scratch);
    std::remove(scratch.c_str());
    if (bytes.size() <= 14) return *why = "no BMP of " + jpeg, std::vector<uint8_t>();
    return std::vector<uint8_t>(bytes.begin() + 14, bytes.end());
}

// ---------------------------------------------------------------- the parent's checks

// What a command prints (its first 255 bytes).
std::string commandOutput(const std::string& cmd) {
    std::FILE* p = ::popen(cmd.c_str(), "r");
    char buf[256] = {0};
    if (p) {
        size_t n = std::fread(buf, 1, sizeof buf - 1, p);
        buf[n] = 0;
        ::pclose(p);
    }
    return buf;
}

// A picture's width and height as ImageMagick reads them ("W H", or "").
std::string pictureSize(const std::string& path) {
    return commandOutput("/usr/bin/identify -format '%w %h' '" + path + "' 2>/dev/null");
}

std::string checkObj(const std::string& path) {
    const aiScene* scene = aiImportFile(path.c_str(), aiProcess_ValidateDataStructure);
    if (!scene) return "assimp cannot read " + path + ": " + aiGetErrorString();
    unsigned vertices = 0, faces = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        vertices += scene->mMeshes[m]->mNumVertices;
        faces += scene->mMeshes[m]->mNumFaces;
    }
    unsigned materials = scene->mNumMaterials;
    aiReleaseImport(scene);
    if (!vertices || !faces || !materials) return path + ": no vertices, faces or materials";
    // Every texture the material library names is there.
    fs::path folder = fs::path(path).parent_path();
    std::istringstream obj(testsupport::fileBytes(path));
    std::string line;
    while (std::getline(obj, line)) {
        if (line.rfind("mtllib ", 0) != 0) continue;
        std::string mtl = (folder / line.substr(7)).string();
        if (!fs::exists(mtl)) return "missing " + mtl;
        std::istringstream m(testsupport::fileBytes(mtl));
        std::string ml;
        while (std::getline(m, ml)) {
            if (!ml.empty() && ml.back() == '\r') ml.pop_back();
            if (ml.rfind("map_Kd ", 0) == 0 && !fs::exists(folder / ml.substr(7))) return "missing " + ml.substr(7);
        }
    }
    return "";
}

// The "v x y z" lines of an OBJ.
std::vector<std::array<double, 3>> objVertices(const std::string& path) {
    std::vector<std::array<double, 3>> out;
    std::istringstream in(testsupport::fileBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("v ", 0) != 0) continue;
        std::istringstream v(line.substr(2));
        v.imbue(std::locale::classic());
        std::array<double, 3> p{};
        v >> p[0] >> p[1] >> p[2];
        out.push_back(p);
    }
    return out;
}

std::string compareVertices(const std::string& a, const std::string& b, double tolerance, bool relative) {
    auto va = objVertices(a), vb = objVertices(b);
    if (va.empty() || va.size() != vb.size())
        return a + " has " + std::to_string(va.size()) + " vertices, " + b + " " + std::to_string(vb.size());
    if (relative) {
        std::array<double, 3> lo = va[0], hi = va[0];
        for (const auto& p : va)
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
        double size = std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                                (hi[2] - lo[2]) * (hi[2] - lo[2]));
        tolerance *= size;
    }
    for (size_t i = 0; i < va.size(); ++i) {
        double d = relative ? std::sqrt((va[i][0] - vb[i][0]) * (va[i][0] - vb[i][0]) +
                                        (va[i][1] - vb[i][1]) * (va[i][1] - vb[i][1]) +
                                        (va[i][2] - vb[i][2]) * (va[i][2] - vb[i][2]))
                            : std::max({std::fabs(va[i][0] - vb[i][0]), std::fabs(va[i][1] - vb[i][1]),
                                        std::fabs(va[i][2] - vb[i][2])});
        if (d > tolerance)
            return "vertex " + std::to_string(i + 1) + " of " + a + " and " + b + " lie " + std::to_string(d) +
                   " apart (allowed " + std::to_string(tolerance) + ")";
    }
    return "";
}

// Mesh and material names as assimp reads them.
std::string objNames(const std::string& path) {
    const aiScene* scene = aiImportFile(path.c_str(), aiProcess_ValidateDataStructure);
    if (!scene) return "unreadable";
    std::vector<std::string> meshes, materials;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) meshes.push_back(scene->mMeshes[m]->mName.C_Str());
    for (unsigned m = 0; m < scene->mNumMaterials; ++m) {
        aiString name;
        scene->mMaterials[m]->Get(AI_MATKEY_NAME, name);
        materials.push_back(name.C_Str());
    }
    aiReleaseImport(scene);
    std::sort(meshes.begin(), meshes.end());
    std::sort(materials.begin(), materials.end());
    std::string out = "meshes";
    for (const std::string& m : meshes) out += " " + m;
    out += "; materials";
    for (const std::string& m : materials) out += " " + m;
    return out;
}

std::string projectDump(const std::string& path) {
    // The templates as the full work flow reads them (not the cube of the
    // picture-editor mode, the application's default).
    svc::app().state().pictureEditor = 0;
    files::ProjectRecord record;
    std::string why;
    if (!files::ReadProjectFile(path, {}, record, why)) return "unreadable: " + why;
    return testsupport::DumpProject(record, false);
}

std::string checkAfter(const Line& l, const fresh::Result& r) {
    const std::vector<std::string>& w = l.words;
    const std::string& what = w[1];
    std::string at = "line " + std::to_string(l.number) + ": ";
    if (what == "exit") {
        // The end through the exit hook or the message loop's.
        if (r.Has("exit") && r.Get("exit") != w.at(2)) return at + "exit hook code " + r.Get("exit") + ", not " + w[2];
        if (r.exitCode != std::atoi(w.at(2).c_str())) return at + "exit code " + std::to_string(r.exitCode);
    } else if (what == "file") {
        if (!fs::exists(w.at(2))) return at + "missing " + w[2];
    } else if (what == "nofile") {
        if (fs::exists(w.at(2))) return at + "unexpected " + w[2];
    } else if (what == "same") {
        if (!fs::exists(w.at(2)) || testsupport::fileBytes(w[2]) != testsupport::fileBytes(w.at(3))) return at + w[2] + " and " + w[3] + " differ";
    } else if (what == "obj") {
        std::string e = checkObj(w.at(2));
        if (!e.empty()) return at + e;
    } else if (what == "samepixels") {
        std::string cmd = "/usr/bin/compare -metric AE '" + w.at(2) + "' '" + w.at(3) + "' null: 2>&1";
        std::FILE* p = ::popen(cmd.c_str(), "r");
        char buf[64] = {0};
        if (p) {
            size_t n = std::fread(buf, 1, sizeof buf - 1, p);
            buf[n] = 0;
            ::pclose(p);
        }
        if (std::string(buf) != "0") return at + "ImageMagick counts \"" + buf + "\" differing pixels";
    } else if (what == "pixelsnear") {
        // ImageMagick's normalised RMSE between A and B (B first changed by
        // the ImageMagick options after TOL) at most TOL.
        std::string ops;
        for (size_t k = 5; k < w.size(); ++k) ops += " '" + w[k] + "'";
        const std::string ref = w.at(2) + ".ref.png";
        if (std::system(("/usr/bin/convert '" + w.at(3) + "'" + ops + " +repage '" + ref + "' 2>/dev/null").c_str()) != 0)
            return at + "ImageMagick cannot read " + w[3];
        std::string out = commandOutput("/usr/bin/compare -metric RMSE '" + w[2] + "' '" + ref + "' null: 2>&1");
        std::remove(ref.c_str());
        size_t open = out.find('(');
        double rmse = open == std::string::npos ? -1 : std::atof(out.c_str() + open + 1);
        if (rmse < 0 || rmse > std::atof(w.at(4).c_str()))
            return at + w[2] + " against " + w[3] + ":" + ops + ": ImageMagick says \"" + out + "\"";
    } else if (what == "varied") {
        // Not one flat colour: ImageMagick's standard deviation above 0.01.
        std::string out = commandOutput("/usr/bin/identify -format '%[fx:standard_deviation]' '" + w.at(2) + "' 2>&1");
        if (!(std::atof(out.c_str()) > 0.01)) return at + w[2] + " is flat: \"" + out + "\"";
    } else if (what == "xnear") {
        // Checked by CompareRuns.
    } else if (what == "samedump") {
        std::string a = projectDump(w.at(2)), b = projectDump(w.at(3));
        if (a != b || a.rfind("unreadable", 0) == 0) {
            // The first line that differs.
            std::istringstream sa(a), sb(b);
            std::string la, lb;
            while (std::getline(sa, la) && std::getline(sb, lb) && la == lb) {
            }
            return at + "the dumps of " + w[2] + " and " + w[3] + " differ: \"" + la.substr(0, 200) + "\" against \"" +
                   lb.substr(0, 200) + "\"";
        }
    } else if (what == "objclose" || what == "objnear") {
        std::string e = compareVertices(w.at(2), w.at(3), std::atof(w.at(4).c_str()), what == "objnear");
        if (!e.empty()) return at + e;
    } else if (what == "objgroups") {
        std::string a = objNames(w.at(2)), b = objNames(w.at(3));
        if (a != b) return at + w[2] + ": " + a + "; " + w[3] + ": " + b;
    } else if (what == "box") {
        std::string text = l.rest.substr(l.rest.find("box") + 4);
        if (r.Get("boxes").find("[" + text + "]") == std::string::npos)
            return at + "no message box \"" + text + "\" among " + r.Get("boxes");
    } else if (what == "bmp") {
        std::string cmd = "/usr/bin/identify -format '%w %h' '" + w.at(2) + "' 2>/dev/null";
        std::FILE* p = ::popen(cmd.c_str(), "r");
        char buf[64] = {0};
        if (p) {
            size_t n = std::fread(buf, 1, sizeof buf - 1, p);
            buf[n] = 0;
            ::pclose(p);
        }
        bool sized = w.size() >= 5;
        if (sized ? std::string(buf) != w[3] + " " + w[4] : std::string(buf).find(' ') == std::string::npos)
            return at + "ImageMagick sees \"" + buf + "\" in " + w[2];
    }
    return "";
}

}  // namespace

void RegisterHook(const std::string& name, Hook hook) { hooks()[name] = std::move(hook); }

bool ParseScenario(const std::string& text, Scenario& out, std::string* error) {
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    std::vector<Line> pending;
    std::vector<Line>* block = nullptr;
    Line modal;
    auto bad = [&](const std::string& why) {
        *error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (std::getline(in, raw)) {
        ++number;
        size_t hash = raw.find('#');
        std::string text_ = hash == std::string::npos ? raw : raw.substr(0, hash);
        Line l;
        l.number = number;
        l.words = split(text_);
        if (l.words.empty()) continue;
        size_t start = text_.find(l.words[0]) + l.words[0].size();
        size_t first = text_.find_first_not_of(" \t", start);
        size_t last = text_.find_last_not_of(" \t\r");
        l.rest = first == std::string::npos ? "" : text_.substr(first, last - first + 1);
        const std::string& verb = l.words[0];
        if (block) {
            if (verb == "end") {
                Process& p = out.processes.back();
                (p.steps.empty() ? p.start : pending).push_back(modal);
                block = nullptr;
            } else {
                block->push_back(l);
            }
            continue;
        }
        if (verb == "figure" && out.processes.empty()) {
            if (l.words.size() < 3) return bad("figure NAME STRETCH");
            out.figures.push_back({l.words[1], std::atof(l.words[2].c_str()), l.words.size() > 3 && l.words[3] == "groups"});
            continue;
        }
        if (verb == "fixture") {
            if (!out.processes.empty() || l.words.size() < 4) return bad("fixture NAME TEMPLATE YAW, before the processes");
            FixtureShot f;
            f.name = l.words[1];
            f.templateId = std::atoi(l.words[2].c_str());
            f.yawDegrees = std::atof(l.words[3].c_str());
            out.fixtures.push_back(f);
            continue;
        }
        if (verb == "process") {
            if (!pending.empty()) return bad("lines before the process ends");
            Process p;
            p.args.assign(l.words.begin() + 1, l.words.end());
            out.processes.push_back(p);
            continue;
        }
        if (out.processes.empty()) return bad("a step before the first process");
        Process& p = out.processes.back();
        if (isBefore(verb)) {
            if (!p.steps.empty()) return bad(verb + " after the start");
            p.before.push_back(l);
        } else if (verb == "modal") {
            modal = l;
            modal.block.clear();
            block = &modal.block;
        } else if (isPrepare(verb)) {
            (p.steps.empty() ? p.start : pending).push_back(l);
        } else if (isAfter(l)) {
            p.after.push_back(l);
        } else {
            pending.push_back(l);
            p.steps.push_back(pending);
            pending.clear();
        }
    }
    if (block) return bad("modal without end");
    if (!pending.empty()) return bad("answers without a step after them");
    if (out.processes.empty()) return bad("no process");
    return true;
}

std::vector<std::string> Play(const Scenario& s, const Folders& folders) {
    std::vector<std::string> failures;
    for (size_t pi = 0; pi < s.processes.size(); ++pi) {
        const Process& p = s.processes[pi];
        const std::string name = "process " + std::to_string(pi + 1) + ": ";
        fresh::Options o;
        for (const std::string& a : p.args) o.args.push_back(expand(a, folders));
        o.configHome = folders.config;
        o.tmpDir = folders.tmp;
        o.programFolder = folders.program;
        o.timeoutSeconds = 300;

        std::optional<std::vector<uint8_t>> clipboard;
        std::vector<std::array<std::string, 3>> settings;
        for (const Line& raw : p.before) {
            Line l = expandLine(raw, folders);
            if (l.words[0] == "copy") {
                std::error_code ec;
                fs::create_directories(fs::path(l.words.at(2)).parent_path(), ec);
                fs::copy_file(l.words[1], l.words[2], fs::copy_options::overwrite_existing, ec);
                if (ec) failures.push_back(name + "line " + std::to_string(l.number) + ": copy: " + ec.message());
            } else if (l.words[0] == "clipboard") {
                std::string why;
                clipboard = fixtureDib(folders.fixtures + "/" + l.words.at(1) + ".jpg",
                                       folders.out + "/clipboard.bmp", &why);
                if (clipboard->empty()) failures.push_back(name + why);
            } else if (l.words[0] == "setting" && l.words.size() >= 4) {
                settings.push_back({l.words[1], l.words[2], l.rest.substr(l.rest.find(l.words[3]))});
            }
        }
        int failCount = 0;
        // One player through the run: the marks and the modal scripts outlive a step.
        auto player = std::make_shared<std::unique_ptr<ChildPlayer>>();
        std::vector<Line> start;
        for (const Line& l : p.start) {
            Line e = expandLine(l, folders);
            for (Line& b : e.block) b = expandLine(b, folders);
            start.push_back(e);
        }
        o.before = [clipboard, settings, start, player, &folders, &failCount](fresh::Child& c) {
            c.driver.Backend().SetClock(1110000000, 5000);
            for (const auto& [section, key, value] : settings)
                WriteProfileString(section.c_str(), key.c_str(), value.c_str());
            if (clipboard) {
                brv::ClipboardContents contents;
                contents.dib = *clipboard;
                brv::CurrentBackend().WriteClipboard(contents);
            }
            *player = std::make_unique<ChildPlayer>(c, folders, &failCount);
            for (const Line& l : start) (*player)->run(l);
        };
        for (size_t si = 0; si < p.steps.size(); ++si) {
            std::vector<Line> step;
            for (const Line& l : p.steps[si]) {
                Line e = expandLine(l, folders);
                for (Line& b : e.block) b = expandLine(b, folders);
                step.push_back(e);
            }
            o.steps.push_back([step, si, &folders, &failCount, player](fresh::Child& c) {
                if (!*player) *player = std::make_unique<ChildPlayer>(c, folders, &failCount);
                for (const Line& l : step) (*player)->run(l);
                c.Put("ran", (long long)si + 1);
                putBoxes(c);
            });
        }
        o.onExit = [](fresh::Child& c, int code) {
            c.Put("exit", code);
            putBoxes(c);
            CFaceApp* app = FaceApp();
            c.Put("progress", app && app->progressDialog && app->progressDialog->m_hWnd ? "open" : "closed");
        };
        fresh::Result r = fresh::Run(o);
        if (r.timedOut) failures.push_back(name + "timed out");
        if (r.signal) failures.push_back(name + "died of signal " + std::to_string(r.signal) + "\n" + r.report);
        for (const auto& [key, value] : r.values)
            if (key.rfind("fail.", 0) == 0 || key == "script failure") failures.push_back(name + value);
        if ((r.Get("ran").empty() ? "0" : r.Get("ran")) != std::to_string(p.steps.size()))
            failures.push_back(name + "ran " + (r.Get("ran").empty() ? "0" : r.Get("ran")) + " of " +
                               std::to_string(p.steps.size()) + " steps");
        if (r.Get("progress") == "open") failures.push_back(name + "the progress window is open at the end");
        bool exitExpected = false;
        for (const Line& raw : p.after) {
            Line l = expandLine(raw, folders);
            exitExpected |= l.words[1] == "exit";
            std::string e = checkAfter(l, r);
            if (!e.empty()) failures.push_back(name + e);
        }
        if (!exitExpected && r.exitCode != 0) failures.push_back(name + "exit code " + std::to_string(r.exitCode));
        if (!failures.empty() && std::getenv("E2E_VERBOSE")) failures.push_back(name + "report:\n" + r.report);
        if (!failures.empty()) break;
    }
    return failures;
}

std::vector<std::string> CheckFiles(const Scenario& s, const Folders& folders) {
    std::vector<std::string> failures;
    fresh::Result none;
    for (size_t pi = 0; pi < s.processes.size(); ++pi)
        for (const Line& raw : s.processes[pi].after) {
            Line l = expandLine(raw, folders);
            const std::string& k = l.words[1];
            if (k == "exit" || k == "box") continue;
            std::string e = checkAfter(l, none);
            if (!e.empty()) failures.push_back("process " + std::to_string(pi + 1) + ": " + e);
        }
    return failures;
}

std::vector<std::string> CompareRuns(const Scenario& s, const Folders& headless, const Folders& x) {
    std::vector<std::string> failures;
    for (const Process& p : s.processes)
        for (const Line& l : p.after) {
            if (l.words[1] != "xnear" || l.words.size() < 4) continue;
            std::string e = compareVertices(expand(l.words[2], headless), expand(l.words[2], x),
                                            std::atof(l.words[3].c_str()), true);
            if (!e.empty()) failures.push_back("line " + std::to_string(l.number) + ": " + e);
        }
    return failures;
}

}  // namespace e2e
