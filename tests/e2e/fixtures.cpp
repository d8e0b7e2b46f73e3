#include "tests/e2e/fixtures.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "document/model_scope.h"
#include "document/obj_export.h"
#include "document/project_file.h"
#include "fitting/projection.h"
#include "seams/app.h"
#include "framework/resources.h"
#include "model/featuretables.h"
#include "model/octree.h"
#include "tests/views/view_fixtures.h"

namespace e2e {

namespace {

// The child's work: 0 on success, else the step that failed.
int render(const FixtureShot& s, const std::string& dir) {
    viewtest::Views v;
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", s.templateId);
    if (!bytes.data()) return 10;
    fnd::fileTB f;
    if (!f.open(bytes.data(), bytes.size()) || !v.run.heads->LoadHead(f, 1000)) return 11;
    if (!v.createContexts()) return 12;
    views::HeadRenderCore& r = *v.head3d;
    vector3<double> eye, center, up;
    CalculateEyeFromAngles({0, 0, 480}, {0, 0, 0}, {0, 1, 0}, s.pitchDegrees * M_PI / 180,
                           s.yawDegrees * M_PI / 180, 0, &eye, &center, &up);
    r.OnSize(s.width, s.height);
    r.core().setCamera(eye, center, up, 50.0);
    r.FitToPhoto(s.width, s.height, 0, 0);
    // The templates carry no texture: the head is drawn lit, as at stage 1000.
    r.InitializeModelForOpenGL(*v.run.heads, false, false, 1000);
    viewtest::Picture p = v.render3D();
    if (p.width != s.width || p.height != s.height) return 14;

    const std::string bmp = dir + "/" + s.name + ".bmp";
    CWinBmp out;
    out.Create(p.width, p.height, 32, false);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            uint32_t c = p.at(x, y);
            out.SetPixel(x, y, CPixel32(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0));
        }
    CBmpEncoder().MakeFileFromBmp(bmp.c_str(), &out);
    std::string convert = "/usr/bin/convert '" + bmp + "' -quality 92 '" + dir + "/" + s.name + ".jpg' 2>/dev/null";
    int rc = std::system(convert.c_str());
    std::remove(bmp.c_str());
    if (rc != 0) return 16;

    // A point's photo pixel, then where the render shows it; a point the
    // head hides from the camera is not marked, as a user cannot see it.
    const ProjectionCore& core = r.core();
    std::ofstream marks(dir + "/" + s.name + ".marks");
    head3& h = v.head();
    h.set_actual();
    h.octree().fill();
    auto hidden = [&](const vector3<double>& p) {
        vector3<double> d = p - eye, bary, hit;
        if (h.octree().getfirstOnRay(eye, d, 0, &bary, &hit) == -1) return false;
        // A point in a crease (an eye corner under its lid) still shows.
        return (hit - eye).length() < d.length() - 3.0;
    };
    CString code;
    int written = 0;
    for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
        if (!GoodInfoCode(0, code)) continue;
        Index<featurepoint3> fp = h.getFeaturepoint(code, true);
        if (fp == -1) continue;
        vector2<double> photo;
        if (hidden(h.featurepoints[fp].point())) continue;
        vector3<double> win;
        if (!core.project(h.featurepoints[fp].point(), &win)) continue;
        // Its own visibility test is stricter than a user's eye: only the place counts.
        core.Coord3Dto2DBMP(h.featurepoints[fp].point(), photo);
        vector2<double> shown = core.photoToClient().traf(photo);
        char line[160];
        std::snprintf(line, sizeof line, "%s %.3f %.3f\n", std::string(code.View()).c_str(), shown.x, shown.y);
        marks << line;
        ++written;
    }
    marks.close();
    // The point table's rows by number, for a player that sees only the asked row.
    std::ofstream rows(dir + "/" + s.name + ".rows");
    for (int i = 0; GetFeaturePointInfo(i, &code); ++i) rows << i << " " << std::string(code.View()) << "\n";
    return written > 0 && marks && rows ? 0 : 17;
}

