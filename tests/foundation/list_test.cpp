#include "foundation/list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <random>
#include <vector>

#include "foundation/pools.h"

using fnd::commonlist;
using fnd::commonlistindex;
using fnd::Index;
using fnd::lindex;
using fnd::lindexindex;

namespace {

struct Tri {
    int id = 0;
};

template <class T>
std::vector<int> order(const fnd::list<T>& l) {
    std::vector<int> out;
    for (int k = l.first(); k != -1; k = l.nextOf(k)) out.push_back(k);
    return out;
}

template <class T>
std::vector<int> values(const fnd::list<T>& l) {
    std::vector<int> out;
    for (int k = l.first(); k != -1; k = l.nextOf(k)) out.push_back(l[k]);
    return out;
}

class Lists : public testing::Test {
protected:
    void SetUp() override { fnd::resetPools(); }
    void TearDown() override { fnd::resetPools(); }
};

}  // namespace

TEST_F(Lists, FirstAddGivesElevenSlots) {
    commonlistindex<Tri> l;
    EXPECT_EQ(l.add(), 0);
    auto& pool = commonlistindex<Tri>::commonbas();
    EXPECT_EQ(pool.size(), 11);
    EXPECT_EQ(pool.empties(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(Lists, RemovingTheLastMovesLastToItsPredecessor) {
    commonlistindex<Tri> l;
    int a = l.add_data(Index<Tri>(10));
    int b = l.add_data(Index<Tri>(11));
    int c = l.add_data(Index<Tri>(12));
    EXPECT_TRUE(l.remove_index(c));
    EXPECT_EQ(l.last(), b);
    int d = l.add_data(Index<Tri>(13));
    EXPECT_EQ(d, c) << "the freed slot is reused first";
    EXPECT_EQ(order(l), (std::vector<int>{a, b, d}));
    EXPECT_EQ(values(l), (std::vector<int>{10, 11, 13}));
}

TEST_F(Lists, RemovalEdgeCases) {
    commonlistindex<Tri> l;
    l.add_data(Index<Tri>(1));
    l.add_data(Index<Tri>(2));
    EXPECT_FALSE(l.remove_index(-1));
    EXPECT_FALSE(l.remove_data(Index<Tri>(9)));
    EXPECT_EQ(l.count(), 2);
    commonlistindex<Tri> other;
    int o = other.add_data(Index<Tri>(3));
    EXPECT_FALSE(l.remove_index(o)) << "a position of another list";
    EXPECT_EQ(other.count(), 1);
    EXPECT_TRUE(l.remove_data(Index<Tri>(1)));
    EXPECT_TRUE(l.remove_first_index());
    EXPECT_FALSE(l.remove_first_index());
    EXPECT_EQ(l.first(), -1);
    EXPECT_EQ(l.last(), -1);
}

TEST_F(Lists, InsertAfter) {
    commonlistindex<Tri> l;
    int a = l.insert_after_index(-1);
    EXPECT_EQ(l.first(), a);
    EXPECT_EQ(l.last(), a);
    int b = l.insert_after_index(a);
    EXPECT_EQ(l.last(), b);
    int c = l.insert_after_index(-1);
    int d = l.insert_after_index(a);
    EXPECT_EQ(order(l), (std::vector<int>{c, a, d, b}));
    EXPECT_EQ(l.last(), b);
    EXPECT_EQ(l.count(), 4);
    EXPECT_EQ(l.add_index(5), -1) << "a list cannot take a given slot";
}

TEST_F(Lists, AssignmentCopiesValuesIntoNewSlots) {
    commonlistindex<Tri> a, b;
    for (int v : {4, 2, 9}) a.add_data(Index<Tri>(v));
    b.add_data(Index<Tri>(7));
    b = a;
    EXPECT_EQ(values(b), (std::vector<int>{4, 2, 9}));
    std::vector<int> slotsOfA = order(a);
    for (int k : order(b)) EXPECT_EQ(std::count(slotsOfA.begin(), slotsOfA.end(), k), 0);
    commonlistindex<Tri> c(a);
    EXPECT_EQ(values(c), (std::vector<int>{4, 2, 9}));
    commonlistindex<Tri> d(std::move(c));
    EXPECT_EQ(values(d), (std::vector<int>{4, 2, 9}));
    EXPECT_EQ(c.count(), 0);
    EXPECT_EQ(a.index_of_data(Index<Tri>(9)), a.last());
}

TEST_F(Lists, FreedSlotsKeepTheirIndexValue) {
    commonlistindex<Tri> l;
    int s = l.add_data(Index<Tri>(42));
    l.remove_index(s);
    EXPECT_EQ(commonlistindex<Tri>::commonbas().tag(s).value, 42);
}

TEST_F(Lists, PositionsReadThroughTheCurrentList) {
    fnd::commonchain<Tri> tris;
    int t0 = tris.add_data(Tri{100});
    int t1 = tris.add_data(Tri{101});
    Index<Tri>::actual = &tris;
    commonlistindex<Tri> l;
    l.add_data(Index<Tri>(t1));
    l.add_data(Index<Tri>(t0));
    lindex<Index<Tri>>::actual = &l;
    lindexindex<Tri> p = l.first();
    EXPECT_EQ(p.data().id, 101);
    p = p.next();
    EXPECT_EQ(p.data().id, 100);
    EXPECT_EQ(p.next(), -1);
    EXPECT_EQ(lindexindex<Tri>(-1).xnext(), -1);
    lindex<Index<Tri>>::actual = nullptr;
    Index<Tri>::actual = nullptr;
}

TEST_F(Lists, RandomizedAgainstReferenceModel) {
    constexpr int kLists = 3;
    std::vector<commonlistindex<Tri>> lists(kLists);
    std::vector<std::list<int>> ref(kLists);
    int size = 0;
    std::list<int> freeList;
    auto grow = [&] {
        int ns = static_cast<int>((size + 1) * 1.125) + 10;
        for (int k = size; k < ns; ++k) freeList.push_back(k);
        size = ns;
    };
    auto fresh = [&] {
        if (freeList.empty()) grow();
        int k = freeList.front();
        freeList.pop_front();
        return k;
    };
    auto& pool = commonlistindex<Tri>::commonbas();
    std::mt19937 rng(777);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int step = 0; step < 20000; ++step) {
        int c = pick(kLists);
        std::size_t total = ref[0].size() + ref[1].size() + ref[2].size();
        int op = total > 200 ? 50 + pick(50) : pick(100);
        int got = -2, want = -2;
        if (op < 30) {
            got = lists[c].add_data(Index<Tri>(step));
            want = fresh();
            ref[c].push_back(want);
        } else if (op < 50) {
            int j = -1;
            if (!ref[c].empty() && pick(3)) {
                auto it = ref[c].begin();
                std::advance(it, pick(static_cast<int>(ref[c].size())));
                j = *it;
            }
            got = lists[c].insert_after_index(j);
            want = fresh();
            auto pos = j == -1 ? ref[c].begin() : std::next(std::find(ref[c].begin(), ref[c].end(), j));
            ref[c].insert(pos, want);
        } else if (op < 85) {
            if (!ref[c].empty()) {
                auto it = ref[c].begin();
                std::advance(it, pick(static_cast<int>(ref[c].size())));
                int e = *it;
                ASSERT_TRUE(lists[c].remove_index(e));
                ref[c].erase(it);
                freeList.push_front(e);
            }
        } else {
            bool had = !ref[c].empty();
            ASSERT_EQ(lists[c].remove_first_index(), had);
            if (had) {
                freeList.push_front(ref[c].front());
                ref[c].pop_front();
            }
        }
        ASSERT_EQ(got, want) << "step " << step;
        ASSERT_EQ(pool.size(), size);
        ASSERT_EQ(pool.empties(), std::vector<int>(freeList.begin(), freeList.end())) << "step " << step;
        ASSERT_EQ(order(lists[c]), std::vector<int>(ref[c].begin(), ref[c].end())) << "step " << step;
        ASSERT_EQ(lists[c].last(), ref[c].empty() ? -1 : ref[c].back());
        ASSERT_EQ(lists[c].count(), static_cast<int>(ref[c].size()));
    }
}
