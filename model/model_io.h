#pragma once
// Element lists of the model text format: a count line, then one record a
// line one level deeper. Records carry their pool index; reading takes them
// through a SlotMap, so a file reads beside heads that hold those slots.

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "model/elements.h"

// Counts above this are refused: a corrupt file must not make the reader
// loop. The full template head has fewer than 40,000 elements a list.
inline constexpr int maxStoredCount = 1000000;

// The PHS layouts of vertices and triangles (set while a PHS file is read).
inline bool readFromPHS = false;

// "<count> \tof::<word> " on a new line.
void write_count_line(fileTB& f, int count, const char* word);
// Reads a count line; a negative or huge count fails the stream (result 0).
int read_count_line(fileTB& f);

// The elements of a chain: in chain order, or by ascending slot.
template <class T>
void write_elements_all(fileTB& f, const fnd::chain<T>& c, bool inChainOrder) {
    bool comment = f.commentMode();
    write_count_line(f, c.count(), T::word);
    {
        tabGuard g(f);
        if (inChainOrder) {
            for (int k = c.first(); k != -1; k = c.nextOf(k)) c[k].write(f, k);
        } else {
            std::vector<int> slots;
            for (int k = c.first(); k != -1; k = c.nextOf(k)) slots.push_back(k);
            std::sort(slots.begin(), slots.end());
            for (int k : slots) c[k].write(f, k);
        }
    }
    f.setCommentMode(comment);
}

template <class T>
void write_elements_short(fileTB& f, const fnd::chain<T>& c) {
    write_count_line(f, c.count(), T::word);
}

// A chain of indices: its count line, then one index a line.
template <class X>
void write_indices_all(fileTB& f, const fnd::chain<Index<X>>& c, bool inChainOrder) {
    write_count_line(f, c.count(), X::word);
    tabGuard g(f);
    std::vector<int> values;
    for (int k = c.first(); k != -1; k = c.nextOf(k)) values.push_back(c[k]);
    if (!inChainOrder) std::sort(values.begin(), values.end());
    for (int v : values) {
        f.newLine();
        f << v;
    }
}

template <class X>
void write_indices_short(fileTB& f, const fnd::chain<Index<X>>& c) {
    write_count_line(f, c.count(), X::word);
}

// The stored numbers of one list and the slots their elements took. A file
// names its elements by number and refers to them by those numbers; the
// elements go into whatever slots are free (the stored one when it is, so a
// head read into empty pools keeps its numbers), and the references are
// turned into slots once every list was read.
class SlotMap {
public:
    using Pairs = std::vector<std::pair<int, int>>;
    void add(int stored, int slot) { order_.emplace_back(stored, slot); }
    // False when a number was stored twice.
    bool seal() {
        // Numbers that run about as far as the records (every file the
        // program writes) are looked up directly, others by a search.
        int largest = -1;
        for (const auto& p : order_) largest = std::max(largest, p.first);
        dense_.clear();
        sorted_.clear();
        if (largest < 4 * int(order_.size()) + 1024) {
            dense_.assign(std::size_t(largest + 1), kNone);
            bool twice = false;
            for (const auto& [stored, slot] : order_) {
                twice = twice || dense_[std::size_t(stored)] != kNone;
                dense_[std::size_t(stored)] = slot;
            }
            if (!twice) return true;
            dense_.clear();
        }
        sorted_ = order_;
        std::sort(sorted_.begin(), sorted_.end());
        for (std::size_t k = 1; k < sorted_.size(); ++k)
            if (sorted_[k].first == sorted_[k - 1].first) return false;
        return true;
    }
    // The slot of a stored number; -1 stays -1. False for a number no
    // record of the list had.
    bool translate(int& x) const {
        if (x == -1) return true;
        if (!dense_.empty() || sorted_.empty()) {
            if (x < 0 || std::size_t(x) >= dense_.size() || dense_[std::size_t(x)] == kNone) return false;
            x = dense_[std::size_t(x)];
            return true;
        }
        auto at = std::lower_bound(sorted_.begin(), sorted_.end(), std::pair<int, int>(x, INT_MIN));
        if (at == sorted_.end() || at->first != x) return false;
        x = at->second;
        return true;
    }
    template <class X>
    bool translate(Index<X>& x) const {
        return translate(x.i);
    }
    // Every entry of an index list.
    template <class X>
    bool translate(fnd::chain<Index<X>>& c) const {
        for (int k = c.first(); k != -1; k = c.nextOf(k))
            if (!translate(c[k])) return false;
        return true;
    }
    void clear() {
        order_.clear();
        sorted_.clear();
        dense_.clear();
    }
    // The (stored number, slot) pairs in file order.
    Pairs take() {
        sorted_.clear();
        dense_.clear();
        return std::move(order_);
    }

private:
    static constexpr int kNone = INT_MIN;
    Pairs order_, sorted_;
    std::vector<int> dense_;  // slot by stored number (kNone: none)
};

