// The template preparation window over the program's frame and the full
// template head: its lists against the tables read here, the state icons,
// withdrawing, placing and the walk through the missing elements.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/dlgheadfeatures.h"
#include "document/head_files.h"
#include "document/ids.h"
#include "model/featuretables.h"
#include "model/topology.h"
#include "seams/dialogs.h"
#include "tests/views/view_host.h"

namespace {

using brv::HeadlessDriver;

// The rows of a FEATURES text: '#' lines skipped, cells trimmed.
std::vector<std::vector<std::string>> tableRows(int id) {
    std::ifstream in(std::string(BRIVANTA_SOURCE_DIR) + "/resources/FEATURES/" + std::to_string(id) + ".txt");
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cells;
        std::stringstream s(line);
        std::string cell;
        while (std::getline(s, cell, ',')) {
            size_t a = cell.find_first_not_of(" \t\r"), b = cell.find_last_not_of(" \t\r");
            cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
        }
        if (!cells.empty() && !cells[0].empty()) rows.push_back(cells);
    }
    return rows;
}

// The expected lists: (row number, English name).
struct Expected {
    std::vector<std::pair<int, std::string>> points, curves, regions;
};

Expected expectedLists() {
    Expected e;
    auto pts = tableRows(143);
    for (size_t r = 0; r < pts.size(); ++r)
        if (pts[r][0].find('@') == std::string::npos && std::stoi(pts[r][3]) > 0)
            e.points.push_back({int(r), pts[r][8]});
    auto lines = tableRows(151);
    for (size_t r = 0; r < lines.size(); ++r)
        if (lines[r][2].size() >= 3 && (lines[r][2][2] == '1' || lines[r][2][2] == '3'))
            e.curves.push_back({int(r), lines[r][3]});
    auto regs = tableRows(147);
    // The region reader names a region by its fifth column.
    for (size_t r = 0; r < regs.size(); ++r) e.regions.push_back({int(r), regs[r][4]});
    return e;
}

std::string pointCode(int row) {
    CString code;
    GetFeaturePointInfo(row, &code);
    return std::string(code.View());
}
std::string lineCode(int row) {
    CString code;
    GetFeatureLineInfo(row, &code);
    return std::string(code.View());
}

}  // namespace

class HeadPrepTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        ASSERT_TRUE(StartProgram());
        ASSERT_TRUE(TemplateScene());
        // The frame's "Head preparing": the window, then four panes with the
        // 3D view active.
        driver.Run([&] { Frame().OnFeatureToolHead(); });
        driver.Pump();
        dialog = Frame().headPrepDialog;
        ASSERT_NE(dialog, nullptr);
        ASSERT_NE(dialog->m_hWnd, nullptr);
    }
    head3& Head() { return *Doc().kernel3D->head; }
    HWND ListWnd(int id) { return HeadlessDriver::FindControl(dialog->m_hWnd, id); }
    std::vector<int> States(int id) {
        std::vector<int> out;
        for (UINT s : HeadlessDriver::Inspect(ListWnd(id)).itemStates) out.push_back(int(s >> 12));
        return out;
    }
    // A click on an item's state icon or label, apart from the last one in
    // time (no double click).
    void ClickItem(int list, int item, bool stateIcon) {
        driver.AdvanceClock(1000);
        driver.ClickListItem(ListWnd(list), item, stateIcon);
    }
    int Beeps() { return int(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size()); }
    // Places the point of the 3D view's current row as a click of the view
    // would: on the vertex the template had it on, then the page is told.
    void PlaceCurrentRow(const std::map<std::string, int>& vertexOf) {
        const std::string code = pointCode(View3D().currentRow);
        Index<featurepoint3> p = Head().addFeaturepoint(code.c_str(), true);
        Head().featurepoints[p].vtx = vertexOf.at(code);
        add_featurepoint(p);
        driver.Run([&] {
            Frame().tool = 1;
            Frame().toolMode = 0;
            svc::PrepPage* page = Frame().OpenPrepPage();
            ASSERT_NE(page, nullptr);
            page->RefreshLists();
            page->GetNextFeatureIfNeed();
        });
    }

    CDlgHeadFeatures* dialog = nullptr;
};

