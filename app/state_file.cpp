#include "app/state_file.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "document/facedoc.h"
#include "app/faceapp.h"
#include "app/mainframe.h"
#include "framework/paths.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "framework/window_state.h"
#include "model/head.h"
#include "views/faceview.h"
#include "views/gl_view_core.h"

namespace {

// The shift of the top-level window being described.
POINT g_shift{0, 0};

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char u[8];
                    std::snprintf(u, sizeof u, "\\u%04x", c);
                    out += u;
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

std::string rect(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "]";
}

// The client area in screen coordinates: where a click lands.
RECT screenClient(HWND h) {
    RECT r{};
    ::GetClientRect(h, &r);
    POINT o{0, 0};
    ::ClientToScreen(h, &o);
    o.x += g_shift.x;
    o.y += g_shift.y;
    return RECT{o.x, o.y, o.x + r.right, o.y + r.bottom};
}

const char* kindOf(const brv::WindowRecord& r) {
    if (!r.control) return "window";
    switch (r.control->Type()) {
        case brv::ControlType::kButton:
            switch (r.style & 0x0F) {
                case BS_CHECKBOX:
                case BS_AUTOCHECKBOX:
                case BS_3STATE:
                case BS_AUTO3STATE: return "check";
                case BS_RADIOBUTTON:
                case BS_AUTORADIOBUTTON: return "radio";
                case BS_GROUPBOX: return "group";
                default: return "button";
            }
        case brv::ControlType::kStatic: return "static";
        case brv::ControlType::kEdit: return "edit";
        case brv::ControlType::kCombo: return "combo";
        case brv::ControlType::kSlider: return "slider";
        case brv::ControlType::kProgress: return "progress";
        case brv::ControlType::kList: return "list";
        case brv::ControlType::kTab: return "tab";
        default: return "window";
    }
}

std::string control(HWND h) {
    const brv::WindowRecord& r = *brv::Record(h);
    std::string out = "{\"id\":" + std::to_string(r.id) + ",\"kind\":" + quoted(kindOf(r)) +
                      ",\"rect\":" + rect(screenClient(h)) + ",\"text\":" + quoted(r.text) +
                      ",\"visible\":" + (brv::IsReallyVisible(h) ? "true" : "false") +
                      ",\"enabled\":" + (brv::IsReallyEnabled(h) ? "true" : "false") +
                      ",\"focused\":" + (::GetFocus() == h ? "true" : "false");
    if (r.control) {
        if (auto* b = dynamic_cast<const brv::ButtonData*>(r.control.get()))
            out += ",\"checked\":" + std::to_string(b->check);
        else if (auto* s = dynamic_cast<const brv::SliderData*>(r.control.get()))
            out += ",\"pos\":" + std::to_string(s->pos) + ",\"min\":" + std::to_string(s->min) +
                   ",\"max\":" + std::to_string(s->max);
        else if (auto* c = dynamic_cast<const brv::ComboData*>(r.control.get()))
            out += ",\"current\":" + std::to_string(c->current);
        else if (auto* t = dynamic_cast<const brv::TabData*>(r.control.get()))
            out += ",\"current\":" + std::to_string(t->current);
        else if (auto* p = dynamic_cast<const brv::ProgressData*>(r.control.get()))
            out += ",\"pos\":" + std::to_string(p->pos);
    }
    return out + "}";
}

// Controls in tab order, those of child dialogs (the model page) included.
void controls(HWND parent, std::string& out, bool& first) {
    const brv::WindowRecord* p = brv::Record(parent);
    if (!p) return;
    for (HWND h : p->children) {
        const brv::WindowRecord* r = brv::Record(h);
        if (!r) continue;
        if (r->control) {
            out += (first ? "" : ",") + control(h);
            first = false;
        } else if (r->dialogTemplate) {
            controls(h, out, first);
        }
    }
}

std::string window(HWND h) {
    const brv::WindowRecord& r = *brv::Record(h);
    RECT whole{};
    ::GetWindowRect(h, &whole);
    whole = RECT{whole.left + g_shift.x, whole.top + g_shift.y, whole.right + g_shift.x, whole.bottom + g_shift.y};
    std::string out = "{\"layout\":" + std::to_string(r.dialogTemplate) + ",\"title\":" + quoted(r.text) +
                      ",\"rect\":" + rect(whole) + ",\"client\":" + rect(screenClient(h)) +
                      ",\"visible\":" + (brv::IsReallyVisible(h) ? "true" : "false") +
                      ",\"enabled\":" + (brv::IsReallyEnabled(h) ? "true" : "false") +
                      ",\"active\":" + (::GetActiveWindow() == h ? "true" : "false") + ",\"dialogs\":[";
    // The child dialogs (the model page, the age dialog) by their layouts.
    bool first = true;
    for (HWND c : r.children) {
        const brv::WindowRecord* cr = brv::Record(c);
        if (!cr || !cr->dialogTemplate) continue;
        out += (first ? "" : ",") + std::string("{\"layout\":") + std::to_string(cr->dialogTemplate) +
               ",\"client\":" + rect(screenClient(c)) + ",\"visible\":" +
               (brv::IsReallyVisible(c) ? "true" : "false") + "}";
        first = false;
    }
    out += "],\"controls\":[";
    first = true;
    controls(h, out, first);
    return out + "]}";
}

std::string lintraf(const lintraf11& t) {
    return "[" + number(t.x.a) + "," + number(t.x.b) + "," + number(t.y.a) + "," + number(t.y.b) + "]";
}

std::string view(CFaceView* v) {
    HWND h = v->m_hWnd;
    std::string out = "{\"name\":" + quoted(std::string(v->viewName.View())) + ",\"rect\":" + rect(screenClient(h)) +
                      ",\"visible\":" + (brv::IsReallyVisible(h) ? "true" : "false") +
                      ",\"active\":" + (v->active ? "true" : "false") + ",\"row\":" + std::to_string(v->currentRow);
    if (views::GLViewCore* core = v->Core()) {
        out += ",\"photoToClient\":" + lintraf(core->core().photoToClient());
        htraf3<double> m = core->OpenGL2htraf();
        out += ",\"headToClient\":[";
        for (int i = 0; i < 16; ++i) out += (i ? "," : "") + number(m.m[i]);
        out += "]";
    } else {
        out += ",\"photoToClient\":[" + number(v->map.zoom) + "," + number(v->map.offsetX) + "," +
               number(v->map.zoom) + "," + number(v->map.offsetY) + "]";
    }
    return out + "}";
}

// The named points: each of the head's feature points bound to its surface
// (head space) and each mark of the photo (photo pixels), by name, so that
// a reader can put the views' maps to the test.
std::string points(CFaceDoc& doc) {
    std::string out = "{\"head\":[";
    bool first = true;
    if (head3* h = doc.kernel3D ? doc.kernel3D->head : nullptr) {
        h->set_actual();
        for (int k = h->featurepoints.first(); k != -1; k = h->featurepoints.nextOf(k)) {
            const featurepoint3& p = h->featurepoints[k];
            if (p.vtx == -1 && (p.extra == -1 || p.extra.data().tri == -1)) continue;
            const vector3<double> at = p.point();
            out += (first ? "" : ",") + std::string("{\"name\":") + quoted(p.name()) + ",\"at\":[" + number(at.x) +
                   "," + number(at.y) + "," + number(at.z) + "]}";
            first = false;
        }
    }
    out += "],\"photo\":[";
    first = true;
    if (head2* m = doc.kernel2D ? doc.kernel2D->head : nullptr)
        for (int k = m->photoPoints.first(); k != -1; k = m->photoPoints.nextOf(k)) {
            const vector2<double>& at = m->photoPoints[k].position;
            out += (first ? "" : ",") + std::string("{\"name\":") + quoted(m->photoPoints[k].name()) + ",\"at\":[" +
                   number(at.x) + "," + number(at.y) + "]}";
            first = false;
        }
    return out + "]}";
}

std::string dialog(const OpenDialogInfo& d) {
    std::string out = "{\"kind\":" + quoted(d.kind) + ",\"title\":" + quoted(d.title) + ",\"text\":" +
                      quoted(d.text) + ",\"rect\":" + rect(d.rect) + ",\"nameEdit\":" + rect(d.nameEdit) +
                      ",\"nameEditFocused\":" + (d.nameEditFocused ? "true" : "false") +
                      ",\"buttons\":[";
    for (size_t i = 0; i < d.buttons.size(); ++i)
        out += (i ? "," : "") + std::string("{\"text\":") + quoted(d.buttons[i].text) +
               ",\"rect\":" + rect(d.buttons[i].rect) + ",\"default\":" +
               (d.buttons[i].isDefault ? "true" : "false") + "}";
    return out + "]}";
}

}  // namespace

