#include "foundation/pools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "foundation/named.h"

using fnd::commonchain;
using fnd::commonchainindex;
using fnd::commonlist;
using fnd::commonlistindex;
using fnd::Index;
using fnd::lindex;

namespace {

// Stand-ins for the model's element types: a point, a triangle, and a named
// line that owns a chain of points and a list of triangle indices.
struct Pt {
    double x = 0;
};
struct Tri {
    int a = 0;
};
struct Line : fnd::named_instance {
    Line() : named_instance("FeatureLine3D", true) {}
    int used = -1;
    commonchain<Pt> points;
    commonlistindex<Tri> triangles;
};

void startUp() {
    fnd::start_pool<Pt>();
    fnd::start_pool<Index<Pt>>();
    fnd::start_pool<Tri>();
    fnd::start_pool<Index<Tri>>();
    fnd::start_list_pool<Tri>();
    fnd::start_pool<Line>();
    fnd::start_pool<Index<Line>>();
}

class Pools : public testing::Test {
protected:
    void SetUp() override {
        fnd::resetPools();
        startUp();
    }
    void TearDown() override { fnd::resetPools(); }
};

bool isDefaultLine(const Line& l) {
    return std::strcmp(l.name(), "default_name_of_FeatureLine3D") == 0 && l.used == -1 && l.points.count() == 0 &&
           l.triangles.count() == 0;
}

}  // namespace

TEST_F(Pools, AfterStartUpEveryPoolIsEmpty) {
    EXPECT_EQ(commonchain<Pt>::commonbas().size(), 0);
    EXPECT_EQ(commonchain<Line>::commonbas().size(), 0);
    EXPECT_EQ(commonchainindex<Line>::commonbas().size(), 0);
    EXPECT_EQ(commonlistindex<Tri>::commonbas().size(), 0);
    EXPECT_EQ(Index<Line>::stat2().count(), 0);
    EXPECT_EQ(&Index<Line>::current(), &Index<Line>::stat2());
    EXPECT_EQ(&lindex<Index<Tri>>::current(), &lindex<Index<Tri>>::stat1());
    EXPECT_EQ(Index<Line>::active, -1);
    EXPECT_TRUE(isDefaultLine(fnd::admin_class<Line>::null()));
    EXPECT_TRUE(fnd::admin_class<Line>::composed);
    EXPECT_FALSE(fnd::admin_class<Index<Line>>::composed);
    EXPECT_FALSE(fnd::admin_class<fnd::vector2<double>>::composed);
    EXPECT_TRUE(fnd::admin_class<fnd::vector3<double>>::composed);
}

TEST_F(Pools, FirstFreshSlotOfEachPool) {
    commonchain<Line> lines;
    EXPECT_EQ(lines.add(), 0);
    EXPECT_EQ(commonchain<Line>::commonbas().size(), 11);
    EXPECT_EQ(lines[0].points.add(), 0);
    EXPECT_EQ(commonchain<Pt>::commonbas().size(), 11);
    EXPECT_EQ(lines[0].triangles.add_data(Index<Tri>(4)), 0);
    EXPECT_EQ(commonlistindex<Tri>::commonbas().size(), 11);
}

TEST_F(Pools, StoredIndex500OnAnEmptyPool) {
    commonchain<Line> lines;
    unsigned char none = 0;
    fnd::fileTB f;
    f.open(&none, 1);
    int s = lines.insert_stored(f, 500);
    ASSERT_EQ(s, 500);
    auto& pool = commonchain<Line>::commonbas();
    EXPECT_EQ(pool.size(), 573);
    for (int k : {0, 1, 250, 499, 501, 572}) {
        EXPECT_TRUE(pool.isFree(k)) << k;
        EXPECT_TRUE(isDefaultLine(pool.tag(k).value)) << k;
    }
    EXPECT_EQ(pool.empties().size(), 572u);
}

TEST_F(Pools, FreedElementHoldsTheDefaultAndReturnsWhatItOwned) {
    commonchain<Line> lines;
    int l = lines.add();
    lines[l].set_name("jaw", false);
    lines[l].used = 1;
    for (int k = 0; k < 3; ++k) lines[l].points.add_data(Pt{double(k)});
    lines[l].triangles.add_data(Index<Tri>(9));
    lines.remove_index(l);
    EXPECT_TRUE(isDefaultLine(commonchain<Line>::commonbas().tag(l).value));
    EXPECT_EQ(commonchain<Pt>::commonbas().empties(), (std::vector<int>{2, 1, 0, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(commonlistindex<Tri>::commonbas().empties().front(), 0);
}

TEST_F(Pools, ResetReturnsToTheStartState) {
    {
        commonchain<Line> lines;
        lines.add();
        lines[0].points.add();
    }
    Index<Line>::stat2().add();
    Index<Line>::active = 12;
    fnd::resetPools();
    EXPECT_EQ(commonchain<Line>::commonbas().size(), 0);
    EXPECT_EQ(commonchain<Pt>::commonbas().size(), 0);
    EXPECT_EQ(Index<Line>::stat2().count(), 0);
    EXPECT_EQ(Index<Line>::active, -1);
    commonchain<Line> again;
    EXPECT_EQ(again.add(), 0);
}

// In a fresh process, a chain built before any pool: the pools its elements
// use must still be there when the pools are released at exit.
TEST(PoolsExit, ProgramEndsCleanlyWithChainsStillHoldingElements) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static commonchain<Line> alive;
            startUp();
            for (int k = 0; k < 30; ++k) {
                int l = alive.add();
                alive[l].points.add();
                alive[l].triangles.add_data(Index<Tri>(k));
            }
            Index<Line>::actual = &alive;
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

// The application object is built before any pool and makes its chains
// later: it is destroyed after the pools' own statics at exit, and its
// chains still return their elements then.
TEST(PoolsExit, HolderBuiltBeforeThePoolsEmptiesItsChainsAtExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Holder {
        std::unique_ptr<commonchain<Line>> lines;
        std::unique_ptr<commonlistindex<Tri>> tris;
    };
    EXPECT_EXIT(
        {
            static Holder holder;
            startUp();
            holder.lines = std::make_unique<commonchain<Line>>();
            holder.tris = std::make_unique<commonlistindex<Tri>>();
            for (int k = 0; k < 30; ++k) {
                int l = holder.lines->add();
                (*holder.lines)[l].set_name("jaw", false);
                (*holder.lines)[l].points.add();
                (*holder.lines)[l].triangles.add_data(Index<Tri>(k));
                holder.tris->add_data(Index<Tri>(k));
            }
            Index<Line>::actual = holder.lines.get();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}
