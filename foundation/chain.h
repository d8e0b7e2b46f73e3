#pragma once
// Pooled doubly linked chains. Every element lives in a slot of a pool and is
// named by its slot number (Index<T>); the number never changes while the
// element exists, so indices stay valid while elements move between chains,
// while other elements come and go, and across a write and a read of a file.
// The slot numbers and the order in which freed slots are reused are part of
// the file formats: the free list is LIFO, fresh slots come in increasing
// number, and a pool grows to trunc(n * factor) + step slots.
//
// A reference from data() or operator[] is valid only until the next
// insertion that may grow the pool; re-read through the index after it.

#include <climits>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/dynarray.h"
#include "foundation/filetb.h"
#include "foundation/vecmath.h"

namespace fnd {

template <class T>
class Index;
template <class T>
class chain;
template <class T>
class commonchain;

template <class T>
struct is_index : std::false_type {};
template <class X>
struct is_index<Index<X>> : std::true_type {};

// Per-type pool companions: whether a freed slot is reset (composed) and the
// value it is reset to. Index types and vector2<double> keep their old value.
template <class T>
struct admin_class {
    static constexpr bool composed = !is_index<T>::value && !std::is_same_v<T, vector2<double>>;
    // Never destroyed: chains released at exit still reset their slots.
    static const T& null() {
        static never_destroyed<T> value{};
        return value.get();
    }
};

namespace detail {
// Registered pool resets, run newest first by resetPools() (pools.h).
void registerPoolReset(void (*reset)());

// The size a pool grows to so that it holds slot n - 1.
inline int grownPoolSize(int n, double factor, int step) {
    double want = static_cast<double>(n) * factor;
    if (!(want < static_cast<double>(INT_MAX - (step > 0 ? step : 0)))) throw std::length_error("pool size");
    int fresh = static_cast<int>(want) + step;
    return fresh < n ? n : fresh;
}

// Constructs the type's null element before its pool, so that the pools
// the null element uses outlive this one.
template <class T>
struct null_first {
    null_first() { (void)admin_class<T>::null(); }
};

// One static pool with its reset registered once it exists. The holder is
// one user of the pool and is never destroyed, so the pool with its free
// list outlives every chain, also one owned by an object built before it.
template <class T, class Pool, void (*Reset)()>
struct pool_holder : null_first<T> {
    Pool* pool = new Pool(0, 10, 1.125, 10, 1.25);
    pool_holder() { registerPoolReset(Reset); }
    pool_holder(const pool_holder&) = delete;
    pool_holder& operator=(const pool_holder&) = delete;
};

// What chains and lists share: a pool (counted in its usage while held;
// a private pool is freed when nobody holds it), the two ends, the count,
// and value semantics built on the derived class's remove_all and copyFrom.
template <class Derived, class Pool>
class pooled_sequence {
public:
    Pool* pool() const { return pool_; }
    int count() const { return count_; }

    // Removes every element and lets go of the pool.
    void reset() {
        if (!pool_) return;
        self().remove_all();
        if (pool_->release()) delete pool_;
        pool_ = nullptr;
    }

protected:
    pooled_sequence() = default;
    explicit pooled_sequence(Pool* shared) : pool_(shared) { attach(); }
    // A copy shares the pool; the derived class copies the elements.
    pooled_sequence(const pooled_sequence& o) : pool_(o.pool_) { attach(); }
    pooled_sequence(pooled_sequence&& o) noexcept : pool_(o.pool_) {
        attach();
        takeLinks(o);
    }
    pooled_sequence& operator=(const pooled_sequence&) = delete;
    ~pooled_sequence() = default;

    void copyAssign(const Derived& o) {
        if (&self() == &o) return;
        self().remove_all();
        adoptPoolOf(o);
        self().copyFrom(o);
    }
    // Elements of the same pool change hands; from another pool they are
    // copied.
    void moveAssign(Derived& o) {
        if (&self() == &o) return;
        adoptPoolOf(o);
        if (pool_ != o.pool_) return copyAssign(o);
        self().remove_all();
        takeLinks(o);
    }
    void takeLinks(pooled_sequence& o) noexcept {
        first_ = o.first_;
        last_ = o.last_;
        count_ = o.count_;
        o.first_ = o.last_ = -1;
        o.count_ = 0;
    }