std::string DescribeProgramState(const std::vector<OpenDialogInfo>& dialogs, const ScreenShift& shift) {
    std::string out = "{";
    CFaceDoc* doc = actdoc;
    CFaceApp* app = FaceApp();
    CMainFrame* frame = app ? app->Frame() : nullptr;
    if (doc) out += "\"stage\":" + std::to_string(doc->stage) + ",\"templateId\":" + std::to_string(doc->templateId) + ",";
    if (frame && frame->m_hWnd) {
        out += "\"tool\":" + std::to_string(frame->tool) + ",\"toolMode\":" + std::to_string(frame->toolMode) +
               ",\"layout\":" + std::to_string(frame->layout) + ",";
        CView* active = frame->GetActiveView();
        auto* v = dynamic_cast<CFaceView*>(active);
        out += "\"activeView\":" + quoted(v ? std::string(v->viewName.View()) : std::string()) + ",";
        out += "\"askedRow\":" + std::to_string(v ? v->currentRow : -1) + ",";
    }
    out += "\"windows\":[";
    bool first = true;
    // Bottom-most first, as they were opened.
    const std::vector<HWND>& tops = brv::State().topLevels;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        if (!brv::Record(*it)) continue;
        g_shift = shift ? shift(*it) : POINT{0, 0};
        out += (first ? "" : ",") + window(*it);
        first = false;
    }
    out += "],\"views\":[";
    first = true;
    g_shift = shift && frame && frame->m_hWnd ? shift(frame->m_hWnd) : POINT{0, 0};
    if (doc && frame && frame->m_hWnd)
        for (CFaceView* v : {doc->GetViewOrigPhoto<CFaceView>(), doc->GetViewOrig2D<CFaceView>(),
                             doc->GetViewEdit2D3D<CFaceView>(), doc->GetViewEdit3D<CFaceView>()})
            if (v && v->m_hWnd) {
                out += (first ? "" : ",") + view(v);
                first = false;
            }
    g_shift = POINT{0, 0};
    out += "]";
    if (doc) out += ",\"points\":" + points(*doc);
    out += ",\"openDialogs\":[";
    for (size_t i = 0; i < dialogs.size(); ++i) out += (i ? "," : "") + dialog(dialogs[i]);
    return out + "]}";
}

bool ProgramStateFile::Update(const std::vector<OpenDialogInfo>& dialogs) {
    std::string now = DescribeProgramState(dialogs, shift_);
    if (now == last_) return false;
    // Whole or not at all: the reader never sees half a file.
    std::string temporary = path_ + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << "{\"sequence\":" << (writes_ + 1) << ",\"state\":" << now << "}\n";
        if (!out.flush()) return false;
    }
    if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    last_ = now;
    ++writes_;
    return true;
}