// The stored number and the slot of every record of a head or a feature set,
// list by list in file order, and those of the points of each line by the
// line's slot: what settle() needs to move the elements into the slots
// their file named once those are free.
struct StoredNumbers {
    using Pairs = SlotMap::Pairs;
    Pairs lists[8];
    std::vector<std::pair<int, Pairs>> linePoints;
};

// Where the lines of the head or set being read leave their points' numbers.
inline StoredNumbers* readingNumbers = nullptr;

// Reads n records "index body". A record keeps its stored number as slot
// when prefer(number) allows it, the slot is free and the pool need not grow
// far for it; else it takes a free slot. -2 takes a free slot and can't be
// referred to. A number stored twice or below -2 fails the stream.
// check(element, slot) may refuse the record read.
template <class T, class Prefer, class Check>
void read_records(fileTB& f, fnd::chain<T>& c, int n, SlotMap& map, Prefer prefer, Check check) {
    map.clear();
    // Each record takes at least a byte.
    if (n < 0 || static_cast<std::size_t>(n) > f.remaining()) {
        f.fail();
        return;
    }
    for (int r = 0; r < n && f.good(); ++r) {
        int i = -1;
        f >> i;
        if (!f.good()) return;
        if (i < -2) {
            f.fail();
            return;
        }
        // A number far beyond what was read so far would make the pool hold
        // that many slots for a handful of records.
        const fnd::basechain<T>& pool = *c.pool();
        bool keep = i >= 0 && (i < pool.size() || i <= 2LL * r + 64) && prefer(i);
        Index<T> s = keep && (i >= pool.size() || pool.isFree(i)) ? c.insert_before_whichindex(i, -1) : Index<T>(-1);
        if (s == -1) s = c.add();
        if (s == -1) {
            f.fail();
            return;
        }
        if (i >= 0) map.add(i, s);
        Index<T>::active = s;
        f >> c[s];
        if (f.good() && !check(c[s], int(s))) f.fail();
    }
    if (f.good() && !map.seal()) f.fail();
}

// Reads a list (count line, then its records) into c, emptied first.
template <class T, class Prefer>
void read_elements_all(fileTB& f, fnd::chain<T>& c, SlotMap& map, Prefer prefer) {
    int n = read_count_line(f);
    c.remove_all();
    read_records(f, c, n, map, prefer, [](const T&, int) { return true; });
}

template <class T>
void read_elements_all(fileTB& f, fnd::chain<T>& c, SlotMap& map) {
    read_elements_all(f, c, map, [](int) { return true; });
}

// A list nothing in the file refers to.
template <class T>
void read_elements_all(fileTB& f, fnd::chain<T>& c) {
    SlotMap map;
    read_elements_all(f, c, map);
}

// Reads an index list, appending each index in file order.
template <class X>
void read_indices_all(fileTB& f, fnd::chain<Index<X>>& c) {
    int n = read_count_line(f);
    c.remove_all();
    if (static_cast<std::size_t>(n) > f.remaining()) f.fail();
    for (int r = 0; r < n && f.good(); ++r) {
        int v = -1;
        f >> v;
        if (f.good()) c.add_data(Index<X>(v));
    }
}
