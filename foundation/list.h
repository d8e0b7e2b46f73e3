#pragma once
// Pooled singly linked lists: the small index lists that elements own (the
// triangles around a vertex, ...). Like the chains of chain.h but with one
// link per slot and a free list with a head only; slots are reused last
// freed, first used, and fresh ones come in increasing number.

#include <utility>
#include <vector>

#include "foundation/chain.h"

namespace fnd {

template <class T>
class list;
template <class T>
class commonlist;

template <class T>
struct listtag {
    T value{};
    int next = -1;
};

// The slot pool with its singly linked free list.
template <class T>
class baselist : public detail::slot_pool<baselist<T>, T, listtag<T>> {
    using base = detail::slot_pool<baselist<T>, T, listtag<T>>;
    friend base;
    using base::emptyFirst_;
    using base::slots_;

public:
    explicit baselist(int n = 0, int step = 10, double factor = 1.125, int minStep = 10, double grow = 1.25)
        : base(n, step, factor, minStep, grow) {
        linkFresh(0, slots_.size());
    }

    int get_new_index_outfrom_empties() {
        if (emptyFirst_ == -1) this->resize(this->size() + 1);
        int i = emptyFirst_;
        emptyFirst_ = slots_[i].next;
        slots_[i].next = -1;
        return i;
    }

    void put_index_into_empties(int i) {
        this->clearValue(i);
        slots_[i].next = emptyFirst_;
        emptyFirst_ = i;
    }

    // Back to no slots, for tests; lists on the pool must hold nothing.
    void reinit() { this->dropSlots(); }

private:
    // Slots from..to-1 chained in increasing order in front of the old head
    // (which is empty whenever the pool grows).
    void linkFresh(int from, int to) {
        if (from >= to) return;
        for (int k = from; k < to; ++k) slots_[k].next = k + 1 < to ? k + 1 : emptyFirst_;
        emptyFirst_ = from;
    }
};

// A position in a list of T values, read through the list that
// lindex<T>::actual points at (the type's default list while it is null).
template <class T>
class lindex {
public:
    int i;

    constexpr lindex(int v = -1) : i(v) {}
    constexpr operator int() const { return i; }
    friend constexpr bool operator==(lindex a, lindex b) { return a.i == b.i; }
    friend constexpr bool operator==(lindex a, int b) { return a.i == b; }

    static inline list<T>* actual = nullptr;
    static inline int active = -1;
    static commonlist<T>& stat1();
    static list<T>& current() { return actual ? *actual : stat1(); }

    T& data() { return current()[i]; }
    const T& data() const { return current()[i]; }
    lindex next() const { return current().nextOf(i); }
    lindex xnext() const { return i == -1 ? lindex(-1) : next(); }
};

// A position in a list of Index<X> values whose data() is the element itself.
template <class X>
class lindexindex : public lindex<Index<X>> {
public:
    using lindex<Index<X>>::lindex;
    constexpr lindexindex(lindex<Index<X>> p) : lindex<Index<X>>(p) {}
    X& data() { return lindex<Index<X>>::data().data(); }
    const X& data() const { return lindex<Index<X>>::data().data(); }
    lindexindex next() const { return lindex<Index<X>>::next(); }
    lindexindex xnext() const { return lindex<Index<X>>::xnext(); }
};

template <class T>
class list : public detail::pooled_sequence<list<T>, baselist<T>> {
    using base = detail::pooled_sequence<list<T>, baselist<T>>;
    friend base;
    using base::count_;
    using base::first_;
    using base::last_;
    using base::pool_;

public:
    explicit list(int n = -1, int step = 10, double factor = 1.125) {
        if (n >= 0) pool_ = new baselist<T>(n, step, factor, 10, 1.25);
    }
    list(const list& o) : base(o) { copyFrom(o); }
    list(list&& o) noexcept : base(std::move(o)) {}
    list& operator=(const list& o) {
        this->copyAssign(o);
        return *this;
    }
    list& operator=(list&& o) noexcept {
        this->moveAssign(o);
        return *this;
    }
    ~list() { this->reset(); }