TEST_F(HeadPrepTest, OpensBesideTheFourPanesWithTheTablesRowsAllPresent) {
    EXPECT_EQ(Frame().layout, 4);
    EXPECT_EQ(Frame().ActiveFaceView(), &View3D());
    EXPECT_EQ(Doc().templateId, 100);
    brv::ControlInfo window = HeadlessDriver::Inspect(dialog->m_hWnd);
    EXPECT_EQ(window.text, "Template preparation");
    CRect client;
    Frame().GetClientRect(&client);
    Frame().ClientToScreen(&client);
    EXPECT_EQ(window.rect.right, client.right - 31);
    EXPECT_EQ(window.rect.top, client.top + 2);
    EXPECT_EQ(HeadlessDriver::Inspect(HeadlessDriver::FindControl(dialog->m_hWnd, 1025)).items,
              (std::vector<std::string>{"Points", "Curves"}));

    const Expected e = expectedLists();
    const std::pair<int, const std::vector<std::pair<int, std::string>>*> lists[] = {
        {1031, &e.points}, {1032, &e.curves}, {1033, &e.regions}};
    for (auto [id, want] : lists) {
        SCOPED_TRACE(id);
        ASSERT_FALSE(want->empty());
        brv::ControlInfo info = HeadlessDriver::Inspect(ListWnd(id));
        ASSERT_EQ(info.items.size(), want->size());
        for (size_t i = 0; i < want->size(); ++i) {
            EXPECT_EQ(info.items[i], (*want)[i].second);
            EXPECT_EQ(int(dialog->List(id)->GetItemData(int(i))), (*want)[i].first);
        }
        // The full head carries every point and no curve.
        if (id != 1033) {
            EXPECT_EQ(States(id), std::vector<int>(want->size(), id == 1031 ? 2 : 1));
        }
        EXPECT_EQ(info.visible, id == 1031);
    }
    EXPECT_FALSE(HeadlessDriver::Inspect(HeadlessDriver::FindControl(dialog->m_hWnd, 1037)).visible);
    driver.SelectTab(HeadlessDriver::FindControl(dialog->m_hWnd, 1025), 1);
    EXPECT_FALSE(HeadlessDriver::Inspect(ListWnd(1031)).visible);
    EXPECT_TRUE(HeadlessDriver::Inspect(ListWnd(1032)).visible);

    // Everything present: the walk ends at once and nothing is chosen.
    driver.SelectTab(HeadlessDriver::FindControl(dialog->m_hWnd, 1025), 0);
    driver.ClickControl(HeadlessDriver::FindControl(dialog->m_hWnd, 1042));
    EXPECT_FALSE(dialog->walking);
    EXPECT_FALSE(dialog->busy);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_TRUE(View3D().selection.empty());
}