    Pool* pool_ = nullptr;
    int first_ = -1;
    int last_ = -1;
    int count_ = 0;

private:
    Derived& self() { return static_cast<Derived&>(*this); }
    void attach() {
        if (pool_) pool_->retain();
    }
    void adoptPoolOf(const pooled_sequence& o) {
        if (!pool_ && o.pool_) {
            pool_ = o.pool_;
            attach();
        }
    }
};
}  // namespace detail

// Stored indices above this are refused: a corrupt file must not make a pool
// allocate without bound.
inline constexpr int maxStoredSlot = 10000000;

template <class T>
struct chaintag {
    T value{};
    int next = -1;
    int prev = -1;
    bool used = false;  // on a chain, not on the free list
};

namespace detail {
// Doubly linked runs of slots with the ends first and last (-1 when empty);
// at(k) is slot k. Both the chains and the free list of their pool are such runs.
template <class At>
void linkBetween(At at, int s, int p, int n, int& first, int& last) {
    auto& t = at(s);
    t.prev = p;
    t.next = n;
    if (p != -1)
        at(p).next = s;
    else
        first = s;
    if (n != -1)
        at(n).prev = s;
    else
        last = s;
}
template <class At>
void unlinkSlot(At at, int s, int& first, int& last) {
    auto& t = at(s);
    if (t.prev != -1)
        at(t.prev).next = t.next;
    else
        first = t.next;
    if (t.next != -1)
        at(t.next).prev = t.prev;
    else
        last = t.prev;
}

// What the slot pools of chains and lists share: the slots, how they grow,
// who holds the pool, and the head of the free list. Derived links slots
// from..to-1 into its free list with linkFresh(from, to) as they come.
template <class Derived, class T, class Tag>
class slot_pool {
public:
    slot_pool(const slot_pool&) = delete;
    slot_pool& operator=(const slot_pool&) = delete;

    int size() const { return slots_.size(); }
    int usage() const { return usage_; }
    // Every chain or list on the pool, and the static holder, counts once;
    // the pool is freed by whoever lets go of it last.
    void retain() { ++usage_; }
    bool release() { return --usage_ == 0; }
    int step() const { return step_; }
    double factor() const { return factor_; }
    int emptiesFirst() const { return emptyFirst_; }

    // The free list from head to tail.
    std::vector<int> empties() const {
        std::vector<int> out;
        for (int k = emptyFirst_; k != -1; k = slots_[k].next) out.push_back(k);
        return out;
    }

    Tag& tag(int i) { return slots_[i]; }
    const Tag& tag(int i) const { return slots_[i]; }

    // Grows the pool to hold slot n - 1; never shrinks.
    void resize(int n) {
        int old = size();
        if (n <= old) return;
        int fresh = grownPoolSize(n, factor_, step_);
        slots_.resize(fresh);
        static_cast<Derived*>(this)->linkFresh(old, fresh);
    }

protected:
    slot_pool(int n, int step, double factor, int minStep, double grow)
        : step_(step), factor_(factor), minStep_(minStep), grow_(grow), slots_(n > 0 ? n : 0, minStep, grow, 0.33) {}
    ~slot_pool() = default;

    // A slot leaving use gets the type's null value back.
    void clearValue(int i) {
        if constexpr (admin_class<T>::composed) slots_[i].value = admin_class<T>::null();
    }
    // Back to no slots, for tests; sequences on the pool must hold nothing.
    void dropSlots() {
        slots_ = dynarray<Tag>(0, minStep_, grow_, 0.33);
        emptyFirst_ = -1;
    }

private:
    int step_;
    double factor_;
    int usage_ = 1;
    int minStep_;
    double grow_;

protected:
    dynarray<Tag> slots_;
    int emptyFirst_ = -1;
};
}  // namespace detail

// The slot pool with its doubly linked free list.
template <class T>
class basechain : public detail::slot_pool<basechain<T>, T, chaintag<T>> {
    using base = detail::slot_pool<basechain<T>, T, chaintag<T>>;
    friend base;
    using base::emptyFirst_;
    using base::slots_;

public:
    using base::size;

    explicit basechain(int n = 0, int step = 10, double factor = 1.125, int minStep = 10, double grow = 1.25)
        : base(n, step, factor, minStep, grow) {
        linkFresh(0, slots_.size());
    }

    int emptiesLast() const { return emptyLast_; }
    bool isFree(int i) const { return i >= 0 && i < size() && !slots_[i].used; }

    int get_new_index_outfrom_empties() {
        if (emptyFirst_ == -1) this->resize(size() + 1);
        int i = emptyFirst_;
        unlink(i);
        return i;
    }

    // Slot i out of the free list, growing the pool to cover it. A slot in
    // use, a negative number or one above maxStoredSlot is refused with -1.
    int get_index_outfrom_empties(int i) {
        if (i < 0 || i > maxStoredSlot) return -1;
        if (i >= size()) this->resize(i + 1);
        if (slots_[i].used) return -1;
        unlink(i);
        return i;
    }

    void put_index_into_empties(int i) {
        this->clearValue(i);
        slots_[i].used = false;
        detail::linkBetween(slot(), i, -1, emptyFirst_, emptyFirst_, emptyLast_);
    }

