#include "foundation/selection.h"

#include <gtest/gtest.h>

#include "foundation/dynarray.h"
#include "foundation/use.h"

namespace {

using fnd::IndexSelector;

const int kAllKinds[] = {0, 1, 2, 4, 8, 16, 32};

TEST(IndexSelector, DefaultReadsNothing) {
    IndexSelector e;
    EXPECT_EQ(e.kind, 0);
    for (int k : kAllKinds) {
        if (k == 0) continue;
        EXPECT_EQ(e.get(k), -1);
        EXPECT_EQ(e.getSecond(k), -1);
    }
    dynarray<IndexSelector> selection(3);
    for (const IndexSelector& s : selection) EXPECT_EQ(s, IndexSelector());
}

template <class... Args>
IndexSelector entry(Args... args) {
    IndexSelector e;
    e.set(args...);
    return e;
}

TEST(IndexSelector, EachKindReadsOnlyAsItself) {
    struct Case { IndexSelector entry; int kind, index, second; };
    const Case cases[] = {
        {entry(fnd::Index<extrapoint>(3)), 1, 3, -1},
        {entry(fnd::Index<vector3<double>>(4)), 2, 4, -1},
        {entry(fnd::Index<featureline3>(5)), 4, 5, -1},
        {entry(fnd::Index<featureline3>(5), fnd::Index<linepoint3>(9)), 4, 5, 9},
        {entry(fnd::Index<featurepoint3>(6)), 8, 6, -1},
        {entry(fnd::Index<featureline2>(7), fnd::Index<linepoint2>(2)), 16, 7, 2},
        {entry(fnd::Index<featurepoint2>(8)), 32, 8, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.entry.kind, c.kind);
        for (int k : kAllKinds) {
            if (k == 0) continue;
            EXPECT_EQ(c.entry.get(k), k == c.kind ? c.index : -1) << "kind " << c.kind << " read as " << k;
            EXPECT_EQ(c.entry.getSecond(k), k == c.kind ? c.second : -1);
        }
    }
    // Typed reads of a 2D line point; read as a 2D feature point it is nothing.
    EXPECT_EQ(cases[5].entry.featureLine2(), 7);
    EXPECT_EQ(cases[5].entry.linePoint2(), 2);
    EXPECT_EQ(cases[5].entry.featurePoint2(), -1);
    EXPECT_EQ(cases[3].entry.linePoint3(), 9);
    EXPECT_EQ(cases[3].entry.linePoint2(), -1);
}

TEST(IndexSelector, WholeLineKeepsSecondIndex) {
    IndexSelector e;
    e.set(fnd::Index<featureline2>(1), fnd::Index<linepoint2>(4));
    e.set(fnd::Index<featureline3>(2));  // the second index is not changed
    EXPECT_EQ(e.kind, 4);
    EXPECT_EQ(e.index, 2);
    EXPECT_EQ(e.second, 4);
}

TEST(IndexSelector, SelectionsSurviveGrowth) {
    dynarray<IndexSelector> selection;
    for (int i = 0; i < 100; ++i) selection.add().set(fnd::Index<featurepoint3>(i));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(selection[i].featurePoint3(), i);
    IndexSelector a = selection[0], b = selection[1];
    fnd::swap(selection[0], selection[1]);
    EXPECT_EQ(selection[0], b);
    EXPECT_EQ(selection[1], a);
}

}  // namespace
