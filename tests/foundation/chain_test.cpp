#include "foundation/chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "foundation/pools.h"

using fnd::chain;
using fnd::commonchain;
using fnd::commonchainindex;
using fnd::Index;

namespace {

struct Elem {
    int v = 0;
    std::string name = "default";
    bool operator==(const Elem& o) const { return v == o.v && name == o.name; }
};

struct Leaf {
    int v = 0;
};

// An element that owns a chain of its own, as a feature line owns its points.
struct Owner {
    int v = 0;
    commonchain<Leaf> leaves;
};

std::vector<int> range(int from, int to) {
    std::vector<int> r;
    for (int k = from; k < to; ++k) r.push_back(k);
    return r;
}

template <class T>
std::vector<int> order(const chain<T>& c) {
    std::vector<int> out;
    for (int k = c.first(); k != -1; k = c.nextOf(k)) out.push_back(k);
    return out;
}

template <class T>
std::vector<int> backwards(const chain<T>& c) {
    std::vector<int> out;
    for (int k = c.last(); k != -1; k = c.prevOf(k)) out.push_back(k);
    std::reverse(out.begin(), out.end());
    return out;
}

class Chains : public testing::Test {
protected:
    void SetUp() override { fnd::resetPools(); }
    void TearDown() override { fnd::resetPools(); }
};

}  // namespace

TEST_F(Chains, FirstAddGivesElevenSlots) {
    commonchain<Elem> c;
    auto& pool = commonchain<Elem>::commonbas();
    EXPECT_EQ(pool.size(), 0);
    EXPECT_EQ(c.add(), 0);
    EXPECT_EQ(pool.size(), 11);
    EXPECT_EQ(pool.empties(), range(1, 11));
}

TEST_F(Chains, FreedSlotsAreReusedLastInFirstOut) {
    commonchain<Elem> c;
    for (int k = 0; k < 10; ++k) c.add();
    EXPECT_TRUE(c.remove_index(3));
    EXPECT_TRUE(c.remove_index(7));
    EXPECT_EQ(c.add(), 7);
    EXPECT_EQ(c.add(), 3);
    EXPECT_EQ(c.add(), 10) << "then fresh slots in increasing order";
    EXPECT_EQ(commonchain<Elem>::commonbas().size(), 11);
    EXPECT_EQ(c.add(), 11);
    EXPECT_EQ(commonchain<Elem>::commonbas().size(), 23) << "trunc(12 * 1.125) + 10";
}

TEST_F(Chains, AddDataAtStoredSlotGrowsPool) {
    commonchain<Elem> c;
    c.add();
    c.add();
    c.remove_index(0);  // free list: 0, 2..10
    Elem x{42, "x"};
    EXPECT_EQ(c.add_data(x, 25), 25);
    auto& pool = commonchain<Elem>::commonbas();
    EXPECT_EQ(pool.size(), 39);
    EXPECT_EQ(c[25], x);
    std::vector<int> want = {0};
    for (int k : range(2, 25)) want.push_back(k);
    for (int k : range(26, 39)) want.push_back(k);
    EXPECT_EQ(pool.empties(), want);
    EXPECT_EQ(order(c), (std::vector<int>{1, 25}));
}

TEST_F(Chains, StoredIndex500GrowsTo573) {
    commonchain<Elem> c;
    fnd::fileTB f;
    unsigned char dummy = 0;
    f.open(&dummy, 1);
    EXPECT_EQ(c.insert_stored(f, 500), 500);
    EXPECT_TRUE(f.good());
    auto& pool = commonchain<Elem>::commonbas();
    EXPECT_EQ(pool.size(), 573);
    std::vector<int> want = range(0, 500);
    for (int k : range(501, 573)) want.push_back(k);
    EXPECT_EQ(pool.empties(), want);
    EXPECT_EQ(c[499], Elem{}) << "new slots hold default elements";
}

