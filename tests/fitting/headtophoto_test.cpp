#include "fitting/headtophoto.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

#include "fitting/kernel2d.h"
#include "framework/backend.h"
#include "fitting/kernel3d.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "tests/support/fakes.h"
#include "tests/support/test_meshes.h"

namespace {

using Line2 = fnd::vector<vector2<double>>;
using Line3 = fnd::vector<vector3<double>>;

void setList(fnd::dynarray<int>& d, std::initializer_list<int> v) {
    d.resize(0);
    for (int x : v) d.add(x);
}
std::vector<int> listOf(const fnd::dynarray<int>& d) {
    std::vector<int> out;
    for (int i = 0; i < d.size(); ++i) out.push_back(d[i]);
    return out;
}

TEST(AdjustIndices, PairsCommonRowsAndRefusesCrossedOrders) {
    struct Case {
        const char* name;
        std::initializer_list<int> head, photo;
        bool ok;
        int direction;
        std::vector<int> rows;
    } cases[] = {
        {"no common row", {1, 2}, {3}, true, 0, {}},
        {"one common row", {1, 2}, {2, 5}, true, 0, {2}},
        {"same order", {1, 2, 3}, {1, 2, 3}, true, 1, {1, 2, 3}},
        {"opposite order", {1, 2, 3}, {3, 2, 1}, true, -1, {1, 2, 3}},
        {"crossed order", {1, 2, 3}, {2, 1, 3}, false, 0, {}},
        {"extra rows on the photo", {1, 2, 3}, {9, 1, 8, 3}, true, 1, {1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fnd::dynarray<int> h, p;
        setList(h, c.head);
        setList(p, c.photo);
        int direction = 7;
        EXPECT_EQ(adjustIndices(h, p, &direction), c.ok);
        EXPECT_EQ(direction, c.direction);
        EXPECT_EQ(listOf(h), c.rows);
        EXPECT_EQ(listOf(p), c.rows);
    }
}

TEST(CutLinesByPoints, CutsAtTheIndexedPoints) {
    Line3 head;
    Line2 photo;
    for (int i = 0; i < 7; ++i) head.add(vector3<double>(i, 0, 0)), photo.add(vector2<double>(i, 1));
    struct Case {
        const char* name;
        std::initializer_list<int> onHead, onPhoto;
        bool ok;
        std::vector<std::pair<int, int>> pieces;  // first and last x of each head piece
    } cases[] = {
        {"no index: one piece each", {}, {}, true, {{0, 6}}},
        {"two inner points: three pieces", {2, 4}, {2, 4}, true, {{0, 2}, {2, 4}, {4, 6}}},
        {"end points only", {0, 6}, {0, 6}, true, {{0, 6}}},
        {"lists of different length", {2, 4}, {2}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fnd::dynarray<int> h, p;
        setList(h, c.onHead);
        setList(p, c.onPhoto);
        fnd::dynarray<Line3> hp;
        fnd::dynarray<Line2> pp;
        EXPECT_EQ(cutLinesByPoints(h, p, head, photo, hp, pp), c.ok);
        ASSERT_EQ(size_t(hp.size()), c.pieces.size());
        ASSERT_EQ(pp.size(), hp.size());
        for (size_t k = 0; k < c.pieces.size(); ++k) {
            EXPECT_EQ(hp[int(k)][0].x, c.pieces[k].first);
            EXPECT_EQ(hp[int(k)][hp[int(k)].size() - 1].x, c.pieces[k].second);
            EXPECT_EQ(pp[int(k)].size(), hp[int(k)].size());
        }
    }
}

TEST(CorrectDirection, ReversesOnlyLinesRunningAgainstTheSource) {
    struct Case {
        vector2<double> end;
        bool reversed;
    } cases[] = {{{-10, 0}, true}, {{0, 10}, false}, {{10, 1}, false}, {{0, 0}, false}};
    for (const Case& c : cases) {
        Line2 source, photo;
        source.add({0, 0});
        source.add({10, 0});
        photo.add({0, 0});
        photo.add(c.end);
        int direction = 0;
        correctDirection(source, photo, direction);
        EXPECT_EQ(photo[c.reversed ? 0 : 1], c.end);
        EXPECT_EQ(direction, c.reversed ? -1 : 0);
    }
}

// The sheet of the warp tests, with feature points and a drawn line on it,
// posed under a perspective camera; the marks are the projected features
// moved a little.
class HeadToPhotoTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetModelState();
        resetFeatureTables();
        installFeatureTable(kTablePoints,
                            "a,\ta,\t1.0,\t1,\t0,\t0,\t0,\t0,\ta,\ta,\n"
                            "b,\tb,\t1.0,\t1,\t0,\t0,\t0,\t0,\tb,\tb,\n"
                            "c,\tc,\t1.0,\t1,\t0,\t0,\t0,\t0,\tc,\tc,\n"
                            "d,\td,\t1.0,\t1,\t0,\t0,\t0,\t0,\td,\td,\n"
                            "e@A,\te@A,\t1.0,\t1,\t0,\t0,\t0,\t0,\te,\te,\n"
                            "f@A,\tf@A,\t1.0,\t1,\t0,\t0,\t0,\t0,\tf,\tf,\n");
        installFeatureTable(kTableLines,
                            "chain,\tchain,\t2222,\tchain,\tchain,\t11,\t0,\t0,\t0,\n"
                            "brow,\tbrow,\t3333,\tbrow,\tbrow,\t11,\t0,\t0,\t0,\n"
                            "lip,\tlip,\t3333,\tlip,\tlip,\t11,\t0,\t0,\t0,\n"
                            "pair@A,\tpair@A,\t2222,\tpair,\tpair,\t11,\t0,\t0,\t0,\n");
        installFeatureTable(kTableLinePoints, "chain,\ta,\tb,\npair@A,\te@A,\tf@A,\n");
        services = std::make_unique<fakes::Services>();
        services->app.state().pictureEditor = 0;
        services->document.state().templateId = 122;
        photo = std::make_unique<CKernel2D>(&services->document);
        photo->photo.Create(640, 480, 32, false);
        heads = std::make_unique<CKernel3D>(&services->document);
        services->document.photo = photo.get();
        services->document.head = heads.get();
        cam = htraf3<double>(matrix44<double>(800, 0, 0, 0, 0, 800, 0, 0, -320, -240, 1, -1, 320 * 600, 240 * 600, 0, 600));
        services->viewEdit2D3D.openGL2htraf = cam;

        head3& h = *heads->head;
        std::vector<vector3<double>> p;
        std::vector<std::array<int, 3>> f;
        for (int j = 0; j < 7; ++j)
            for (int i = 0; i < 7; ++i) p.push_back({i * 15.0 - 45, j * 15.0 - 45, ((i * 7 + j * 3) % 5) * 3.0});
        for (int j = 0; j < 6; ++j)
            for (int i = 0; i < 6; ++i) {
                int a = j * 7 + i;
                f.push_back({a, a + 1, a + 8});
                f.push_back({a, a + 8, a + 7});
            }
        // A separate triangle in group 1 (an eye, say).
        p.push_back({0, 0, 40});
        p.push_back({5, 0, 40});
        p.push_back({0, 5, 40});
        f.push_back({49, 50, 51});
        mesh = testmesh::build(h, p, f);
        h.triangles[mesh.triangles.back()].group = 1;
        svc::FaceTables& tables = services->document.faceTables;
        tables.groups.resize(2);
        tables.headGroup = 0;

        // Feature points a, b, c, d at vertices; the head line "brow" through c and d.
        const char* names[] = {"a", "b", "c", "d"};
        int at[] = {8, 12, 29, 33};
        for (int k = 0; k < 4; ++k) {
            Index<featurepoint3> fp = h.addFeaturepoint(names[k], true);
            h.featurepoints[fp].vtx = mesh.vertices[size_t(at[k])];
            h.featurepoints[fp].used = 1;
        }
        Index<featureline3> brow = h.addFeatureline("brow", true);
        h.featurelines[brow].used = 1;
        for (int k = 28; k <= 34; ++k) {
            Index<linepoint3> lp = h.featurelines[brow].add();
            h.featurelines[brow][lp].vtx = mesh.vertices[size_t(k)];
        }
    }
    void TearDown() override {
        heads.reset();
        photo.reset();
        services.reset();
        resetFeatureTables();
        resetModelState();
    }
    head3& head() { return *heads->head; }
    vector2<double> projected(const vector3<double>& p) {
        vector3<double> q = (p * cam).vec3();
        return {q.x, q.y};
    }
    vector2<double> shift(const vector2<double>& q) { return q + vector2<double>(3 + 0.01 * q.y, -2 + 0.005 * q.x); }
    void markPoint(const char* name, int vertexIndex) {
        head2& m = *photo->head;
        Index<featurepoint2> i = m.photoPoints.add();
        m.photoPoints[i].set_name(name, false);
        m.photoPoints[i].position = shift(projected(head().vertices[mesh.vertices[size_t(vertexIndex)]].position));
    }
    // The drawn photo line: projected head line points, moved, optionally reversed.
    void markLine(const char* name, std::vector<int> vertices, bool reversed) {
        if (reversed) std::reverse(vertices.begin(), vertices.end());
        head2& m = *photo->head;
        Index<featureline2> l = m.photoLines.add();
        m.photoLines[l].set_name(name, false);
        for (int k : vertices) {
            Index<linepoint2> lp = m.photoLines[l].add();
            m.photoLines[l][lp].position = shift(projected(head().vertices[mesh.vertices[size_t(k)]].position));
        }
    }
    double error(int vertexIndex, const vector2<double>& target) {
        vector2<double> q = projected(head().vertices[mesh.vertices[size_t(vertexIndex)]].position);
        return (q - target).length();
    }

    std::unique_ptr<fakes::Services> services;
    std::unique_ptr<CKernel2D> photo;
    std::unique_ptr<CKernel3D> heads;
    testmesh::Mesh mesh;
    htraf3<double> cam;
};

TEST_F(HeadToPhotoTest, HeadFeaturesLandOnTheirMarks) {
    markPoint("a", 8);
    markPoint("b", 12);
    markPoint("c", 29);
    markPoint("d", 33);
    std::vector<int> line = {28, 29, 30, 31, 32, 33, 34};
    std::vector<vector2<double>> targets;
    for (int k : line) targets.push_back(shift(projected(head().vertices[mesh.vertices[size_t(k)]].position)));
    vector2<double> ta = shift(projected(head().vertices[mesh.vertices[8]].position));
    vector2<double> tb = shift(projected(head().vertices[mesh.vertices[12]].position));
    markLine("brow", line, true);  // drawn the other way round

    fnd::vector<trafdef22> features = HeadToPhotoFeatures();
    // The chain a-b, and the brow cut at c and d into three pieces.
    EXPECT_EQ(features.size(), 4);
    // Without the group step the centroid is not put back, so the marks
    // (all moved the same way here) are met exactly.
    services->app.state().pictureEditor = 1;

    services->progress.Open(0, 10, "Changing geometry", false);
    HeadToPhotoTrafo();
    EXPECT_EQ(services->progress.steps, 2);
    EXPECT_EQ(services->mainFrame.views2Calls, 2);  // once for each gathering of the features
    EXPECT_LT(error(8, ta), 1e-6);
    EXPECT_LT(error(12, tb), 1e-6);
    for (size_t k = 0; k < line.size(); ++k) EXPECT_LT(error(line[k], targets[k]), 1.0) << k;
    EXPECT_EQ(services->viewEdit2D3D.initializeCalls, 1);
    EXPECT_EQ(services->viewEdit3D.redrawFlagAtRedraw, std::vector<bool>{false});
}

TEST_F(HeadToPhotoTest, GroupsMoveRigidlyAndTheCentroidKeepsItsDepth) {
    markPoint("a", 8);
    markPoint("b", 12);
    vector3<double> C0(0, 0, 0);
    for (Index<vertex> v : mesh.vertices) C0 += head().vertices[v].position;
    C0 = C0 * (1.0 / double(mesh.vertices.size()));
    std::vector<vector3<double>> eye;
    for (int k : {49, 50, 51}) eye.push_back(head().vertices[mesh.vertices[size_t(k)]].position);

    HeadToPhotoTrafo();
    vector3<double> C1(0, 0, 0);
    for (Index<vertex> v : mesh.vertices) C1 += head().vertices[v].position;
    C1 = C1 * (1.0 / double(mesh.vertices.size()));
    // Back to its depth along the line of sight, not across it: the warp
    // moved the centroid sideways, and that move stays.
    vector3<double> sight = lineOfSight(cam, C1);
    EXPECT_NEAR(sight.length(), 1.0, 1e-12);
    EXPECT_LT(std::fabs((C1 - C0) * sight), 1e-9);
    EXPECT_GT((C1 - C0).length(), 0.1);
    vector3<double> move = head().vertices[mesh.vertices[49]].position - eye[0];
    EXPECT_GT(move.length(), 0.1);
    for (int k : {1, 2}) {
        vector3<double> m = head().vertices[mesh.vertices[size_t(49 + k)]].position - eye[size_t(k)];
        EXPECT_LT((m - move).length(), 1e-9);
    }
    EXPECT_LT((services->document.faceTables.groups[1].value - move).length(), 1e-9);

    // A second run with marks that already hold: the group moves by this
    // run's change only, not by the offset gathered so far.
    head2& m = *photo->head;
    for (int i = m.photoPoints.first(); i != -1; i = m.photoPoints.nextOf(i)) {
        int at = std::string(m.photoPoints[i].name()) == "a" ? 8 : 12;
        m.photoPoints[i].position = projected(head().vertices[mesh.vertices[size_t(at)]].position);
    }
    vector3<double> before = head().vertices[mesh.vertices[49]].position;
    HeadToPhotoTrafo();
    EXPECT_LT((head().vertices[mesh.vertices[49]].position - before).length(), 1e-6);
}

TEST_F(HeadToPhotoTest, ALineThatCannotBeCutIsLeftOutAndTheRestStillFits) {
    markPoint("a", 8);
    markPoint("b", 12);
    markPoint("c", 29);
    markPoint("d", 33);
    // The brow's photo line runs c, ..., d but the head line is cut at a
    // third point e only on the photo: use a crossed order instead (d before c).
    head2& marks = *photo->head;
    Index<featureline2> l = marks.photoLines.add();
    marks.photoLines[l].set_name("brow", false);
    for (int k : {28, 33, 30, 29, 34}) {
        Index<linepoint2> lp = marks.photoLines[l].add();
        marks.photoLines[l][lp].position = shift(projected(head().vertices[mesh.vertices[size_t(k)]].position));
    }
    // Crossed on a three-row line: add a third common point "b" to the head line.
    Index<featureline3> brow = head().getFeatureline("brow", true);
    Index<linepoint3> extra = head().featurelines[brow].add();
    head().featurelines[brow][extra].vtx = mesh.vertices[12];
    Index<linepoint2> lp = marks.photoLines[l].add();
    marks.photoLines[l][lp].position = shift(projected(head().vertices[mesh.vertices[12]].position));
    // Head order c, d, b; photo order d, c, b: crossed.
    fnd::vector<trafdef22> features = HeadToPhotoFeatures();
    EXPECT_EQ(features.size(), 1);  // only the chain a-b
    vector2<double> ta = shift(projected(head().vertices[mesh.vertices[8]].position));
    services->app.state().pictureEditor = 1;
    HeadToPhotoTrafo();
    EXPECT_LT(error(8, ta), 1e-6);
}

// The document's photo number chooses the features: the first photo uses
// the plain codes, the n-th refinement photo (negative while its crop page
// is open) those ending "@" and the n-th capital letter.
TEST_F(HeadToPhotoTest, ThePhotoNumberOfTheDocumentChoosesTheFeatures) {
    const char* names[] = {"e@A", "f@A"};
    int at[] = {16, 18};
    for (int k = 0; k < 2; ++k) {
        Index<featurepoint3> fp = head().addFeaturepoint(names[k], true);
        head().featurepoints[fp].vtx = mesh.vertices[size_t(at[k])];
        head().featurepoints[fp].used = 1;
    }
    markPoint("a", 8);
    markPoint("b", 12);
    markPoint("e@A", 16);
    markPoint("f@A", 18);
    struct Case {
        int photoNumber;
        std::vector<int> chain;  // the vertices of the one chain found, none: no feature
    } cases[] = {{0, {8, 12}}, {1, {16, 18}}, {-1, {16, 18}}, {2, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.photoNumber);
        services->document.state().photoNumber = c.photoNumber;
        fnd::vector<trafdef22> features = HeadToPhotoFeatures();
        ASSERT_EQ(size_t(features.size()), c.chain.empty() ? 0u : 1u);
        if (c.chain.empty()) continue;
        // The chain runs from its first point to its last, resampled between.
        const trafdef22& f = features[0];
        ASSERT_GT(f.from.size(), 1);
        int ends[] = {0, f.from.size() - 1};
        for (int k = 0; k < 2; ++k) {
            vector2<double> p = projected(head().vertices[mesh.vertices[size_t(c.chain[size_t(k)])]].position);
            EXPECT_LT((f.from[ends[k]] - p).length(), 1e-9);
            EXPECT_LT((f.to[ends[k]] - shift(p)).length(), 1e-9);
        }
    }
    // The fit itself follows the document: the refinement photo's points
    // land on their marks, the first photo's are only carried along.
    services->app.state().pictureEditor = 1;
    services->document.state().photoNumber = -1;
    vector2<double> te = shift(projected(head().vertices[mesh.vertices[16]].position));
    vector2<double> ta = shift(projected(head().vertices[mesh.vertices[8]].position));
    HeadToPhotoTrafo();
    EXPECT_LT(error(16, te), 1e-6);
    EXPECT_GT(error(8, ta), 1e-3);
}

// Moving a point along the line of sight leaves its image where it was; the
// direction points along the ray from the eye.
TEST_F(HeadToPhotoTest, TheLineOfSightKeepsTheImage) {
    // cam's eye: the point whose image has w = 0 and no x, y.
    for (const vector3<double>& p : {vector3<double>(0, 0, 0), vector3<double>(40, -25, 12), vector3<double>(-70, 33, -20)}) {
        vector3<double> u = lineOfSight(cam, p);
        ASSERT_NEAR(u.length(), 1.0, 1e-12);
        vector2<double> a = projected(p), b = projected(p + u * 50.0);
        EXPECT_LT((a - b).length(), 1e-9);
        // Any other direction moves the image.
        EXPECT_GT((projected(p + (u % vector3<double>(1, 0.3, 0.2)).normalized() * 5.0) - a).length(), 1.0);
        // The part of a move along the line.
        vector3<double> d(3, -4, 12);
        EXPECT_NEAR((alongLineOfSight(cam, p, d) - u * (u * d)).length(), 0.0, 1e-12);
    }
}

// A mark that is not a number, or far off the photo, would throw the head
// apart: the fit says so and leaves the head.
TEST_F(HeadToPhotoTest, MarksOffThePhotoAreRefusedWithAMessage) {
    struct Case {
        const char* what;
        vector2<double> at;
        std::string message;
    } cases[] = {
        {"not a number", {std::nan(""), 10}, "The mark b lies outside the photo."},
        {"far left of the photo", {-700, 100}, "The mark b lies outside the photo."},
        {"below the photo by more than its height", {100, 961}, "The mark b lies outside the photo."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        brv::DefaultHeadlessBackend().Reset();
        head2& m = *photo->head;
        while (m.photoPoints.first() != -1) m.photoPoints.remove_index(m.photoPoints.first());
        markPoint("a", 8);
        markPoint("b", 12);
        m.photoPoints[m.photoPoints.last()].position = c.at;
        vector3<double> before = head().vertices[mesh.vertices[20]].position;
        HeadToPhotoTrafo();
        EXPECT_EQ(head().vertices[mesh.vertices[20]].position, before);
        auto boxes = brv::DefaultHeadlessBackend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.message);
    }
    brv::DefaultHeadlessBackend().Reset();
}

TEST_F(HeadToPhotoTest, AChainWithOnePairAddsNothingAndNoFeatureLeavesTheHead) {
    markPoint("a", 8);
    EXPECT_EQ(HeadToPhotoFeatures().size(), 0);
    vector3<double> before = head().vertices[mesh.vertices[20]].position;
    HeadToPhotoTrafo();
    EXPECT_EQ(head().vertices[mesh.vertices[20]].position, before);
}

}  // namespace

#include "tests/fitting/template_pipeline.h"

namespace {

// Marks moved by a few pixels each, every mark its own way; marks in the
// same place (a line point snapped onto a feature point) move alike.
vector2<double> perMarkDisplacement(const vector2<double>& p) {
    uint64_t h = uint64_t(std::llround(p.x * 1024)) * 0x9E3779B97F4A7C15ull ^
                 uint64_t(std::llround(p.y * 1024)) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    auto unit = [](uint64_t bits) { return double(bits & 0xFFFF) / 0xFFFF * 2 - 1; };
    return p + vector2<double>(2.0 * unit(h), 2.0 * unit(h >> 16));
}

// The template head, marks made through a known camera and then moved a
// few pixels each; after the camera search and the fit, the head's feature
// line points reproject onto their marks as the head stands: the centroid
// step puts back only the centroid's depth, along the line of sight, which
// leaves the image in place.
TEST(HeadToPhotoTemplate, FeatureLinesReprojectOntoTheirMarks) {
    pipeline::Run run;
    ASSERT_TRUE(run.loadTemplate()) << "the template head cannot be read";
    CWinBmp blank;
    blank.Create(1024, 768, 32, false);
    run.setPhoto(blank);
    ProjectionCore known = pipeline::Run::cameraOver(1024, 768, {60, 20, 480}, {0, 0, 0}, {0, 1, 0}, 28.0);
    run.markThrough(pipeline::Run::toPhoto(known), perMarkDisplacement);
    CameraFound found;
    ASSERT_TRUE(run.cameraSearch(&found));

    head3& h = run.head();
    svc::FaceTables& tables = run.services->document.faceTables;
    ASSERT_GE(tables.headGroup, 0);
    vector3<double> C0(0, 0, 0), mainOffset = tables.groups[tables.headGroup].value;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) C0 += h.vertices[v].position;
    C0 = C0 * (1.0 / h.vertices.count());
    HeadToPhotoTrafo();
    vector3<double> C(0, 0, 0);
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) C += h.vertices[v].position;
    C = C * (1.0 / h.vertices.count());
    htraf3<double> cam = run.foundToPhoto();
    vector3<double> sight = lineOfSight(cam, C);
    EXPECT_LT(std::fabs((C - C0) * sight), 1e-9);
    // The main group is warped, not moved rigidly: its offset gathers the
    // centroid step alone, which lies along the line of sight.
    vector3<double> centroidMove = tables.groups[tables.headGroup].value - mainOffset;
    EXPECT_LT((centroidMove - sight * (sight * centroidMove)).length(), 1e-9);

