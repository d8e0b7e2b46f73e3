#include "tests/e2e/fixtures.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fitting/projection.h"
#include "framework/resources.h"
#include "model/featuretables.h"
#include "tests/views/view_fixtures.h"

namespace e2e {

namespace {

// The child's work: 0 on success, else the step that failed.
int render(const FixtureSpec& s, const std::string& dir) {
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
    r.core().setCamera(eye, center, up, 28.0);
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

    // A point's photo pixel, then where the render shows it.
    const ProjectionCore& core = r.core();
    std::ofstream marks(dir + "/" + s.name + ".marks");
    head3& h = v.head();
    CString code;
    int written = 0;
    for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
        if (!GoodInfoCode(0, code)) continue;
        Index<featurepoint3> fp = h.getFeaturepoint(code, true);
        if (fp == -1) continue;
        vector2<double> photo;
        if (!core.Coord3Dto2DBMP(h.featurepoints[fp].point(), photo)) continue;
        vector2<double> shown = core.photoToClient().traf(photo);
        char line[160];
        std::snprintf(line, sizeof line, "%s %.3f %.3f\n", std::string(code.View()).c_str(), shown.x, shown.y);
        marks << line;
        ++written;
    }
    marks.close();
    return written > 0 && marks ? 0 : 17;
}

}  // namespace

bool MakeFixture(const FixtureSpec& spec, const std::string& dir, std::string* why) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) return *why = "fork", false;
    if (pid == 0) ::_exit(render(spec, dir));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *why = "render of " + spec.name + " failed: " +
               (WIFEXITED(status) ? "step " + std::to_string(WEXITSTATUS(status))
                                  : "signal " + std::to_string(WTERMSIG(status)));
        return false;
    }
    return true;
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