int exportFigure(const std::string& name, double stretch, const std::string& dir, bool groups) {
    svc::app().state().pictureEditor = 0;
    svc::FaceTables tables;
    std::string why;
    std::unique_ptr<head3> head;
    {
        files::CurrentModelScope scope;
        head = files::LoadTemplateHead(122, tables, why);
    }
    if (!head) return 20;
    head->set_actual();
    auto t = std::make_unique<TextureImage>();
    t->width = t->height = 256;
    t->rgb.assign(size_t(256) * 256 * 3, 0);
    for (size_t i = 0; i < t->rgb.size(); ++i) t->rgb[i] = static_cast<unsigned char>(150 + (i / 3) % 64);
    head->texture = std::move(t);
    files::ObjExportInputs in;
    in.head = head.get();
    in.tables = &tables;
    in.variant = 1;
    in.templateId = 122;
    in.textureSize = 256;
    const std::string path = dir + "/" + name + ".obj";
    if (!files::SaveOBJFile(path, in, why)) return 21;
    // x stretched in the vertex lines, the rest as written (or regrouped).
    std::ifstream read(path);
    std::ostringstream out;
    out.imbue(std::locale::classic());
    std::string line;
    static const char* const kGroups[3][2] = {{"head", "skinface"}, {"mouth", "lip"}, {"sockets", "eyesocket"}};
    const int faces = head->triangles.count();
    int face = 0;
    while (std::getline(read, line)) {
        if (groups && (line.rfind("g ", 0) == 0 || line.rfind("usemtl ", 0) == 0)) continue;
        if (groups && line.rfind("f ", 0) == 0) {
            // Half the faces the head's, a quarter each the others'.
            for (int g = 0; g < 3; ++g)
                if (face == (g == 0 ? 0 : g == 1 ? faces / 2 : 3 * faces / 4))
                    out << "g " << kGroups[g][0] << "\nusemtl " << kGroups[g][1] << "\n";
            ++face;
        }
        if (line.rfind("v ", 0) == 0) {
            std::istringstream v(line.substr(2));
            v.imbue(std::locale::classic());
            double x = 0, y = 0, z = 0;
            if (!(v >> x >> y >> z)) return 22;
            char buf[128];
            std::snprintf(buf, sizeof buf, "v %.6f %.6f %.6f", x * stretch, y, z);
            line = buf;
        }
        out << line << "\n";
    }
    read.close();
    std::ofstream(path, std::ios::trunc) << out.str();
    if (groups) {
        // The one material written, once under each group's name.
        const std::string mtlPath = dir + "/" + name + ".mtl";
        std::ifstream mtlIn(mtlPath);
        std::stringstream mtl;
        mtl << mtlIn.rdbuf();
        const std::string text = mtl.str();
        const size_t at = text.find("newmtl ");
        if (at == std::string::npos) return 24;
        const std::string header = text.substr(0, at);
        std::string body = text.substr(text.find('\n', at) + 1);
        std::ofstream mtlOut(mtlPath, std::ios::trunc);
        mtlOut << header;
        for (const auto& g : kGroups) mtlOut << "newmtl " << g[1] << "\n" << body << "\n";
        if (!mtlOut) return 25;
    }
    // Where the feature points lie on the figure: the nearest of its vertex
    // lines (counted from 0), for a player that clicks them on the head.
    std::vector<vector3<double>> vs;
    std::istringstream lines(out.str());
    while (std::getline(lines, line)) {
        if (line.rfind("v ", 0) != 0) continue;
        std::istringstream v(line.substr(2));
        v.imbue(std::locale::classic());
        vector3<double> p;
        v >> p.x >> p.y >> p.z;
        vs.push_back(p);
    }
    std::ofstream points(dir + "/" + name + ".points");
    CString code;
    for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
        if (!GoodInfoCode(0, code)) continue;
        Index<featurepoint3> fp = head->getFeaturepoint(code, true);
        if (fp == -1) continue;
        vector3<double> p = head->featurepoints[fp].point();
        p.x *= stretch;
        size_t best = 0;
        for (size_t k = 1; k < vs.size(); ++k)
            if ((vs[k] - p).length() < (vs[best] - p).length()) best = k;
        points << std::string(code.View()) << " " << best << "\n";
    }
    return points ? 0 : 23;
}

bool inChild(const std::function<int()>& work, const std::string& what, std::string* why) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) return *why = "fork", false;
    if (pid == 0) ::_exit(work());
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *why = what + " failed: " +
               (WIFEXITED(status) ? "step " + std::to_string(WEXITSTATUS(status))
                                  : "signal " + std::to_string(WTERMSIG(status)));
        return false;
    }
    return true;
}

}  // namespace

bool MakeFigure(const std::string& name, double stretch, const std::string& dir, std::string* why, bool groups) {
    return inChild([&] { return exportFigure(name, stretch, dir, groups); }, "export of " + name, why);
}

bool MakeFixture(const FixtureShot& wanted, const std::string& dir, std::string* why) {
    return inChild([&] { return render(wanted, dir); }, "render of " + wanted.name, why);
}

std::map<std::string, Mark> ReadMarks(const std::string& path, std::vector<std::string>* order) {
    std::map<std::string, Mark> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        s.imbue(std::locale::classic());
        std::string name;
        Mark m;
        if (!(s >> name >> m.x >> m.y)) continue;
        if (order && !out.count(name)) order->push_back(name);
        out[name] = m;
    }
    return out;
}

}  // namespace e2e