TEST_F(HeadPrepTest, LabelsSelectStateIconsWithdrawAndPlacingBlocksInput) {
    const Expected e = expectedLists();
    // A label click selects the head point.
    ClickItem(1031, 1, false);
    const std::string code1 = pointCode(e.points[1].first);
    ASSERT_EQ(View3D().selection.size(), 1u);
    EXPECT_EQ(View3D().selection[0].kind, 8);
    EXPECT_EQ(View3D().selection[0].index, int(Head().getFeaturepoint(code1.c_str(), false)));

    // A state icon on a present point withdraws it.
    ClickItem(1031, 1, true);
    EXPECT_EQ(States(1031)[1], 1);
    Index<featurepoint3> p = Head().getFeaturepoint(code1.c_str(), false);
    EXPECT_TRUE(p == -1 || (Head().featurepoints[p].vtx == -1 && Head().featurepoints[p].extra == -1));
    EXPECT_TRUE(View3D().selection.empty());
    driver.Run([&] { dialog->RefreshLists(); });
    EXPECT_EQ(States(1031)[1], 1);

    // A curve on three vertices, linked to a region, as a drawn and named
    // one; withdrawn it keeps its points under the generic name, unlinked.
    driver.SelectTab(HeadlessDriver::FindControl(dialog->m_hWnd, 1025), 1);
    const std::string curve = lineCode(e.curves[0].first);
    Index<featureline3> l = Head().addFeatureline(curve.c_str(), true);
    for (int k = 0; k < 3; ++k) {
        Index<linepoint3> q = Head().featurelines[l].add();
        Head().featurelines[l][q].vtx = Head().triangles[Head().triangles.first()].corner(k);
        Head().featurelines[l][q].kind = k == 1 ? 1 : 2;
        add_linepoint(q, l);
    }
    add_region_to_featureline(Head().regions.first(), l);
    ASSERT_GT(Head().featurelines[l].regions.count(), 0);
    driver.Run([&] { dialog->RefreshLists(); });
    EXPECT_EQ(States(1032)[0], 2);
    const int points = Head().featurelines[l].count();
    ClickItem(1032, 0, true);
    EXPECT_EQ(States(1032)[0], 1);
    EXPECT_EQ(std::string(Head().featurelines[l].name()), "default_name_of_FeatureLine3D");
    EXPECT_EQ(Head().featurelines[l].count(), points);
    EXPECT_EQ(Head().featurelines[l].regions.count(), 0);
    EXPECT_EQ(Head().getFeatureline(curve.c_str(), true), -1);
    driver.Run([&] { dialog->RefreshLists(); });
    EXPECT_EQ(States(1032)[0], 1);

    // Checking a missing curve starts placing it: the lists only beep.
    ClickItem(1032, 0, true);
    EXPECT_EQ(States(1032)[0], 3);
    EXPECT_TRUE(dialog->busy);
    EXPECT_EQ(Frame().tool, 0);
    EXPECT_EQ(Frame().toolMode, 7);
    EXPECT_EQ(View3D().currentRow, e.curves[0].first);
    const int beeps = Beeps();
    const auto before = States(1032);
    ClickItem(1032, 0, true);
    ClickItem(1032, 2, false);
    driver.Key(VK_DOWN);
    EXPECT_EQ(Beeps(), beeps + 3);
    EXPECT_EQ(States(1032), before);
    EXPECT_EQ(Frame().toolMode, 7);
    for (const auto& b : driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep))
        EXPECT_EQ(b.type, UINT(MB_ICONASTERISK));
}

TEST_F(HeadPrepTest, GetNextWalksTheMissingPointsUntilAllArePlaced) {
    const Expected e = expectedLists();
    // Three points withdrawn; the template's vertices they sat on kept.
    std::map<std::string, int> vertexOf;
    for (int i : {2, 5, 9}) {
        const std::string code = pointCode(e.points[size_t(i)].first);
        Index<featurepoint3> p = Head().getFeaturepoint(code.c_str(), false);
        ASSERT_NE(p, -1);
        const featurepoint3& f = Head().featurepoints[p];
        ASSERT_NE(f.vtx, -1) << code;
        vertexOf[code] = f.vtx;
        ClickItem(1031, i, true);
        ASSERT_EQ(States(1031)[size_t(i)], 1);
    }
    driver.ClickControl(HeadlessDriver::FindControl(dialog->m_hWnd, 1042));
    std::vector<int> asked;
    for (int guard = 0; guard < 5 && dialog->walking; ++guard) {
        EXPECT_TRUE(dialog->busy);
        EXPECT_EQ(Frame().tool, 0);
        EXPECT_EQ(Frame().toolMode, 6);
        asked.push_back(View3D().currentRow);
        const auto s = States(1031);
        EXPECT_EQ(std::count(s.begin(), s.end(), 3), 1);
        // A second "Get next" while walking changes nothing.
        driver.ClickControl(HeadlessDriver::FindControl(dialog->m_hWnd, 1042));
        EXPECT_EQ(View3D().currentRow, asked.back());
        PlaceCurrentRow(vertexOf);
    }
    EXPECT_EQ(asked, (std::vector<int>{e.points[2].first, e.points[5].first, e.points[9].first}));
    EXPECT_FALSE(dialog->walking);
    EXPECT_FALSE(dialog->busy);
    EXPECT_EQ(dialog->walkPosition, 0);
    EXPECT_EQ(States(1031), std::vector<int>(e.points.size(), 2));
}