TEST_F(Chains, BadStoredSlotsAreRefused) {
    commonchain<Elem> c;
    c.add();
    c.add();
    auto& pool = commonchain<Elem>::commonbas();
    std::vector<int> before = pool.empties();
    for (int bad : {-1, -3, 1, fnd::maxStoredSlot + 1, INT32_MAX}) {
        unsigned char dummy = 0;
        fnd::fileTB f;
        f.open(&dummy, 1);
        EXPECT_EQ(c.insert_stored(f, bad), -1) << bad;
        EXPECT_FALSE(f.good()) << bad;
        EXPECT_EQ(c.insert_before_whichindex(bad, -1), -1);
        EXPECT_EQ(c.insert_after_whichindex(bad, -1), -1);
        EXPECT_EQ(c.add_data(Elem{1, "a"}, bad), -1);
    }
    EXPECT_EQ(pool.size(), 11);
    EXPECT_EQ(pool.empties(), before);
    EXPECT_EQ(order(c), (std::vector<int>{0, 1}));
    EXPECT_EQ(c.count(), 2);
}

TEST_F(Chains, InsertAtBothEndsAndAroundElements) {
    commonchain<Elem> c;
    int a = c.add(), b = c.add(), d = c.add();
    int front = c.insert_after_whichindex(-2, -1);
    int back = c.insert_before_whichindex(-2, -1);
    EXPECT_EQ(order(c), (std::vector<int>{front, a, b, d, back}));
    int mid1 = c.insert_before_whichindex(-2, b);
    int mid2 = c.insert_after_whichindex(-2, b);
    int tail = c.insert_after_whichindex(-2, back);
    int head = c.insert_before_whichindex(-2, front);
    std::vector<int> want = {head, front, a, mid1, b, mid2, d, back, tail};
    EXPECT_EQ(order(c), want);
    EXPECT_EQ(backwards(c), want);
    EXPECT_EQ(c.count(), 9);
    EXPECT_EQ(c.first(), head);
    EXPECT_EQ(c.last(), tail);
}

TEST_F(Chains, AssignmentCopiesInOrderIntoNewSlots) {
    commonchainindex<Elem> src, dst;
    for (int v : {5, 9, 2, 7, 1}) src.add_data(Index<Elem>(v));
    dst.add_data(Index<Elem>(100));
    dst = src;
    std::vector<int> vals;
    for (int k = dst.first(); k != -1; k = dst.nextOf(k)) vals.push_back(dst[k]);
    EXPECT_EQ(vals, (std::vector<int>{5, 9, 2, 7, 1}));
    EXPECT_EQ(dst.count(), 5);
    std::vector<int> s = order(src), d = order(dst);
    for (int k : d) EXPECT_EQ(std::count(s.begin(), s.end(), k), 0) << "new slots";
    auto& same = dst;
    dst = same;
    EXPECT_EQ(order(dst), d) << "self-assignment changes nothing";
}

TEST_F(Chains, AssignmentFromSamePoolAcrossGrowth) {
    commonchain<Elem> src;
    for (int k = 0; k < 11; ++k) src.add_data(Elem{k, "e" + std::to_string(k)});
    ASSERT_EQ(commonchain<Elem>::commonbas().size(), 11);
    commonchain<Elem> dst;
    dst = src;  // every copy needs a new slot: the pool grows under the source
    int k = 0;
    for (int s = dst.first(); s != -1; s = dst.nextOf(s), ++k) EXPECT_EQ(dst[s], (Elem{k, "e" + std::to_string(k)}));
    EXPECT_EQ(k, 11);
}

TEST_F(Chains, AddDataOfAnElementOfTheSamePool) {
    commonchain<Elem> c;
    for (int k = 0; k < 11; ++k) c.add_data(Elem{k, std::string(40, 'a' + k)});
    // The pool is full: the next slot reallocates the storage that x is in.
    const Elem& x = c[3];
    int s = c.add_data(x);
    EXPECT_EQ(c[s], (Elem{3, std::string(40, 'd')}));
    EXPECT_EQ(c.add_data_ifnew(c[5]), 5);
    EXPECT_EQ(c.count(), 12);
}

