// The lines a user draws on the curve page are his: walking the steps again
// (Dots, then Next) and saving and opening the project keep them, and the
// curve page comes with them again.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "flow_fixture.h"

class FlowLinesTest : public FlowTest {
protected:
    // Side ("photo" or "head") and name of a line, and its points in photo
    // pixels.
    using Lines = std::map<std::string, std::vector<vector2<double>>>;

    static std::vector<vector2<double>> pointsOf(const featureline2& line) {
        std::vector<vector2<double>> out;
        for (int q = line.first(); q != -1; q = line.nextOf(q)) out.push_back(line[q].position);
        return out;
    }

    // Every line the curve page asks, drawn on the side it asks it: five
    // clicks along the head's line through the known camera, then the right
    // click.
    // The lines as they stood right after drawing.
    Lines DrawAskedLines(const std::map<std::string, vector2<double>>& marks) {
        Lines drawn;
        head2& m = *Doc().kernel2D->head;
        vector2<double> centre(0, 0);
        for (const auto& [name, at] : marks) centre = centre + at * (1.0 / double(marks.size()));
        for (int guard = 0; guard < 80 && Frame().tool == 0 && Frame().toolMode == 1; ++guard) {
            CFaceView* view = Frame().ActiveFaceView();
            const bool photo = view == &Orig2D();
            if (!photo && view != &Overlay()) break;
            CString code;
            if (!GetFeatureLineInfo(view->currentRow, &code)) break;
            auto client = [view](const vector2<double>& p) {
                const vector2<double> c = view->PictureToClient(p);
                return CPoint(int(std::lround(c.x)), int(std::lround(c.y)));
            };
            std::vector<vector2<double>> along = LineMarks(code, 5);
            // A line the head has not (the contours, the user's own lines)
            // goes across the face, each a little lower.
            if (along.empty())
                for (int i = 0; i < 5; ++i) along.emplace_back(centre.x - 60 + 30 * i, centre.y - 80 + 9 * guard + 4 * (i % 2));
            for (const vector2<double>& p : along) driver.Click(view->m_hWnd, client(p));
            driver.Click(view->m_hWnd, client(marks.at("_contour_270")), 1);
            const auto& lines = photo ? m.photoLines : m.overlayLines;
            const Index<featureline2> l = lines.get(code);
            if (l != -1) drawn[(photo ? "photo " : "head ") + std::string(code.View())] = pointsOf(lines[l]);
        }
        return drawn;
    }

    // The lines of those names and sides now (a missing one is empty).
    Lines LinesNow(const Lines& names) {
        Lines now;
        head2& m = *Doc().kernel2D->head;
        for (const auto& [key, points] : names) {
            const bool photo = key.rfind("photo ", 0) == 0;
            const std::string code = key.substr(key.find(' ') + 1);
            const auto& lines = photo ? m.photoLines : m.overlayLines;
            const Index<featureline2> l = lines.get(code.c_str());
            now[key] = l == -1 ? std::vector<vector2<double>>{} : pointsOf(lines[l]);
        }
        return now;
    }

    // The lines where they differ from those drawn (by more than a
    // thousandth of a pixel).
    static std::vector<std::string> Differences(const Lines& drawn, const Lines& now) {
        std::vector<std::string> out;
        for (const auto& [key, points] : drawn) {
            const auto it = now.find(key);
            bool same = it != now.end() && it->second.size() == points.size();
            for (std::size_t i = 0; same && i < points.size(); ++i)
                same = std::hypot(points[i].x - it->second[i].x, points[i].y - it->second[i].y) < 1e-3;
            if (!same) out.push_back(key);
        }
        return out;
    }

    // The model page's Dots, then Next on the point page.
    void DotsThenNext() {
        ASSERT_NE(Page(IDD_MODEL), nullptr);
        ClickId(Page(IDD_MODEL), 1107);
        driver.Pump();
        ASSERT_EQ(Doc().stage, 1000);
        ASSERT_NE(Page(IDD_FEATURES2), nullptr);
        ClickId(Page(IDD_FEATURES2), 1141);
        driver.Pump();
    }
};

TEST_F(FlowLinesTest, DrawnLinesStayThroughTheStepsAndThroughSaveAndOpen) {
    ASSERT_TRUE(StartProgram());
    ShowAlone(Orig2D(), 1600, 900);
    const std::string photo = MakePhoto();
    ASSERT_FALSE(photo.empty());
    StartChoices pro;
    pro.pro = true;
    ASSERT_TRUE(LoadPhoto(photo, pro));
    const auto marks = Marks();
    PlaceAskedPoints(marks);
    DragPointsToMarks(marks);
    ClickId(Page(IDD_FEATURES2), 1141);
    driver.Pump();
    ASSERT_EQ(Doc().stage, 2000);
    ASSERT_NE(Page(IDD_FEATURES3), nullptr);
    const Lines drawn = DrawAskedLines(marks);
    int onPhoto = 0, onHead = 0;
    for (const auto& [key, points] : drawn) (key.rfind("photo ", 0) == 0 ? onPhoto : onHead) += 1;
    ASSERT_GT(onPhoto, 3);
    EXPECT_GT(onHead, 3);
    // Nothing is asked any more.
    EXPECT_EQ(Frame().tool, 1);
    ClickId(Page(IDD_FEATURES3), 1141);
    driver.Pump();
    ASSERT_EQ(Doc().stage, 2500);
    const int automatic = Doc().kernel2D->head->photoLines.count() - onPhoto;

    // The steps again: the curve page comes with the lines as drawn, and
    // the program's own lines are made again from the points.
    DotsThenNext();
    EXPECT_EQ(Doc().stage, 2000);
    ASSERT_NE(Page(IDD_FEATURES3), nullptr);
    EXPECT_EQ(Differences(drawn, LinesNow(drawn)), std::vector<std::string>{});
    EXPECT_EQ(Doc().kernel2D->head->photoLines.count(), onPhoto + automatic);
    ClickId(Page(IDD_FEATURES3), 1141);
    driver.Pump();
    ASSERT_EQ(Doc().stage, 2500);

    // Saved, and opened by a program started anew (Easy until told).
    const std::string project = tmp_.path() + "/lines.fac";
    driver.OnNextFileDialog([&](brv::FileDialogSession& s) { return s.Accept(project) ? IDOK : IDCANCEL; });
    driver.Run([&] { Frame().OnFileSaveFAC(); });
    driver.Run([&] {
        Frame().HideModelessDialogs();
        Doc().FreeMemoryForNewFAC();
    });
    App().proMode = 0;
    driver.OnNextFileDialog([&](brv::FileDialogSession& s) { return s.Accept(project) ? IDOK : IDCANCEL; });
    driver.Run([&] { Frame().OnFileOpenFAC(); });
    driver.Pump();
    ASSERT_EQ(Doc().stage, 2500);
    EXPECT_EQ(Differences(drawn, LinesNow(drawn)), std::vector<std::string>{});
    DotsThenNext();
    EXPECT_EQ(Doc().stage, 2000);
    EXPECT_NE(Page(IDD_FEATURES3), nullptr);
    EXPECT_EQ(Differences(drawn, LinesNow(drawn)), std::vector<std::string>{});
}