TEST_F(HeadPrepTest, ClosingResetsTheToolsAndTheCommandOpensItAgain) {
    ClickItem(1031, 0, true);  // withdraw
    ClickItem(1031, 0, true);  // start placing
    ASSERT_EQ(Frame().toolMode, 6);
    driver.Run([&] { Orig2D().currentRow = 4; Overlay().currentRow = 5; });
    driver.ClickControl(HeadlessDriver::FindControl(dialog->m_hWnd, 2));
    EXPECT_EQ(dialog->m_hWnd, nullptr);
    EXPECT_EQ(Frame().headPrepDialog, dialog);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Frame().toolMode, 0);
    for (CFaceView* v : AllViews()) EXPECT_EQ(v->currentRow, 0);
    EXPECT_FALSE(dialog->busy);
    EXPECT_EQ(Frame().OpenPrepPage(), nullptr);
    driver.Run([&] { CDlgHeadFeatures::Toggle(Frame().headPrepDialog, &Frame(), &Doc()); });
    ASSERT_NE(dialog->m_hWnd, nullptr);
    EXPECT_EQ(States(1031)[0], 1);
    driver.Run([&] { CDlgHeadFeatures::Toggle(Frame().headPrepDialog, &Frame(), &Doc()); });
    EXPECT_EQ(dialog->m_hWnd, nullptr);
}

// ---------------------------------------------------------------- head export

namespace {

// The child's side: reads the head file named in the environment in a
// fresh process and checks it against the list beside it ("p name x y z"
// for points, "l name count" for curves).
const char* kExportEnv = "BRV_PREP_THE";

}  // namespace

TEST(HeadPrepImport, PreparedHeadReadsBackInAFreshProcess) {
    const char* path = std::getenv(kExportEnv);
    if (!path) GTEST_SKIP() << "run by the export test";
    files::HeadRead read;
    std::string why;
    ASSERT_TRUE(files::LoadTHEFile(path, read, why)) << why;
    head3& h = *read.head;
    std::ifstream list(std::string(path) + ".list");
    std::string kind, name;
    int points = 0, curves = 0;
    while (list >> kind >> name) {
        if (kind == "p") {
            vector3<double> want;
            list >> want.x >> want.y >> want.z;
            Index<featurepoint3> p = h.getFeaturepoint(name.c_str(), false);
            ASSERT_NE(p, -1) << name;
            const featurepoint3& f = h.featurepoints[p];
            EXPECT_TRUE(f.vtx != -1 || (f.extra != -1 && f.extra.data().tri != -1)) << name;
            EXPECT_LT((f.point() - want).length(), 1e-6) << name;
            ++points;
        } else {
            int count = 0;
            list >> count;
            Index<featureline3> l = h.getFeatureline(name.c_str(), true);
            ASSERT_NE(l, -1) << name;
            EXPECT_EQ(h.featurelines[l].count(), count) << name;
            ++curves;
        }
    }
    EXPECT_GT(points, 0);
    EXPECT_GT(curves, 0);
}

