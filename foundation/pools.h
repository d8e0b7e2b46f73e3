#pragma once
// The static element pools and their start-up.
//
// How a type gets its pool: nothing to declare. commonchain<T> (and, for a
// list of indices, commonlist<Index<X>>) finds the one static pool of its
// type through commonchain<T>::commonbas(), built on first use from
// (0, 10, 1.125, 10, 1.25). Its companions are Index<T>::stat2() (the empty
// default chain), Index<T>::actual (the current chain; null means stat2),
// Index<T>::active (-1 at start), and admin_class<T> (composed: reset freed
// slots to admin_class<T>::null(), true for all but Index<X> and
// vector2<double>; a type with another rule or null value brings its own
// admin_class<T>).
//
// The null element is built before its pool, so every pool that a T uses
// for its own chains and lists is built before T's pool. The model calls
// start_pool<T>() (and start_list_pool<X>() for its index lists) once at
// start-up in its table order, so the order of construction does not depend
// on which code happens to touch a pool first.
//
// Null elements, pools (with their free lists) and default chains are never
// destroyed: a chain owned by an object built before them (the application
// object) is emptied at exit after every other static is gone, and its
// slots still go back to an intact pool, reset to an intact null element.

#include "foundation/chain.h"
#include "foundation/list.h"

namespace fnd {

// Null element, pool, default chain, active index -1.
template <class T>
void start_pool() {
    (void)admin_class<T>::null();
    (void)commonchain<T>::commonbas();
    (void)Index<T>::stat2();
    Index<T>::active = -1;
}

// The list pool of Index<X> values with its default list.
template <class X>
void start_list_pool() {
    using V = Index<X>;
    (void)admin_class<V>::null();
    (void)commonlist<V>::commonbas();
    (void)lindex<V>::stat1();
    lindex<V>::active = -1;
}

// For tests: every pool built so far back to no slots, its default chain
// empty, actual and active back to their start values; newest pool first,
// so that elements release their own chains into pools still intact. No
// other chain or list may hold elements when it runs.
void resetPools();

}  // namespace fnd
