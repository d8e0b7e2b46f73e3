#pragma once
// Shared by the file tests: a clean model, the application's fakes with the
// full work flow (not the picture-editor mode), the fake clock in UTC, and
// small fixtures (the cube template, a photo, marks, records).

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include "document/model_scope.h"
#include "document/picture_bytes.h"
#include "document/project_file.h"
#include "fitting/kernel2d.h"
#include "framework/backend.h"
#include "picture/winbmp.h"
#include "tests/support/model_fixture.h"
#include "tests/support/project_dump.h"

namespace filestest {

class FilesTest : public testsupport::ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        setenv("TZ", "UTC", 1);
        tzset();
        brv::DefaultHeadlessBackend().Reset();
        services.app.state().pictureEditor = 0;
    }

    // A built-in template with its tables (121 the cube, 122 the full head).
    std::unique_ptr<head3> templateHead(int id, svc::FaceTables& tables) {
        std::string why;
        std::unique_ptr<head3> h;
        {
            files::CurrentModelScope scope;
            h = files::LoadTemplateHead(id, tables, why);
        }
        EXPECT_TRUE(h) << why;
        return h;
    }

public:
    // A w x h 32-bit picture with a pattern of its own.
    static CWinBmp picture(int w, int h, int seed = 0) {
        CWinBmp b;
        b.Create(w, h, 32, false);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                b.SetPixel(x, y, CPixel32((x * 7 + seed) & 255, (y * 5 + seed * 3) & 255, (x * y + seed) & 255, 0));
        return b;
    }

protected:
    static std::vector<uint8_t> bmpFile(int w, int h, int seed = 0) {
        std::string s = files::BmpBytes(picture(w, h, seed));
        return {s.begin(), s.end()};
    }

    // Three points and one drawn line on the photo.
    static std::unique_ptr<head2> marks() {
        files::CurrentModelScope scope;
        auto m = std::make_unique<head2>();
        m->valid = 1;
        const char* names[3] = {"eye_left", "eye_right", "mouth"};
        for (int i = 0; i < 3; ++i) {
            Index<featurepoint2> p = m->photoPoints.add_new(names[i]);
            m->photoPoints[p].position = vector2<double>(20 + 30 * i, 40 + 5 * i);
        }
        Index<featureline2> l = m->photoLines.add_new("chin");
        for (int i = 0; i < 4; ++i) {
            Index<linepoint2> q = m->photoLines[l].add();
            m->photoLines[l][q].position = vector2<double>(10 + 25 * i, 90 - i);
            m->photoLines[l][q].kind = i == 3 ? 2 : 1;
        }
        return m;
    }

    // The small project of the golden files: template 121, a 120 x 100 BMP
    // photo, the marks above, notes "a_b".
    files::ProjectRecord record(int stage, int templateId = 121) {
        files::ProjectRecord r;
        r.stage = stage;
        r.templateId = templateId;
        r.photo.bytes = bmpFile(120, 100);
        int32_t values[11] = {0, 0, 120, 100, 0, 0, 0, 0, 0, 120, 100};
        std::copy(values, values + 11, r.photo.values);
        r.hasPhoto = true;
        CWinBmp photo = picture(120, 100);
        photo.ResizeBilinear(921, 768);
        MakePreview(photo, r.preview);
        r.marks = marks();
        r.frame = {1280, 960};
        for (int i = 0; i < 4; ++i) {
            r.views[i].viewport.width = 640 + i;
            r.views[i].viewport.height = 480;
            r.views[i].zoom = 1.5 + i;
            r.views[i].eye.z = 200 + i;
            r.views[i].panX = float(i);
            r.views[i].reserved[1] = 7 * i;
        }
        r.overlay.principalX = 0.25;
        r.overlay.fitted.width = 800;
        r.overlay.photoToGL.x.a = 1.25;
        r.notes = "a_b";
        r.textureSize = stage == 2500 ? 4 : 512;
        return r;
    }

    // Runs f in a forked child; its exit code (0 when f returned).
    static int inChild(const std::function<int()>& f) {
        pid_t pid = fork();
        if (pid == 0) _exit(f());
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    static std::string tempDir() {
        char pattern[] = "/tmp/files_test_XXXXXX";
        const char* tmp = std::getenv("TMPDIR");
        std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/files_test_XXXXXX";
        std::vector<char> buf(p.begin(), p.end());
        buf.push_back(0);
        (void)pattern;
        return mkdtemp(buf.data());
    }
};

// Every valid file cut every 97 bytes and at each of its last 64 bytes.
inline std::vector<std::size_t> cutPoints(std::size_t size) {
    std::vector<std::size_t> cuts;
    for (std::size_t n = 0; n < size; n += 97) cuts.push_back(n);
    for (std::size_t n = size > 64 ? size - 64 : 0; n < size; ++n) cuts.push_back(n);
    return cuts;
}

}  // namespace filestest
