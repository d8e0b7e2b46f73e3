// The window-free road of one photo (tests/fitting/template_pipeline.h) over
// the real application, document and frame gives what it gives over the
// test doubles.

#include <gtest/gtest.h>

#include <filesystem>

#include "document/ids.h"
#include "fitting/headtophoto.h"
#include "fitting/marks.h"
#include "model/featuretables.h"
#include "fitting/texture.h"
#include "foundation/random.h"
#include "model/octree.h"
#include "shell_fixture.h"
#include "tests/fitting/template_pipeline.h"

namespace {

uint64_t fnv1a(const void* data, size_t n, uint64_t h = 1469598103934665603ull) {
    const unsigned char* b = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
    return h;
}

struct Outcome {
    uint64_t texture = 0, uv = 0, positions = 0;
    bool operator==(const Outcome&) const = default;
};

// Template, coded photo, marks through a known camera, camera search, fit
// and texture.
// afterFit: the overlay view made ready for the texture (its camera over
// the head as the fit left it).
Outcome build(pipeline::Run& run, svc::FaceDocument& doc, const std::function<void()>& afterFit) {
    Outcome o;
    fnd::resetRandom();
    if (!run.loadTemplate()) return o;
    std::string scratch = (std::filesystem::temp_directory_path() / "brv_shell_pipeline.bmp").string();
    run.setCodedPhoto(1200, 900, scratch);
    ProjectionCore known =
        pipeline::Run::cameraOver(run.photoWidth(), run.photoHeight(), {60, 20, 480}, {0, 0, 0}, {0, 1, 0}, 28.0);
    run.markThrough(pipeline::Run::toPhoto(known), [](const vector2<double>& p) {
        return p + vector2<double>(2.0 * std::sin(p.y / 40.0), 1.5 * std::cos(p.x / 50.0));
    });
    CameraFound found;
    if (!run.cameraSearch(&found)) return o;
    HeadToPhotoTrafo();
    afterFit();
    doc.state().textureSize = 256;
    MakeFullTexture(7u);
    head3& h = run.head();
    if (!h.texture) return o;
    o.texture = fnv1a(h.texture->rgb.data(), h.texture->rgb.size());
    o.uv = 1469598103934665603ull;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        for (const auto& c : h.triangles[t].texture) {
            double v[2] = {c.x, c.y};
            o.uv = fnv1a(v, sizeof v, o.uv);
        }
    o.positions = 1469598103934665603ull;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        o.positions = fnv1a(&h.vertices[v].position, sizeof(vector3<double>), o.positions);
    fnd::resetRandom();
    return o;
}

}  // namespace

class PipelineShellTest : public ShellTest {};

TEST_F(PipelineShellTest, RealServicesGiveWhatTheDoublesGive) {
    Outcome doubles;
    {
        pipeline::Run run;
        doubles = build(run, run.services->document, [&] { run.connectOctreeVisibility(); });
        EXPECT_EQ(run.services->mainFrame.views2Calls, 1);
    }
    ASSERT_NE(doubles.texture, 0u);

    ASSERT_TRUE(Start({"--full"}));
    CFaceDoc& d = Doc();
    d.templateId = 122;
    // The two panes the fit asks for are already there (a pane that changes
    // its size refits its camera), but another pane is active.
    driver.Run([&] { Frame().OnViews2(); });
    driver.Run([&] { Frame().m_wndSplitter.SetActivePane(0, 0); });
    ASSERT_EQ(ActivePane(), 0);
    CFaceView* overlay = d.GetViewEdit2D3D<CFaceView>();
    Outcome real;
    {
        // The found camera into the view's own (which keeps its surface
        // for the visibility test).
        auto lay = [&](const ProjectionCore& camera) {
            ProjectionCore* c = overlay->Camera();
            c->setClientSize(camera.clientWidth(), camera.clientHeight());
            c->setCamera(camera.eye(), camera.center(), camera.up(), camera.fovy());
            c->FitToPhoto(d.kernel2D->photo.GetWidth(), d.kernel2D->photo.GetHeight(), camera.principalX(),
                          camera.principalY());
        };
        pipeline::Run run(d.kernel2D, d.kernel3D, lay);
        // As the doubles' overlay: the octree and the size of the head as
        // the fit left them, for a new projection generation.
        auto refresh = [&] {
            head3& h = run.head();
            h.set_actual();
            h.octree().fill();
            h.SetMinMax(false);
            ++generalpoint3::ProjCounter;
        };
        driver.Run([&] { real = build(run, d, refresh); });
    }
    EXPECT_EQ(real, doubles);
    // The fit's call for the two-pane layout reached the splitter: the
    // overlay view's pane is active again.
    EXPECT_EQ(Frame().layout, 2);
    EXPECT_EQ(ActivePane(), 11);
}