TEST_F(Chains, FreedSlotValues) {
    commonchain<Elem> c;
    int s = c.add_data(Elem{7, "seven"});
    c.remove_index(s);
    EXPECT_EQ(commonchain<Elem>::commonbas().tag(s).value, Elem{}) << "composed types are reset";
    commonchainindex<Elem> ic;
    int t = ic.add_data(Index<Elem>(33));
    ic.remove_index(t);
    EXPECT_EQ(commonchainindex<Elem>::commonbas().tag(t).value, 33) << "index types keep their number";
    EXPECT_FALSE(ic.remove_data(Index<Elem>(33)));
    EXPECT_FALSE(ic.remove_first_index());
}

TEST_F(Chains, IndexLookupsAndRemoval) {
    commonchainindex<Elem> c;
    for (int v : {4, 8, 4, 6}) c.add_data(Index<Elem>(v));
    EXPECT_EQ(c.index_of_data(Index<Elem>(4)), 0);
    EXPECT_EQ(c.index_of_data(Index<Elem>(5)), -1);
    EXPECT_EQ(c.add_data_ifnew(Index<Elem>(6)), 3);
    EXPECT_EQ(c.add_data_ifnew(Index<Elem>(9)), 4);
    EXPECT_TRUE(c.remove_data(Index<Elem>(4)));
    EXPECT_EQ(order(c), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(c.index_of_data(Index<Elem>(4)), 2);
}

TEST_F(Chains, DestroyingACommonchainFreesItsSlots) {
    {
        commonchain<Elem> c;
        for (int k = 0; k < 5; ++k) c.add();
    }
    auto& pool = commonchain<Elem>::commonbas();
    EXPECT_EQ(pool.size(), 11);
    EXPECT_EQ(pool.empties(), (std::vector<int>{4, 3, 2, 1, 0, 5, 6, 7, 8, 9, 10}))
        << "removed first to last, each pushed at the head";
    commonchain<Elem> again;
    EXPECT_EQ(again.add(), 4);
}

TEST_F(Chains, IndexWalksThroughTheCurrentChain) {
    commonchain<Elem> c;
    int a = c.add_data(Elem{1, "a"});
    int b = c.add_data(Elem{2, "b"});
    EXPECT_EQ(&Index<Elem>::current(), &Index<Elem>::stat2());
    Index<Elem>::actual = &c;
    Index<Elem> i = c.first();
    EXPECT_EQ(i.data().name, "a");
    EXPECT_EQ(i.next(), b);
    EXPECT_EQ(i.next().next(), -1);
    EXPECT_EQ(Index<Elem>(b).previous(), a);
    EXPECT_EQ(Index<Elem>(-1).xnext(), -1);
    Index<Elem> added;
    added.add_to(c);
    EXPECT_EQ(added, c.last());
    int walked = 0;
    for (Index<Elem> k = c.first(); k != -1; k = k.next()) ++walked;
    EXPECT_EQ(walked, 3);
    Index<Elem>::actual = nullptr;
}

TEST_F(Chains, NestedChainsKeepTheirSlotsWhenThePoolGrows) {
    commonchain<Owner> owners;
    int o = owners.add();
    std::vector<int> leafSlots;
    for (int k = 0; k < 4; ++k) leafSlots.push_back(owners[o].leaves.add_data(Leaf{k}));
    auto leafFree = commonchain<Leaf>::commonbas().empties();
    for (int k = 0; k < 200; ++k) owners.add();  // several reallocations
    EXPECT_EQ(order(owners[o].leaves), leafSlots);
    EXPECT_EQ(commonchain<Leaf>::commonbas().empties(), leafFree) << "nothing copied, nothing freed";
    EXPECT_EQ(owners[o].leaves[leafSlots[2]].v, 2);

    // Freeing the owner returns its leaves, first to last.
    owners.remove_index(o);
    EXPECT_EQ(owners[o].leaves.count(), 0);
    auto freeNow = commonchain<Leaf>::commonbas().empties();
    EXPECT_EQ(std::vector<int>(freeNow.begin(), freeNow.begin() + 4), (std::vector<int>{3, 2, 1, 0}));
}

TEST_F(Chains, CopiedOwnerGetsItsOwnLeaves) {
    commonchain<Owner> owners;
    int o = owners.add();
    owners[o].leaves.add_data(Leaf{1});
    owners[o].leaves.add_data(Leaf{2});
    int p = owners.add_data(owners[o]);
    EXPECT_EQ(owners[p].leaves.count(), 2);
    EXPECT_NE(owners[p].leaves.first(), owners[o].leaves.first());
    EXPECT_EQ(owners[p].leaves[owners[p].leaves.last()].v, 2);
}

TEST_F(Chains, PrivatePool) {
    chain<Elem> c(4);
    EXPECT_EQ(order(c), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(c.pool()->size(), 4);
    EXPECT_EQ(c.pool()->empties(), std::vector<int>{});
    EXPECT_EQ(c.add(), 4);
    EXPECT_EQ(c.pool()->size(), 15) << "trunc(5 * 1.125) + 10";
    chain<Elem> copy(c);
    EXPECT_EQ(copy.pool(), c.pool());
    EXPECT_EQ(copy.count(), 5);
    c.reset();
    EXPECT_EQ(c.pool(), nullptr);
    EXPECT_EQ(copy.pool()->usage(), 1);
    chain<Elem> empty(0);
    EXPECT_EQ(empty.add(), 0);
    EXPECT_EQ(empty.pool()->size(), 11);
}

TEST_F(Chains, MoveKeepsSlots) {
    commonchain<Elem> a;
    a.add();
    a.add();
    auto slots = order(a);
    commonchain<Elem> b(std::move(a));
    EXPECT_EQ(order(b), slots);
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.add(), 2) << "a moved-from chain stays usable";
    commonchain<Elem> c;
    c.add();
    c = std::move(b);
    EXPECT_EQ(order(c), slots);
}

TEST_F(Chains, StartPoolBuildsAnEmptyPool) {
    fnd::start_pool<Owner>();
    EXPECT_EQ(commonchain<Owner>::commonbas().size(), 0);
    EXPECT_EQ(Index<Owner>::stat2().count(), 0);
    EXPECT_EQ(Index<Owner>::active, -1);
}

namespace {

// An independent model of one pool and its chains: a plain free list and
// plain element orders.
struct RefPool {
    int size = 0;
    std::list<int> freeList;
    std::vector<int> value;  // expected value per slot

    void grow(int n) {
        if (n <= size) return;
        int ns = static_cast<int>(n * 1.125) + 10;
        for (int k = size; k < ns; ++k) freeList.push_back(k);
        value.resize(ns, 0);
        size = ns;
    }
    int fresh() {
        if (freeList.empty()) grow(size + 1);
        int k = freeList.front();
        freeList.pop_front();
        return k;
    }
    int given(int i) {
        if (i < 0 || i > fnd::maxStoredSlot) return -1;
        grow(i + 1);
        auto it = std::find(freeList.begin(), freeList.end(), i);
        if (it == freeList.end()) return -1;
        freeList.erase(it);
        return i;
    }
    void put(int i) {
        value[i] = 0;
        freeList.push_front(i);
    }
};

}  // namespace

template <class T>
bool sameFreeList(const fnd::basechain<T>& pool, const std::list<int>& want) {
    auto it = want.begin();
    for (int k = pool.emptiesFirst(); k != -1; k = pool.tag(k).next, ++it)
        if (it == want.end() || *it != k) return false;
    return it == want.end();
}

TEST_F(Chains, RandomizedAgainstReferenceModel) {
    struct Val {
        int v = 0;
        bool operator==(const Val& o) const { return v == o.v; }
    };
    constexpr int kChains = 3;
    std::vector<commonchain<Val>> chains(kChains);
    std::vector<std::list<int>> ref(kChains);
    RefPool rp;
    auto& pool = commonchain<Val>::commonbas();
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    int nextValue = 1;

    auto randomElement = [&](int c) -> int {
        if (ref[c].empty()) return -1;
        auto it = ref[c].begin();
        std::advance(it, pick(static_cast<int>(ref[c].size())));
        return *it;
    };
    // Mostly slots of the present pool (free or taken), sometimes beyond it
    // while the pool is small, sometimes out of range.
    auto storedSlot = [&]() -> int {
        switch (pick(20)) {
            case 0: return -1 - pick(5);
            case 1: return fnd::maxStoredSlot + 1 + pick(3);
            case 2: return rp.size < 300 ? pick(rp.size + 100) : pick(rp.size);
            default: return pick(rp.size > 0 ? rp.size : 1);
        }
    };
    auto total = [&]() {
        std::size_t n = 0;
        for (auto& r : ref) n += r.size();
        return n;
    };

    for (int step = 0; step < 100000; ++step) {
        int c = pick(kChains);
        int op = total() > 250 ? 55 + pick(42) : pick(100);  // keep the pool small
        int got = -2, want = -2;
        if (op < 20) {  // add
            got = chains[c].add();
            want = rp.fresh();
            ref[c].push_back(want);
        } else if (op < 35) {  // add_data at a stored slot (or fresh)
            int i = pick(4) == 0 ? -2 : storedSlot();
            int v = nextValue++;
            got = chains[c].add_data(Val{v}, i);
            want = i == -2 ? rp.fresh() : rp.given(i);
            if (want != -1) {
                ref[c].push_back(want);
                rp.value[want] = v;
            }
        } else if (op < 55) {  // insert before / after an element
            bool before = op < 45;
            int j = pick(3) == 0 ? -1 : randomElement(c);
            int i = pick(3) == 0 ? storedSlot() : -2;
            got = before ? chains[c].insert_before_whichindex(i, j) : chains[c].insert_after_whichindex(i, j);
            want = i == -2 ? rp.fresh() : rp.given(i);
            if (want != -1) {
                auto pos = j == -1 ? (before ? ref[c].end() : ref[c].begin())
                                   : std::find(ref[c].begin(), ref[c].end(), j);
                if (j != -1 && !before) ++pos;
                ref[c].insert(pos, want);
            }
        } else if (op < 88) {  // remove an element
            int e = randomElement(c);
            if (e != -1) {
                EXPECT_TRUE(chains[c].remove_index(e));
                ref[c].remove(e);
                rp.put(e);
            }
        } else if (op < 97) {  // remove the first
            bool had = !ref[c].empty();
            EXPECT_EQ(chains[c].remove_first_index(), had);
            if (had) {
                rp.put(ref[c].front());
                ref[c].pop_front();
            }
        } else {  // copy another chain over this one
            int o = pick(kChains);
            if (o != c) {
                chains[c] = chains[o];
                for (int e : ref[c]) rp.put(e);
                ref[c].clear();
                for (int e : ref[o]) {
                    int s = rp.fresh();
                    rp.value[s] = rp.value[e];
                    ref[c].push_back(s);
                }
            }
        }
        ASSERT_EQ(got, want) << "step " << step << " op " << op;
        ASSERT_EQ(pool.size(), rp.size) << "step " << step;
        ASSERT_TRUE(sameFreeList(pool, rp.freeList)) << "step " << step;
        ASSERT_EQ(pool.emptiesLast(), rp.freeList.empty() ? -1 : rp.freeList.back());
        ASSERT_EQ(order(chains[c]), std::vector<int>(ref[c].begin(), ref[c].end())) << "step " << step;
        ASSERT_EQ(chains[c].count(), static_cast<int>(ref[c].size()));
        if (step % 97 == 0) {
            for (int k = 0; k < kChains; ++k) {
                ASSERT_EQ(backwards(chains[k]), std::vector<int>(ref[k].begin(), ref[k].end()));
                for (int e : ref[k]) ASSERT_EQ(chains[k][e].v, rp.value[e]);
            }
            for (int e : rp.freeList) ASSERT_EQ(pool.tag(e).value.v, 0) << "freed slots hold the null value";
        }
    }
    EXPECT_GT(rp.size, 300) << "the run reached a pool of some size";
}
