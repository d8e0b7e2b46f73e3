#include "model/morph.h"

#include <charconv>
#include <fstream>
#include <map>
#include <vector>

#include "seams/app.h"
#include "seams/dialogs.h"
#include "foundation/numeric.h"
#include "framework/paths.h"
#include "framework/resources.h"
#include "model/head.h"

namespace {

std::map<int, std::string>& installed() {
    static std::map<int, std::string> m;
    return m;
}

// One number in the C locale's form, whatever the process locale.
bool number(const char*& p, const char* end, double& out) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
    if (p < end && *p == '+') ++p;
    auto r = std::from_chars(p, end, out);
    if (r.ec != std::errc()) return false;
    p = r.ptr;
    return true;
}

bool threeNumbers(const char* p, const char* end, vector3<double>& v) {
    return number(p, end, v.x) && number(p, end, v.y) && number(p, end, v.z);
}

// The lines of the text, each with three numbers, up to the first line
// that has fewer.
std::vector<vector3<double>> positionLines(const std::string& text) {
    std::vector<vector3<double>> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t lf = text.find('\n', at);
        size_t end = lf == std::string::npos ? text.size() : lf;
        vector3<double> v;
        if (!threeNumbers(text.data() + at, text.data() + end, v)) break;
        out.push_back(v);
        if (lf == std::string::npos) break;
        at = lf + 1;
    }
    return out;
}

// The edit points follow the moved surface.
void convertEditPoints(head3& h) {
    for (int e = h.extrapoints.first(); e != -1; e = h.extrapoints.nextOf(e)) h.extrapoints[e].conversion();
}

}  // namespace

void installMorphResource(int number, std::string_view text) { installed()[number] = std::string(text); }
void resetMorphResources() { installed().clear(); }

void read_age_morph(int age) {
    svc::FaceDocument* doc = svc::document();
    head3* h = actual_head3;
    if (!doc || !h || doc->state().templateId != 122) return;
    if (age != 0 && age != 10 && age != 20 && age != 30 && age != 80) return;
    int id = 1220 + age / 10;
    std::string text;  // a terminated copy of the resource
    auto it = installed().find(id);
    if (it != installed().end()) {
        text = it->second;
    } else {
        std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", id);
        if (!bytes.data()) return;
        text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    svc::progress().Step(5);
    std::vector<vector3<double>> list = positionLines(text);
    if (int(list.size()) != h->vertices.count()) return;
    size_t k = 0;
    for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v), ++k) {
        vector3<double> target = list[k] * h->scale - h->offset;
        vertex& vx = h->vertices[v];
        if (age <= 20)
            vx.position = target;
        else if (age == 80)
            vx.age80 = target - vx.position;
        else
            vx.age30 = target - vx.position;
    }
    if (age <= 20) {
        h->Changed();
        convertEditPoints(*h);
    }
}

void read_DAZ_morph() {
    const svc::AppState& app = svc::app().state();
    head3* h = actual_head3;
    if (!h || app.dazMode == 0 || app.figureName == "Other") return;
    std::string path = fnd::daz3dfile(app.programFolder, app.dazMode);
    if (!fnd::IsFileExist(path.c_str())) return;
    std::ifstream in(brv::PosixPath(path), std::ios::binary);
    if (!in) return;
    std::vector<vector3<double>> list;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2 || line[0] != 'v' || line[1] != ' ') continue;
        vector3<double> v;
        if (!threeNumbers(line.data() + 2, line.data() + line.size(), v)) return;
        list.push_back(v);
    }
    if (int(list.size()) != h->vertices.count()) return;
    size_t k = 0;
    for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v), ++k)
        h->vertices[v].position = list[k] * h->scale - h->offset;
    h->Changed();
    convertEditPoints(*h);
}

void apply_reading_morphs() {
    const svc::AppState& app = svc::app().state();
    if (app.dazMode != 0) read_DAZ_morph();
    if (app.pictureEditor) {
        for (int age : {20, 80, 30}) read_age_morph(age);
        svc::FaceDocument* doc = svc::document();
        read_age_morph(doc && doc->state().age0 ? 0 : 10);
    }
}

namespace {
bool g_readingMorphs = false;
}

ReadingMorphs::ReadingMorphs() : previous_(g_readingMorphs) { g_readingMorphs = true; }
ReadingMorphs::~ReadingMorphs() { g_readingMorphs = previous_; }
bool ReadingMorphs::on() { return g_readingMorphs; }