namespace {

// What the modelling leaves on the head, in full.
struct Modelled {
    std::vector<vector3<double>> positions;
    std::vector<vector2<double>> uv;
    std::vector<unsigned char> texture;
};

Modelled modelledOf(head3& h) {
    Modelled m;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) m.positions.push_back(h.vertices[v].position);
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        for (const auto& c : h.triangles[t].texture) m.uv.push_back(c);
    if (h.texture) m.texture = h.texture->rgb;
    return m;
}

// The coded photo and the marks a user places on it, seen through a known
// camera (the weights of the table, which the camera step sums).
std::vector<pipeline::Mark> photoAndMarks(pipeline::Run& run) {
    std::string scratch = (std::filesystem::temp_directory_path() / "brv_road_photo.bmp").string();
    run.setCodedPhoto(1200, 900, scratch);
    ProjectionCore known =
        pipeline::Run::cameraOver(run.photoWidth(), run.photoHeight(), {60, 20, 480}, {0, 0, 0}, {0, 1, 0}, 28.0);
    return run.realisticMarks(pipeline::Run::toPhoto(known), 5);
}

void addMarks(pipeline::Run& run, const std::vector<pipeline::Mark>& marks) {
    head2& h = *run.photo->head;
    for (const pipeline::Mark& m : marks) {
        run.addPhotoPoint(m);
        CString code;
        double weight = 0;
        for (int row = 0; GetFeaturePointInfo(row, &code, nullptr, &weight); ++row)
            if (std::string(code.View()) == m.name) h.photoPoints[h.photoPoints.last()].weight = weight;
    }
}

}  // namespace

// The road of the pipeline benchmark (the template as the document loads
// it, camera search, the frame's automatic lines, the octree as the camera
// step leaves it, fit, texture) gives the head and the texture that the
// program's own camera and model steps give on the same photo and marks,
// the camera laid into a view of the client the program's overlay view has
// (its viewport is whole pixels): every position, texture coordinate and
// texel.
TEST_F(PipelineShellTest, TheBenchmarksRoadGivesTheProgramsHead) {
    SetTextureFillSeed(7u);
    ASSERT_TRUE(Start({"--full"}));
    CFaceDoc& d = Doc();
    d.templateId = 122;
    d.textureSize = 256;
    FaceApp()->proMode = 1;
    driver.Run([&] { Frame().KillTimer(kStartTimer); });
    driver.Run([&] { d.LoadTHEResource(122, true); });
    Modelled program;
    int client[2] = {0, 0};  // the overlay view's
    {
        pipeline::Run run(d.kernel2D, d.kernel3D, [](const ProjectionCore&) {});
        addMarks(run, photoAndMarks(run));
        d.stage = 1000;
        driver.Run([&] { Frame().OnCameraMode(); });
        ASSERT_EQ(d.stage, 2000);
        driver.Run([&] { Frame().HideModelessDialogs(); });
        // The two panes the fit asks for are there before it: the overlay
        // view keeps one client through the fit and the texture.
        driver.Run([&] { Frame().OnViews2(); });
        const ProjectionCore* camera = d.GetViewEdit2D3D<CFaceView>()->Camera();
        client[0] = camera->clientWidth();
        client[1] = camera->clientHeight();
        driver.Run([&] { Frame().Model(); });
        ASSERT_EQ(d.stage, 2500);
        program = modelledOf(*d.kernel3D->head);
    }
    Stop();

    Modelled road;
    {
        pipeline::Run run;
        run.overlayClient[0] = client[0];
        run.overlayClient[1] = client[1];
        ASSERT_TRUE(run.loadTemplateAsTheDocument());
        addMarks(run, photoAndMarks(run));
        CameraFound found;
        ASSERT_TRUE(run.cameraSearch(&found));
        CreateAutomaticLines(*run.photo->head, run.head(), 0, true);
        run.connectOctreeVisibility();
        HeadToPhotoTrafo();
        run.services->document.state().textureSize = 256;
        MakeFullTexture();
        road = modelledOf(run.head());
    }
    SetTextureFillSeed(std::nullopt);
    ASSERT_FALSE(road.texture.empty());
    ASSERT_EQ(program.positions.size(), road.positions.size());
    ASSERT_EQ(program.uv.size(), road.uv.size());
    ASSERT_EQ(program.texture.size(), road.texture.size());
    size_t positions = 0, uvs = 0, texels = 0;
    for (size_t k = 0; k < road.positions.size(); ++k) positions += !(program.positions[k] == road.positions[k]);
    for (size_t k = 0; k < road.uv.size(); ++k) uvs += !(program.uv[k] == road.uv[k]);
    for (size_t k = 0; k < road.texture.size(); ++k) texels += program.texture[k] != road.texture[k];
    EXPECT_EQ(positions, 0u) << "of " << road.positions.size();
    EXPECT_EQ(uvs, 0u) << "of " << road.uv.size();
    EXPECT_EQ(texels, 0u) << "texture bytes of " << road.texture.size() << ", overlay client " << client[0] << " x "
                          << client[1];
}