    lindex<T> first() const { return first_; }
    lindex<T> last() const { return last_; }
    T& operator[](int i) { return pool_->tag(i).value; }
    const T& operator[](int i) const { return pool_->tag(i).value; }
    int nextOf(int i) const { return pool_->tag(i).next; }

    // Only -2 (a fresh slot) is accepted: a list cannot take a given slot.
    lindex<T> add_index(int i = -2) {
        if (i != -2 || !pool_) return -1;
        int s = pool_->get_new_index_outfrom_empties();
        pool_->tag(s).next = -1;
        if (last_ != -1)
            pool_->tag(last_).next = s;
        else
            first_ = s;
        last_ = s;
        ++count_;
        return s;
    }
    lindex<T> add() { return add_index(-2); }

    lindex<T> add_data(const T& x, int i = -2) {
        T copy(x);  // x may live in this pool
        lindex<T> s = add_index(i);
        if (s != -1) (*this)[s] = std::move(copy);
        return s;
    }

    // A fresh slot behind position j, or at the front for j = -1.
    lindex<T> insert_after_index(int j) {
        if (!pool_) return -1;
        int s = pool_->get_new_index_outfrom_empties();
        if (j == -1) {
            pool_->tag(s).next = first_;
            first_ = s;
        } else {
            pool_->tag(s).next = pool_->tag(j).next;
            pool_->tag(j).next = s;
        }
        if (pool_->tag(s).next == -1) last_ = s;
        ++count_;
        return s;
    }

    bool remove_first_index() {
        if (first_ == -1) return false;
        int s = first_;
        first_ = pool_->tag(s).next;
        if (first_ == -1) last_ = -1;
        --count_;
        pool_->put_index_into_empties(s);
        return true;
    }

    // Walks from the head to find the predecessor; -1 and positions not in
    // this list change nothing.
    bool remove_index(int i) {
        if (i == -1 || !pool_) return false;
        int prev = -1;
        int k = first_;
        while (k != -1 && k != i) {
            prev = k;
            k = pool_->tag(k).next;
        }
        if (k == -1) return false;
        int next = pool_->tag(i).next;
        if (prev == -1)
            first_ = next;
        else
            pool_->tag(prev).next = next;
        if (last_ == i) last_ = prev;
        --count_;
        pool_->put_index_into_empties(i);
        return true;
    }
    bool remove(int i) { return remove_index(i); }

    lindex<T> index_of_data(const T& x) const {
        for (int k = first_; k != -1; k = nextOf(k))
            if ((*this)[k] == x) return k;
        return -1;
    }
    bool remove_data(const T& x) {
        lindex<T> k = index_of_data(x);
        return k != -1 && remove_index(k);
    }

    void remove_all() {
        while (remove_first_index()) {
        }
    }

protected:
    struct shared_tag {};
    list(baselist<T>& shared, shared_tag) : base(&shared) {}

private:
    void copyFrom(const list& o) {
        int prev = -1;
        for (int k = o.first_; k != -1; k = o.nextOf(k)) {
            T copy(o[k]);
            int s = insert_after_index(prev);
            (*this)[s] = std::move(copy);
            prev = s;
        }
    }
};

namespace detail {
template <class T>
void resetListPool();
}  // namespace detail

// A list on the one static pool of its value type.
template <class T>
class commonlist : public detail::on_common_pool<list<T>, baselist<T>, T, &detail::resetListPool<T>> {};

template <class X>
using commonlistindex = commonlist<Index<X>>;

namespace detail {
template <class T>
void resetListPool() {
    lindex<T>::stat1().remove_all();
    lindex<T>::actual = nullptr;
    lindex<T>::active = -1;
    commonlist<T>::commonbas().reinit();
}
}  // namespace detail

template <class T>
commonlist<T>& lindex<T>::stat1() {
    static never_destroyed<commonlist<T>> l;
    return l.get();
}

}  // namespace fnd
