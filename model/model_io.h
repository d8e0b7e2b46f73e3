#pragma once
// Element lists of the model text format: a count line, then one record a
// line one level deeper. Records carry their pool index, and reading puts
// each element back into the very slot it names.

#include <algorithm>
#include <vector>

#include "model/elements.h"

// Counts and slot numbers above this are refused: a corrupt file must not
// make the reader loop or make a pool allocate without bound. The full
// template head uses slots below 40,000.
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

// Reads n records "index body", each into the slot its index names (-2: the
// first free one). A slot in use or out of range fails the stream. take(i)
// may move things out of the way (or refuse the index, failing the stream)
// before the slot is taken; check(element, slot) may refuse the record read.
template <class T, class Take, class Check>
void read_records(fileTB& f, fnd::chain<T>& c, int n, Take take, Check check) {
    // Each record takes at least a byte, and a slot number far beyond the
    // count would make the pool hold that many slots for a handful of
    // records (gigabytes from a damaged file).
    if (static_cast<std::size_t>(n) > f.remaining()) {
        f.fail();
        return;
    }
    const long long slotBound = 8LL * n + 65536;
    for (int r = 0; r < n && f.good(); ++r) {
        int i = -1;
        f >> i;
        if (!f.good()) return;
        if (i > maxStoredCount || i > slotBound || !take(i)) {
            f.fail();
            return;
        }
        Index<T> s = c.insert_stored(f, i);
        if (s == -1) return;
        Index<T>::active = s;
        f >> c[s];
        if (f.good() && !check(c[s], int(s))) f.fail();
    }
}

// Reads a list (count line, then its records) into c, emptied first.
template <class T, class Take>
void read_elements_all(fileTB& f, fnd::chain<T>& c, Take take) {
    int n = read_count_line(f);
    c.remove_all();
    read_records(f, c, n, take, [](const T&, int) { return true; });
}

template <class T>
void read_elements_all(fileTB& f, fnd::chain<T>& c) {
    read_elements_all(f, c, [](int) { return true; });
}

// Reads an index list, appending each index in file order.
template <class X>
void read_indices_all(fileTB& f, fnd::chain<Index<X>>& c) {
    int n = read_count_line(f);
    c.remove_all();
    for (int r = 0; r < n && f.good(); ++r) {
        int v = -1;
        f >> v;
        if (f.good()) c.add_data(Index<X>(v));
    }
}
