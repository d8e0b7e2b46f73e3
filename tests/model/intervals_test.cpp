// Interval ends and interval polylines of 2D and 3D feature lines.

#include "model/intervals.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/head.h"
#include "tests/support/fakes.h"
#include "tests/support/model_fixture.h"

namespace {

class Intervals : public testsupport::ModelTest {};

// A 2D line of the given kinds, point k at (10 k, k).
std::vector<Index<linepoint2>> line2(head2& h, const std::vector<int>& kinds) {
    Index<featureline2> l = h.photoLines.add_new("l");
    std::vector<Index<linepoint2>> pts;
    for (size_t k = 0; k < kinds.size(); ++k) {
        Index<linepoint2> p = h.photoLines[l].add();
        linepoint2& lp = h.photoLines[l][p];
        lp.kind = kinds[k];
        lp.position = {10.0 * k, double(k)};
        pts.push_back(p);
    }
    return pts;
}

TEST_F(Intervals, EndsOfLinesAndIntervals) {
    head2 h;
    h.set_actual();
    //                         0  1  2  3  4  5
    auto p = line2(h, {2, 1, 1, 2, 0, 1});
    const struct {
        int given, firstOfLine, lastOfLine, firstOfInterval, lastOfInterval;
    } cases[] = {
        {0, 0, 5, 0, 2},  // a node is its own interval start
        {2, 0, 5, 0, 2},  // the last inner point before a node
        {3, 0, 5, 3, 5},  // no node follows: the line's end
        {4, 0, 5, 3, 5},  // kind 0 counts as inner
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstPointOfLine(p[c.given]), p[c.firstOfLine]) << c.given;
        EXPECT_EQ(LastPointOfLine(p[c.given]), p[c.lastOfLine]) << c.given;
        EXPECT_EQ(FirstPointOfInterval(p[c.given]), p[c.firstOfInterval]) << c.given;
        EXPECT_EQ(LastPointOfInterval(p[c.given]), p[c.lastOfInterval]) << c.given;
    }
    EXPECT_EQ(FirstPointOfInterval(Index<linepoint2>(-1)), -1);
    auto q = line2(h, {1, 1, 2});
    EXPECT_EQ(FirstPointOfInterval(q[1]), -1);
}

TEST_F(Intervals, PolylineRunsFromNodeToNode) {
    head2 h;
    h.set_actual();
    auto p = line2(h, {2, 1, 2, 2, 1});
    dynarray<vector2<double>> poly;
    poly.add() = {99, 99};  // emptied first
    fillOfInterval(&poly, p[1]);
    ASSERT_EQ(poly.size(), 3);
    EXPECT_EQ(poly[0].x, 0);
    EXPECT_EQ(poly[2].x, 20);
    fillOfInterval(&poly, p[2]);  // two nodes, no inner points
    ASSERT_EQ(poly.size(), 2);
    EXPECT_EQ(poly[1].x, 30);
    fillOfInterval(&poly, p[4]);  // no closing node: to the line's end
    ASSERT_EQ(poly.size(), 2);
    EXPECT_EQ(poly[1].x, 40);
    auto q = line2(h, {1, 1});
    fillOfInterval(&poly, q[1]);
    EXPECT_EQ(poly.size(), 0);
}

TEST_F(Intervals, ExtraPointIsAddedBeyondDistanceThree) {
    head2 h;
    h.set_actual();
    auto p = line2(h, {2, 1, 2});  // (0,0) (10,1) (20,2)
    dynarray<vector2<double>> poly;
    bool added = true;
    vector2<double> atThree{23, 2};
    fillOfIntervalExtra(&poly, p[0], atThree, true, false, &added);
    EXPECT_FALSE(added);
    EXPECT_EQ(poly.size(), 3);
    vector2<double> before{-3, -0.5};
    fillOfIntervalExtra(&poly, p[0], before, false, false, &added);
    EXPECT_TRUE(added);
    ASSERT_EQ(poly.size(), 4);
    const double xs[4] = {-3, 0, 10, 20};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(poly[k].x, xs[k]) << k;
    vector2<double> after{20, 6};
    fillOfIntervalExtra(&poly, p[0], after, true, false, &added);
    EXPECT_TRUE(added);
    ASSERT_EQ(poly.size(), 4);
    EXPECT_EQ(poly[3].y, 6);
}

TEST_F(Intervals, HeadIntervalCarriesPositionsAndNormals) {
    head3 h;
    h.set_actual();
    // Three vertices of one triangle in the plane z = 0, line points fixed on them.
    Index<vertex> v[3];
    const vector3<double> pos[3] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}};
    for (int k = 0; k < 3; ++k) {
        v[k] = h.vertices.add();
        h.vertices[v[k]].position = pos[k];
    }
    Index<triangle> t = h.triangles.add();
    h.triangles[t].a = v[0], h.triangles[t].b = v[1], h.triangles[t].c = v[2];
    for (Index<vertex> k : v) h.vertices[k].triangles.add_data(t);
    Index<featureline3> l = h.featurelines.add_new("l");
    std::vector<Index<linepoint3>> lp;
    const int kinds[3] = {2, 1, 2};
    for (int k = 0; k < 3; ++k) {
        Index<linepoint3> p = h.featurelines[l].add();
        h.featurelines[l][p].vtx = v[k];
        h.featurelines[l][p].kind = kinds[k];
        h.featurelines[l][p].line = l;
        lp.push_back(p);
    }
    dynarray<vector3<double>> P, N;
    fillOfInterval(&P, &N, lp[1]);
    ASSERT_EQ(P.size(), 3);
    ASSERT_EQ(N.size(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(P[k].x, pos[k].x);
        EXPECT_EQ(P[k].y, pos[k].y);
        EXPECT_NEAR(std::fabs(N[k].z), 1.0, 1e-12);
    }
    // Positions only.
    fillOfInterval(&P, nullptr, lp[0]);
    EXPECT_EQ(P.size(), 3);
    // An extra point at the start, 5 away.
    generalpoint3 g;
    g.vtx = h.vertices.add();
    h.vertices[g.vtx].position = {-5, 0, 0};
    bool added = false;
    fillOfIntervalExtra(&P, &N, lp[0], g, false, false, &added);
    EXPECT_TRUE(added);
    ASSERT_EQ(P.size(), 4);
    ASSERT_EQ(N.size(), 4);
    EXPECT_EQ(P[0].x, -5);
    EXPECT_EQ(P[1].x, 0);
    EXPECT_EQ(P[3].y, 10);
}

}  // namespace
