#include "foundation/dynarray.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <new>
#include <string>

#include "foundation/use.h"

namespace {

TEST(Dynarray, CapacityTable) {
    struct Case { int n; int capacity; } cases[] = {{0, 0}, {1, 11}, {8, 20}, {100, 135}};
    for (const auto& c : cases) {
        dynarray<int> a(c.n);
        EXPECT_EQ(a.size(), c.n);
        EXPECT_EQ(a.capacity(), c.capacity) << "n=" << c.n;
    }
}

TEST(Dynarray, ConstructionClampsParameters) {
    struct Case { int minStep; double grow, shrink; int wantStep; double wantGrow, wantShrink; } cases[] = {
        {10, 0.5, 0.33, 10, 1.0, 0.33},
        {0, 1.25, 0.33, 1, 1.25, 0.33},
        {-3, 1.25, 0.33, 1, 1.25, 0.33},
        {10, 1.25, 0.9, 10, 1.25, 0.8},
        {10, 0.5, 1.5, 10, 1.0, 1.0},
    };
    for (const auto& c : cases) {
        dynarray<int> a(0, c.minStep, c.grow, c.shrink);
        EXPECT_EQ(a.minStep(), c.wantStep);
        EXPECT_DOUBLE_EQ(a.growFactor(), c.wantGrow);
        EXPECT_DOUBLE_EQ(a.shrinkFactor(), c.wantShrink);
    }
}

TEST(Dynarray, FirstAddGivesDefaultCapacity) {
    dynarray<int> a;
    EXPECT_EQ(a.capacity(), 0);
    a.add(7);
    EXPECT_EQ(a.capacity(), 11);
    EXPECT_EQ(a[0], 7);
}

TEST(Dynarray, ShrinkThreshold) {
    // capacity 100: n = 80 with grow 1.0 and step 20
    dynarray<int> a(80, 20, 1.0, 0.33);
    ASSERT_EQ(a.capacity(), 100);
    a.resize(100);
    for (int i = 0; i < 100; ++i) a[i] = i;
    a.resize(34);  // 34 >= 33.0: storage kept
    EXPECT_EQ(a.capacity(), 100);
    a.resize(34);  // same size: nothing
    EXPECT_EQ(a.capacity(), 100);
    a.resize(32);  // below 33.0: exactly 32
    EXPECT_EQ(a.capacity(), 32);
    EXPECT_EQ(a.size(), 32);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(a[i], i);
}

TEST(Dynarray, GrowingWithinCapacityExposesOldValues) {
    dynarray<int> a(5, 10, 1.25, 0.1);  // 2 >= 16 * 0.1: no shrink on the way down
    for (int i = 0; i < 5; ++i) a[i] = 10 + i;
    a.resize(2);
    a.resize(5);
    EXPECT_EQ(a.capacity(), 16);
    EXPECT_EQ(a[2], 12);
    EXPECT_EQ(a[3], 13);
    EXPECT_EQ(a[4], 14);
}

TEST(Dynarray, AddOfOwnElementSurvivesReallocation) {
    dynarray<std::string> a;
    a.add(std::string(40, 'x'));
    while (a.size() < a.capacity()) a.add(std::to_string(a.size()));
    const int cap = a.capacity();
    a.add(a[0]);  // reallocates while x refers into the array
    EXPECT_GT(a.capacity(), cap);
    EXPECT_EQ(a[a.size() - 1], std::string(40, 'x'));
    EXPECT_EQ(a[0], std::string(40, 'x'));
    a.add(a[1]);  // within capacity
    EXPECT_EQ(a[a.size() - 1], "1");
}

// add(x) is add() followed by the assignment: the same capacities step by
// step, the shrink case of a small size in a large capacity included.
TEST(Dynarray, AddOfAValueFollowsTheRuleOfAdd) {
    for (int start : {0, 1, 3, 8, 40}) {
        dynarray<int> plain(start), valued(start);
        for (int k = 0; k < 60; ++k) {
            plain.add() = k;
            valued.add(k);
            ASSERT_EQ(valued.capacity(), plain.capacity()) << "start " << start << " add " << k;
            ASSERT_EQ(valued[valued.size() - 1], k);
        }
        dynarray<std::string> moved(start);
        moved.add(std::string("m"));
        dynarray<std::string> once(start);
        once.add();
        EXPECT_EQ(moved.capacity(), once.capacity()) << start;
    }
    // 1 element in a capacity of 11: the add gives the storage back (2 < 11 x
    // 0.33) while x refers into it.
    dynarray<std::string> a(1);
    a[0] = std::string(40, 'y');
    a.add(a[0]);
    EXPECT_EQ(a.capacity(), 2);
    EXPECT_EQ(a[1], std::string(40, 'y'));
    EXPECT_EQ(a[0], std::string(40, 'y'));
}

// An element owning heap storage: growth moves it, no copy is ever made.
struct Owner {
    std::unique_ptr<int> p;
    Owner() = default;
    explicit Owner(int v) : p(std::make_unique<int>(v)) {}
};

TEST(Dynarray, HeapOwningElementsMoveWithoutLeaks) {
    dynarray<Owner> a;
    for (int i = 0; i < 500; ++i) a.add(Owner(i));
    const int* first = a[0].p.get();
    for (int i = 0; i < 500; ++i) ASSERT_EQ(*a[i].p, i);
    a.resize(3);  // shrinks: storage given back, first three kept
    EXPECT_EQ(a.capacity(), 3);
    EXPECT_EQ(a[0].p.get(), first);  // moved, not copied
    EXPECT_EQ(*a[2].p, 2);
    a.resize(0);
    for (int i = 0; i < 50; ++i) a.add().p = std::make_unique<int>(i);
    EXPECT_EQ(*a[49].p, 49);
}

TEST(Dynarray, NestedDynarraysMove) {
    dynarray<dynarray<std::string>> a;
    for (int i = 0; i < 40; ++i) {
        dynarray<std::string>& inner = a.add();
        inner.resize(0);
        for (int j = 0; j <= i; ++j) inner.add(std::string(30, char('a' + j % 26)));
    }
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(a[i].size(), i + 1);
        EXPECT_EQ(a[i][i], std::string(30, char('a' + i % 26)));
    }
    dynarray<dynarray<std::string>> b(std::move(a));
    EXPECT_EQ(b.size(), 40);
    EXPECT_EQ(a.size(), 0);
}

TEST(Dynarray, CapacityBeyondRangeFailsAsAllocation) {
    dynarray<char> a;
    EXPECT_THROW(a.resize(2000000000), std::bad_alloc);  // 2.5e9 + 10 slots
    EXPECT_EQ(a.size(), 0);
    EXPECT_EQ(a.capacity(), 0);
    EXPECT_THROW(fnd::vector<char>(INT_MAX), std::bad_alloc);
}

TEST(Vector, SizesAndCopies) {
    EXPECT_EQ(fnd::vector<int>(-4).size(), 0);
    fnd::vector<std::string> v(3);
    v[0] = "a";
    v[1] = "b";
    v[2] = "c";
    fnd::vector<std::string> w(v);
    w = w;  // self-assignment changes nothing
    EXPECT_EQ(w.size(), 3);
    EXPECT_EQ(w[2], "c");
    w.resize(2);
    EXPECT_EQ(w.size(), 2);
    EXPECT_EQ(w[1], "b");
    w.add(w[0]);
    EXPECT_EQ(w.size(), 3);
    EXPECT_EQ(w[2], "a");
    v = w;
    EXPECT_EQ(v[2], "a");
    v.resize(-1);
    EXPECT_EQ(v.size(), 0);
}

}  // namespace
