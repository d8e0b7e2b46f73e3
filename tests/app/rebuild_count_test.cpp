// What each step of the work flow rebuilds, counted through the program as
// a user drives it: octree fills, vertex-normal sets, the 3D view's and the
// overlay's display lists and the GL frames rendered. A step builds each
// thing at most once and only when the head it is built from changed; what
// was kept shows what a fresh build shows.

#include <gtest/gtest.h>

#include <functional>

#include "document/project_file.h"
#include "flow_fixture.h"
#include "model/mirror.h"
#include "model/octree.h"
#include "views/build_counts.h"

namespace {

struct Builds {
    long fills = 0, normals = 0, wholeLists = 0, overlayLists = 0, renders = 0, uploads = 0;
    bool operator==(const Builds&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Builds& b) {
    return o << "{fills " << b.fills << ", normals " << b.normals << ", 3D lists " << b.wholeLists
             << ", overlay lists " << b.overlayLists << ", renders " << b.renders << ", uploads " << b.uploads << "}";
}

Builds now() {
    const views::BuildCounts& v = views::buildCounts();
    return {headBuildCounts().octreeFills, headBuildCounts().normalSets, v.wholeLists, v.overlayLists, v.renders,
            v.uploads};
}

Builds operator-(const Builds& a, const Builds& b) {
    return {a.fills - b.fills, a.normals - b.normals, a.wholeLists - b.wholeLists, a.overlayLists - b.overlayLists,
            a.renders - b.renders, a.uploads - b.uploads};
}

}  // namespace

class RebuildCountTest : public FlowTest {
protected:
    // The program with the photo loaded and the page's points placed.
    void ToThePointPage() {
        ASSERT_TRUE(StartProgram());
        ShowAlone(Orig2D(), 1600, 900);
        const std::string photo = MakePhoto();
        ASSERT_FALSE(photo.empty());
        StartChoices choices;
        choices.crop = CRect(20, 10, 500, 400);
        ASSERT_TRUE(LoadPhoto(photo, choices));
        ASSERT_NE(Page(IDD_FEATURES2), nullptr);
        ASSERT_EQ(PlaceAskedPoints(Marks()), 3);
    }
    void Next(int layout) {
        HWND page = Page(layout);
        ASSERT_NE(page, nullptr);
        ClickId(page, 1141);
        driver.Pump();
    }
    // The 3D view alone, painted; its pixels.
    viewtest::Picture Shown3D() {
        ShowAlone(View3D(), 640, 480);
        Paint(View3D());
        return Grab(View3D());
    }
    // The same frame from a new context: every list and the texture made
    // anew, nothing kept.
    viewtest::Picture Fresh3D() {
        driver.Run([&] {
            View3D().core().OnDestroy();
            View3D().core().OnCreate();
            View3D().InitializeModelForOpenGL();
            View3D().UploadTexture();
        });
        Paint(View3D());
        return Grab(View3D());
    }
    // The head's texture replaced by a new one that takes over its texel
    // block, each texel xor'ed with bits: the same address, other texels.
    static void TextureInTheSameBlock(head3& h, unsigned char bits) {
        auto next = std::make_unique<TextureImage>();
        next->width = h.texture->width;
        next->height = h.texture->height;
        next->rgb = std::move(h.texture->rgb);
        for (unsigned char& c : next->rgb) c = static_cast<unsigned char>(c ^ bits);
        h.texture = std::move(next);
    }
    // Where rays through the 3D view's client meet the head: the hit points
    // of a grid (a miss as a point far away).
    std::vector<vector3<double>> Hits() {
        std::vector<vector3<double>> out;
        const CSize c = ViewsTest::ClientOf(View3D());
        for (int y = 0; y < c.cy; y += 23)
            for (int x = 0; x < c.cx; x += 19) {
                SurfaceHit hit;
                out.push_back(View3D().core().castRay(vector2<double>(x, y), &hit) ? hit.point
                                                                                      : vector3<double>(1e9, 1e9, 1e9));
            }
        return out;
    }
};

TEST_F(RebuildCountTest, EachStepBuildsWhatItChangedOnce) {
    ToThePointPage();
    const std::string project = tmp_.path() + "/p.fac";
    struct Step {
        const char* name;
        std::function<void()> run;
        Builds want;
    } steps[] = {
        // The template read again by the photo and the point page gives the
        // same head: nothing is built for it twice.
        {"camera (the template again)", [&] { Next(IDD_FEATURES2); }, {0, 0, 1, 0, 1, 0}},
        // The fitted, textured head: its octree, normals, lists and texture
        // once, for all the model page asks (its refresh finds them made).
        {"model", [&] { Next(IDD_FEATURES3); }, {1, 1, 1, 1, 2, 1}},
        {"mirror", [&] { driver.Run([&] { OnMirror('R'); }); }, {1, 1, 1, 0, 1, 1}},
        {"new project",
         [&] {
             driver.Run([&] {
                 Doc().SaveFACFile(project.c_str(), "b", false);
                 Frame().OnFileNew();
             });
         },
         {0, 1, 1, 1, 0, 0}},
        {"project open",
         [&] {
             driver.OnNextFileDialog([&](brv::FileDialogSession& s) { return s.Accept(project) ? IDOK : IDCANCEL; });
             driver.Run([&] { Frame().OnFileOpenFAC(); });
         },
         // One frame, of the view the two-pane layout shows (none at the
         // panes the layout before had).
         {1, 1, 1, 1, 1, 1}},
        {"template load", [&] { driver.Run([&] { Doc().LoadTHEResource(unsigned(Doc().templateId), true); }); },
         {1, 1, 1, 1, 1, 0}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        const Builds before = now();
        s.run();
        driver.Pump();
        EXPECT_EQ(now() - before, s.want);
    }
    EXPECT_EQ(Doc().stage, 2500);
}

TEST_F(RebuildCountTest, WhatWasKeptShowsWhatAFreshBuildShows) {
    ToThePointPage();
    // The camera step kept the octree and the lists of the template read
    // again; the model step kept its frames across the model page's refresh.
    Next(IDD_FEATURES2);
    ASSERT_EQ(Doc().stage, 2000);
    const std::vector<vector3<double>> kept = Hits();
    head3& h = *Doc().kernel3D->head;
    h.set_actual();
    // The head's tree filled anew from its own triangles.
    h.octree().fill();
    EXPECT_EQ(Hits(), kept);
    const viewtest::Picture lit = Shown3D();
    EXPECT_EQ(lit.pixels, Fresh3D().pixels);

    Next(IDD_FEATURES3);
    ASSERT_EQ(Doc().stage, 2500);
    const viewtest::Picture textured = Shown3D();
    EXPECT_EQ(textured.pixels, Fresh3D().pixels);
    EXPECT_NE(textured.pixels, lit.pixels);
}

TEST_F(RebuildCountTest, ATextureOnlyChangeRebuildsTheTexturedListAlone) {
    ToThePointPage();
    Next(IDD_FEATURES2);
    Next(IDD_FEATURES3);
    ASSERT_EQ(Doc().stage, 2500);
    head3& h = *Doc().kernel3D->head;
    const viewtest::Picture before = Shown3D();
    struct Case {
        const char* name;
        std::function<void()> change;
        Builds want;
    } cases[] = {
        // Told, but nothing moved: nothing is built again.
        {"nothing", [&] { h.Changed(); }, {0, 0, 0, 0, 0, 0}},
        // The texture coordinates turned about the middle: the textured
        // list and the frame, not the octree, the normals or the overlay.
        {"texture coordinates",
         [&] {
             for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
                 for (vector2<double>& uv : h.triangles[t].texture) uv = vector2<double>(1 - uv.x, 1 - uv.y);
             h.Changed();
         },
         {0, 0, 1, 0, 1, 0}},
        // And back: the first list's frame again.
        {"texture coordinates back",
         [&] {
             for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
                 for (vector2<double>& uv : h.triangles[t].texture) uv = vector2<double>(1 - uv.x, 1 - uv.y);
             h.Changed();
         },
         {0, 0, 1, 0, 1, 0}},
        // One vertex moved: everything made from the geometry.
        {"a vertex",
         [&] {
             h.vertices[h.vertices.first()].position += vector3<double>(0, 0, 1);
             h.Changed();
         },
         {1, 1, 1, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Builds was = now();
        c.change();
        driver.Run([&] {
            View3D().InitializeModelForOpenGL(1);
            Overlay().InitializeModelForOpenGL();
        });
        Paint(View3D());
        EXPECT_EQ(now() - was, c.want);
        if (std::string(c.name) == "texture coordinates back") { EXPECT_EQ(Grab(View3D()).pixels, before.pixels); }
    }
}

TEST_F(RebuildCountTest, StepsWalkedBackAndAgainFindTheirListsMade) {
    ToThePointPage();
    Next(IDD_FEATURES2);
    ASSERT_EQ(Doc().stage, 2000);
    // Back to the point page: the template read again, lit; then the camera
    // step again, textured. Both lists were made for this head before.
    const Builds atCamera = now();
    HWND curves = Page(IDD_FEATURES3);
    ASSERT_NE(curves, nullptr);
    ClickId(curves, 1107);
    driver.Pump();
    ASSERT_EQ(Doc().stage, 1000);
    ASSERT_NE(Page(IDD_FEATURES2), nullptr);
    EXPECT_EQ((now() - atCamera).wholeLists, 0);
    Next(IDD_FEATURES2);
    ASSERT_EQ(Doc().stage, 2000);
    const Builds walked = now() - atCamera;
    EXPECT_EQ(walked.wholeLists, 0);
    EXPECT_EQ(walked.fills, 0);
    // The kept textured list draws what a fresh one draws, and so does the
    // lit one the point page shows.
    const viewtest::Picture textured = Shown3D();
    EXPECT_EQ(textured.pixels, Fresh3D().pixels);
    driver.Run([&] {
        Doc().stage = 1000;
        View3D().InitializeModelForOpenGL();
    });
    const Builds before = now();
    const viewtest::Picture lit = Shown3D();
    EXPECT_EQ((now() - before).wholeLists, 0);
    EXPECT_NE(lit.pixels, textured.pixels);
    EXPECT_EQ(lit.pixels, Fresh3D().pixels);
}

TEST_F(RebuildCountTest, TheSameTexelsAreNotUploadedAgain) {
    ToThePointPage();
    Next(IDD_FEATURES2);
    Next(IDD_FEATURES3);
    ASSERT_EQ(Doc().stage, 2500);
    head3& h = *Doc().kernel3D->head;
    ASSERT_TRUE(h.texture);
    const viewtest::Picture before = Shown3D();
    struct Case {
        const char* name;
        std::function<void()> change;
        long uploads, renders;
    } cases[] = {
        // The model page's refresh with nothing changed: no upload, the
        // frame kept.
        {"the same texels", [] {}, 0, 0},
        // Texels changed where they lie (the age page's way): uploaded
        // and drawn.
        {"texels changed in place",
         [&] {
             for (unsigned char& c : h.texture->rgb) c = static_cast<unsigned char>(255 - c);
             h.texture->Changed();
         },
         1, 1},
        {"and back",
         [&] {
             for (unsigned char& c : h.texture->rgb) c = static_cast<unsigned char>(255 - c);
             h.texture->Changed();
         },
         1, 1},
        // A new texture whose texels lie where the last one's lay (as a
        // project opened after another may get them): uploaded and drawn.
        {"a new texture in the old one's block", [&] { TextureInTheSameBlock(h, 0x5A); }, 1, 1},
        {"and back", [&] { TextureInTheSameBlock(h, 0x5A); }, 1, 1},
        // A copy of the texture as it is: nothing to upload.
        {"a copy of the same texels", [&] { h.texture = std::make_unique<TextureImage>(*h.texture); }, 0, 0},
        // Another reduction put where the upload's lay: the upload's made
        // again.
        {"a new reduction in the old one's place",
         [&] {
             if (h.reducedTexture) *h.reducedTexture = TextureImage();
         },
         h.texture->width > 512, h.texture->width > 512},
        // The head's reduction (of a texture over 512) dropped, as a new
        // project drops it: made again.
        {"the reduction gone", [&] { h.reducedTexture.reset(); }, h.texture->width > 512, h.texture->width > 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        const long uploads = views::buildCounts().uploads, renders = views::buildCounts().renders;
        driver.Run([&] { View3D().UploadTexture(); });
        Paint(View3D());
        EXPECT_EQ(views::buildCounts().uploads - uploads, c.uploads);
        EXPECT_EQ(views::buildCounts().renders - renders, c.renders);
        EXPECT_EQ(Grab(View3D()).pixels, Fresh3D().pixels);
        EXPECT_EQ(h.reducedTexture != nullptr, h.texture->width > 512);
    }
    EXPECT_EQ(Grab(View3D()).pixels, before.pixels);
}

// The model's rebuild (as a project opened, a mirror or a texture made
// calls it) shows the head's present texture, whatever address its texels
// have, and leaves the reduction of those texels.
TEST_F(RebuildCountTest, TheRebuildUploadsEveryNewOrChangedTexture) {
    ToThePointPage();
    Next(IDD_FEATURES2);
    Next(IDD_FEATURES3);
    ASSERT_EQ(Doc().stage, 2500);
    head3& h = *Doc().kernel3D->head;
    ASSERT_TRUE(h.texture);
    const viewtest::Picture before = Shown3D();
    struct Case {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"a new texture in the old one's block", [&] { TextureInTheSameBlock(h, 0xFF); }},
        {"and back", [&] { TextureInTheSameBlock(h, 0xFF); }},
        {"mirrored", [&] { driver.Run([&] { OnMirror('R'); }); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> was = h.texture->rgb;
        const long uploads = views::buildCounts().uploads;
        c.change();
        ASSERT_NE(h.texture->rgb, was);
        driver.Run([&] { View3D().InitializeModelForOpenGL(); });
        const viewtest::Picture shown = Shown3D();
        EXPECT_EQ(views::buildCounts().uploads - uploads, 1);
        const std::vector<unsigned char> reduction = h.reducedTexture ? h.reducedTexture->rgb : std::vector<unsigned char>();
        EXPECT_EQ(shown.pixels, Fresh3D().pixels);
        EXPECT_EQ(reduction, h.reducedTexture ? h.reducedTexture->rgb : std::vector<unsigned char>());
        if (std::string(c.name) == "and back") {
            EXPECT_EQ(shown.pixels, before.pixels);
        }
    }
}

// A modelled project opened paints its views where the two-pane layout
// puts them, not first where the layout before had them: each GL view it
// shows renders once, one it hides not at all, and the frame shows what a
// fresh paint of every pane shows.
TEST_F(RebuildCountTest, AnOpenedProjectIsPaintedWhereItsLayoutPutsIt) {
    ToThePointPage();
    Next(IDD_FEATURES2);
    Next(IDD_FEATURES3);
    ASSERT_EQ(Doc().stage, 2500);
    const std::string project = tmp_.path() + "/p.fac";
    driver.Run([&] {
        Doc().SaveFACFile(project.c_str(), "b", false);
        Frame().OnFileNew();
    });
    driver.Pump();
    const long renders = views::buildCounts().renders;
    driver.OnNextFileDialog([&](brv::FileDialogSession& s) { return s.Accept(project) ? IDOK : IDCANCEL; });
    driver.Run([&] { Frame().OnFileOpenFAC(); });
    driver.Pump();
    ASSERT_EQ(Doc().stage, 2500);
    long shown = 0;
    for (CFaceView* v : {static_cast<CFaceView*>(&View3D()), static_cast<CFaceView*>(&Overlay())})
        shown += v->IsWindowVisible() && ViewsTest::ClientOf(*v).cx > 0 && ViewsTest::ClientOf(*v).cy > 0;
    EXPECT_EQ(views::buildCounts().renders - renders, shown);
    const viewtest::Picture opened = GrabFrame();
    driver.Run([&] {
        View3D().core().OnDestroy();
        View3D().core().OnCreate();
        View3D().InitializeModelForOpenGL();
        View3D().UploadTexture();
        Overlay().core().OnDestroy();
        Overlay().core().OnCreate();
        Overlay().InitializeModelForOpenGL();
    });
    for (CFaceView* v : AllViews()) Paint(*v);
    EXPECT_EQ(GrabFrame().pixels, opened.pixels);
}

TEST_F(RebuildCountTest, TheOverlaysListIsMadeWhenAFrameDrawsTheHeadAsTheHeadWasWhenGiven) {
    ToThePointPage();
    Next(IDD_FEATURES2);
    ASSERT_EQ(Doc().stage, 2000);
    // The steps' overlay shows the photo and the marks, not the head: its
    // list is never made in GL.
    const long made = views::buildCounts().overlayListsMade;
    Next(IDD_FEATURES3);
    ASSERT_EQ(Doc().stage, 2500);
    EXPECT_EQ(views::buildCounts().overlayListsMade, made);
    head3& h = *Doc().kernel3D->head;
    auto shown = [&] {
        ShowAlone(Overlay(), 640, 480);
        Paint(Overlay());
        return Grab(Overlay());
    };
    auto fresh = [&] {
        driver.Run([&] {
            Overlay().core().OnDestroy();
            Overlay().core().OnCreate();
            Overlay().InitializeModelForOpenGL();
        });
    };
    auto move = [&](double dx) {
        for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
            h.vertices[v].position += vector3<double>(dx, 0, 0);
        h.Changed();
    };
    // A photo of a set beyond the first: the overlay draws the head.
    Doc().photoNumber = 1;
    fresh();
    const viewtest::Picture given = shown();
    EXPECT_EQ(views::buildCounts().overlayListsMade, made + 1);
    // Given, then moved before a frame drew it: drawn as given.
    fresh();
    move(15);
    EXPECT_EQ(shown().pixels, given.pixels);
    EXPECT_EQ(views::buildCounts().overlayListsMade, made + 2);
    // Given again, moved: the moved head, made once for all frames.
    driver.Run([&] { Overlay().InitializeModelForOpenGL(); });
    const viewtest::Picture moved = shown();
    EXPECT_NE(moved.pixels, given.pixels);
    EXPECT_EQ(views::buildCounts().overlayListsMade, made + 3);
    // A frame of another size draws the same list.
    ShowAlone(Overlay(), 600, 450);
    Paint(Overlay());
    EXPECT_EQ(views::buildCounts().overlayListsMade, made + 3);
    move(-15);
    Doc().photoNumber = 0;
}