TEST_F(HeadPrepTest, PreparedHeadIsWrittenAndReadByAFreshProcess) {
    const Expected e = expectedLists();
    std::map<std::string, int> vertexOf;
    for (int i : {0, 7}) {
        const std::string code = pointCode(e.points[size_t(i)].first);
        vertexOf[code] = Head().featurepoints[Head().getFeaturepoint(code.c_str(), false)].vtx;
        ClickItem(1031, i, true);
    }
    driver.ClickControl(HeadlessDriver::FindControl(dialog->m_hWnd, 1042));
    while (dialog->walking) PlaceCurrentRow(vertexOf);
    // One curve drawn on three vertices under its table name.
    const std::string curve = lineCode(e.curves[1].first);
    Index<featureline3> l = Head().addFeatureline(curve.c_str(), true);
    for (int k = 0; k < 3; ++k) {
        Index<linepoint3> q = Head().featurelines[l].add();
        Head().featurelines[l][q].vtx = Head().triangles[Head().triangles.last()].corner(k);
        Head().featurelines[l][q].kind = k == 1 ? 1 : 2;
        add_linepoint(q, l);
    }
    driver.Run([&] { dialog->RefreshLists(); });
    ASSERT_EQ(States(1032)[1], 2);

    // The frame's "Head export" as the user runs it.
    const std::string file = tmp_.path() + "/prepared.the";
    driver.OnNextFileDialog([&](brv::FileDialogSession& s) { return s.Accept(file) ? IDOK : IDCANCEL; });
    driver.Run([&] { Frame().OnFileSaveTHE(); });
    ASSERT_TRUE(std::filesystem::exists(file));
    {
        std::ofstream list(file + ".list");
        list.precision(17);
        for (int p = Head().featurepoints.first(); p != -1; p = Head().featurepoints.nextOf(p)) {
            const featurepoint3& f = Head().featurepoints[p];
            if (f.vtx == -1 && f.extra == -1) continue;
            const vector3<double> at = f.point();
            list << "p " << f.name() << " " << at.x << " " << at.y << " " << at.z << "\n";
        }
        list << "l " << curve << " 3\n";
    }
    char self[4096] = {0};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string command = std::string(kExportEnv) + "='" + file + "' '" + self +
                                "' --gtest_filter=HeadPrepImport.PreparedHeadReadsBackInAFreshProcess"
                                " > '" + file + ".out' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream out(file + ".out");
    std::string text((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    EXPECT_EQ(status, 0) << text;
    EXPECT_NE(text.find("[  PASSED  ] 1 test"), std::string::npos) << text;
}

TEST_F(HeadPrepTest, GetNextWalkPlacedByClicksInThe3DView) {
    const Expected e = expectedLists();
    ShowAlone(View3D());
    View3D().featureDisplay = true;
    Paint(View3D());
    // Three visible points withdrawn; each will be clicked where its vertex shows.
    std::map<int, vector3<double>> original;  // row -> vertex position
    std::vector<int> items;
    for (int i = 0; i < int(e.points.size()) && items.size() < 3; ++i) {
        const std::string code = pointCode(e.points[size_t(i)].first);
        Index<featurepoint3> p = Head().getFeaturepoint(code.c_str(), false);
        if (p == -1 || Head().featurepoints[p].vtx == -1 || !View3D().Coord3Dto2D(Head().featurepoints[p], 0))
            continue;
        original[e.points[size_t(i)].first] = Head().featurepoints[p].point();
        items.push_back(i);
    }
    ASSERT_EQ(items.size(), 3u);
    for (int i : items) ClickItem(1031, i, true);
    driver.ClickControl(HeadlessDriver::FindControl(dialog->m_hWnd, 1042));
    std::vector<int> asked;
    for (int guard = 0; guard < 5 && dialog->walking; ++guard) {
        const int row = View3D().currentRow;
        asked.push_back(row);
        ASSERT_EQ(Frame().toolMode, 6);
        Paint(View3D());
        // The projection of the vertex the point sat on.
        vector2<double> w;
        {
            int v = -1;
            for (int k = Head().vertices.first(); k != -1 && v == -1; k = Head().vertices.nextOf(k))
                if (Head().vertices[k].position == original[row]) v = k;
            ASSERT_NE(v, -1);
            generalpoint3 g;
            g.vtx = v;
            ASSERT_TRUE(View3D().Coord3Dto2D(g, 0));
            w = vector2<double>(g.projX, g.projY);
        }
        driver.Click(View3D().m_hWnd, CPoint(int(std::lround(w.x)), int(std::lround(w.y))));
        const std::string code = pointCode(row);
        Index<featurepoint3> p = Head().getFeaturepoint(code.c_str(), true);
        ASSERT_NE(p, -1);
        EXPECT_LT((Head().featurepoints[p].point() - original[row]).length(), 1.0) << code;
    }
    std::vector<int> want;
    for (int i : items) want.push_back(e.points[size_t(i)].first);
    EXPECT_EQ(asked, want);
    EXPECT_FALSE(dialog->walking);
    EXPECT_EQ(States(1031), std::vector<int>(e.points.size(), 2));
}