    // Back to no slots, for tests; chains on the pool must hold nothing.
    void reinit() {
        this->dropSlots();
        emptyLast_ = -1;
    }

private:
    // New slots join the tail of the free list in increasing order.
    void linkFresh(int from, int to) {
        for (int k = from; k < to; ++k) {
            slots_[k].used = false;
            detail::linkBetween(slot(), k, emptyLast_, -1, emptyFirst_, emptyLast_);
        }
    }

    void unlink(int i) {
        detail::unlinkSlot(slot(), i, emptyFirst_, emptyLast_);
        chaintag<T>& t = slots_[i];
        t.used = true;
        t.next = t.prev = -1;
    }

    // Slot k, for the link helpers.
    auto slot() {
        return [this](int k) -> chaintag<T>& { return slots_[k]; };
    }

    int emptyLast_ = -1;
};

// The slot number of one element of type T; -1 means none. data(), next()
// and previous() go through the chain that Index<T>::actual points at (the
// type's default chain while it is null).
template <class T>
class Index {
public:
    int i;

    constexpr Index(int v = -1) : i(v) {}
    constexpr operator int() const { return i; }
    friend constexpr bool operator==(Index a, Index b) { return a.i == b.i; }
    friend constexpr bool operator==(Index a, int b) { return a.i == b; }

    static inline chain<T>* actual = nullptr;
    static inline int active = -1;  // the element a reader has just read
    static commonchain<T>& stat2();
    static chain<T>& current() { return actual ? *actual : stat2(); }

    T& data() { return current()[i]; }
    const T& data() const { return current()[i]; }
    Index next() const;
    Index xnext() const { return i == -1 ? Index(-1) : next(); }
    Index previous() const;
    Index& add_to(chain<T>& c);
};

template <class T>
class chain : public detail::pooled_sequence<chain<T>, basechain<T>> {
    using base = detail::pooled_sequence<chain<T>, basechain<T>>;
    friend base;
    using base::count_;
    using base::first_;
    using base::last_;
    using base::pool_;

public:
    // n = -1: no pool yet. n >= 0: a private pool of n slots, all of them
    // linked into this chain in increasing order.
    explicit chain(int n = -1, int step = 10, double factor = 1.125) {
        if (n >= 0) {
            pool_ = new basechain<T>(n, step, factor, 10, 1.25);
            for (int k = 0; k < n; ++k) insert_before_whichindex(k, -1);
        }
    }
    // A copy shares the pool and holds copies in fresh slots.
    chain(const chain& o) : base(o) { copyFrom(o); }
    chain(chain&& o) noexcept : base(std::move(o)) {}
    chain& operator=(const chain& o) {
        this->copyAssign(o);
        return *this;
    }
    chain& operator=(chain&& o) noexcept {
        this->moveAssign(o);
        return *this;
    }
    ~chain() { this->reset(); }

    Index<T> first() const { return first_; }
    Index<T> last() const { return last_; }

    T& operator[](int i) { return pool_->tag(i).value; }
    const T& operator[](int i) const { return pool_->tag(i).value; }
    int nextOf(int i) const { return pool_->tag(i).next; }
    int prevOf(int i) const { return pool_->tag(i).prev; }

    // i = -2 takes a fresh slot, any other i that very slot (refused with -1
    // when it is in use or out of range). j = -1 appends at the end, else
    // the slot goes in front of element j.
    Index<T> insert_before_whichindex(int i, int j) {
        if (!pool_ || !validTarget(j)) return -1;
        int s = take(i);
        if (s < 0) return -1;
        if (j == -1)
            linkBetween(s, last_, -1);
        else
            linkBetween(s, pool_->tag(j).prev, j);
        return s;
    }

    // j = -1 puts the slot at the front, else behind element j.
    Index<T> insert_after_whichindex(int i, int j) {
        if (!pool_ || !validTarget(j)) return -1;
        int s = take(i);
        if (s < 0) return -1;
        if (j == -1)
            linkBetween(s, -1, first_);
        else
            linkBetween(s, j, pool_->tag(j).next);
        return s;
    }

    // The slot a file names, appended at the end; a refused slot fails the
    // stream and changes nothing.
    Index<T> insert_stored(fileTB& f, int i) {
        Index<T> s = insert_before_whichindex(i, -1);
        if (s == -1) f.fail();
        return s;
    }

    Index<T> add() { return insert_before_whichindex(-2, -1); }

    // x may be an element of this very pool: it is copied before the pool
    // can grow.
    Index<T> add_data(const T& x, int i = -2) {
        T copy(x);
        return add_data(std::move(copy), i);
    }
    Index<T> add_data(T&& x, int i = -2) {
        T moved(std::move(x));
        Index<T> s = insert_before_whichindex(i, -1);
        if (s != -1) (*this)[s] = std::move(moved);
        return s;
    }