    head2& marks = *run.photo->head;
    double worst = 0;
    int checked = 0;
    for (int i = marks.photoLines.first(); i != -1; i = marks.photoLines.nextOf(i)) {
        Index<featureline3> l = h.getFeatureline(marks.photoLines[i].name(), true);
        if (l == -1) continue;
        const featureline3& line = h.featurelines[l];
        const featureline2& drawn = marks.photoLines[i];
        for (int k = line.first(); k != -1; k = line.nextOf(k)) {
            worst = std::max(worst, pipeline::Run::toDrawnLine(drawn, pipeline::Run::project(cam, line[k].point())));
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
    EXPECT_LT(worst, 0.5);
    std::printf("worst line point off its mark: %.3f px\n", worst);
}

// Without the group step (the picture-editor flow) nothing is put back and
// the lines meet their marks as they are.
TEST(HeadToPhotoTemplate, WithoutTheGroupStepTheLinesMeetTheirMarksExactly) {
    pipeline::Run run;
    ASSERT_TRUE(run.loadTemplate()) << "the template head cannot be read";
    run.services->app.state().pictureEditor = 1;
    CWinBmp blank;
    blank.Create(1024, 768, 32, false);
    run.setPhoto(blank);
    ProjectionCore known = pipeline::Run::cameraOver(1024, 768, {-40, -30, 470}, {0, 10, 0}, {0.05, 1, 0}, 26.0);
    run.markThrough(pipeline::Run::toPhoto(known), [](const vector2<double>& p) {
        return perMarkDisplacement(p) + vector2<double>(2.0 * std::sin(p.y / 40.0), 1.5 * std::cos(p.x / 50.0));
    });
    CameraFound found;
    ASSERT_TRUE(run.cameraSearch(&found));
    HeadToPhotoTrafo();
    EXPECT_LT(run.lineError(), 0.01);
}

}  // namespace