    Index<T> index_of_data(const T& x) const {
        for (int k = first_; k != -1; k = nextOf(k))
            if ((*this)[k] == x) return k;
        return -1;
    }
    Index<T> add_data_ifnew(const T& x, int i = -2) {
        Index<T> k = index_of_data(x);
        return k != -1 ? k : add_data(x, i);
    }
    bool remove_data(const T& x) {
        Index<T> k = index_of_data(x);
        if (k == -1) return false;
        remove_index(k);
        return true;
    }

    // Unlinks element i of this chain and returns its slot to the pool.
    bool remove_index(int i) {
        if (!pool_ || i < 0 || i >= pool_->size() || !pool_->tag(i).used) return false;
        detail::unlinkSlot(slot(), i, first_, last_);
        --count_;
        pool_->put_index_into_empties(i);
        return true;
    }
    bool remove(int i) { return remove_index(i); }

    bool remove_first_index() { return first_ != -1 && remove_index(first_); }

    // Removes every element, first to last.
    void remove_all() {
        while (remove_first_index()) {
        }
        first_ = last_ = -1;
        count_ = 0;
    }

protected:
    struct shared_tag {};
    chain(basechain<T>& shared, shared_tag) : base(&shared) {}

private:
    bool validTarget(int j) const { return j == -1 || (j >= 0 && j < pool_->size() && pool_->tag(j).used); }
    int take(int i) {
        if (i == -2) return pool_->get_new_index_outfrom_empties();
        return pool_->get_index_outfrom_empties(i);
    }
    // Links slot s in between elements p and n (-1 for the ends).
    void linkBetween(int s, int p, int n) {
        detail::linkBetween(slot(), s, p, n, first_, last_);
        ++count_;
    }
    // Slot k of the pool, for the link helpers.
    auto slot() const {
        return [pool = pool_](int k) -> chaintag<T>& { return pool->tag(k); };
    }
    // The source may share this pool: each value is copied before the
    // insertion that may grow it.
    void copyFrom(const chain& o) {
        int prev = -1;
        for (int k = o.first_; k != -1; k = o.nextOf(k)) {
            T copy(o[k]);
            int s = insert_after_whichindex(-2, prev);
            (*this)[s] = std::move(copy);
            prev = s;
        }
    }
};

namespace detail {
template <class T>
void resetChainPool();
}  // namespace detail

namespace detail {
// A chain or list on the one static pool of its value type V.
template <class Seq, class Pool, class V, void (*Reset)()>
class on_common_pool : public Seq {
public:
    static Pool& commonbas() {
        static never_destroyed<pool_holder<V, Pool, Reset>> holder;
        return *holder.get().pool;
    }

    on_common_pool() : Seq(commonbas(), typename Seq::shared_tag{}) {}
    on_common_pool(const on_common_pool& o) : on_common_pool() { Seq::operator=(o); }
    on_common_pool(on_common_pool&& o) noexcept : on_common_pool() { this->takeLinks(o); }
    on_common_pool& operator=(const on_common_pool& o) {
        Seq::operator=(o);
        return *this;
    }
    on_common_pool& operator=(on_common_pool&& o) noexcept {
        Seq::operator=(std::move(o));
        return *this;
    }
};
}  // namespace detail

// A chain on the one static pool of its element type; any number of them
// share it, and it survives them all.
template <class T>
class commonchain : public detail::on_common_pool<chain<T>, basechain<T>, T, &detail::resetChainPool<T>> {};

// A chain of references to elements of type T.
template <class T>
using commonchainindex = commonchain<Index<T>>;

namespace detail {
template <class T>
void resetChainPool() {
    Index<T>::stat2().remove_all();
    Index<T>::actual = nullptr;
    Index<T>::active = -1;
    commonchain<T>::commonbas().reinit();
}
}  // namespace detail

template <class T>
commonchain<T>& Index<T>::stat2() {
    static never_destroyed<commonchain<T>> c;
    return c.get();
}

template <class T>
Index<T> Index<T>::next() const {
    return current().nextOf(i);
}

template <class T>
Index<T> Index<T>::previous() const {
    return current().prevOf(i);
}

template <class T>
Index<T>& Index<T>::add_to(chain<T>& c) {
    i = c.add();
    return *this;
}

// Indices are stored as the bare number.
template <class T>
fileTB& operator<<(fileTB& f, const Index<T>& x) {
    int v = x.i;
    return f << v;
}
template <class T>
fileTB& operator>>(fileTB& f, Index<T>& x) {
    return f >> x.i;
}

}  // namespace fnd
