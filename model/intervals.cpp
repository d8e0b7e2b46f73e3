#include "model/intervals.h"

#include <cmath>

namespace {

template <class LP>
bool isNode(Index<LP> p) {
    return p.data().kind == 2;
}

template <class LP>
Index<LP> firstOfLine(Index<LP> p) {
    if (p == -1) return -1;
    for (Index<LP> q = p.previous(); q != -1; q = q.previous()) p = q;
    return p;
}

template <class LP>
Index<LP> lastOfLine(Index<LP> p) {
    if (p == -1) return -1;
    for (Index<LP> q = p.next(); q != -1; q = q.next()) p = q;
    return p;
}

template <class LP>
Index<LP> firstOfInterval(Index<LP> p) {
    for (; p != -1; p = p.previous())
        if (isNode(p)) return p;
    return -1;
}

template <class LP>
Index<LP> lastOfInterval(Index<LP> p) {
    if (p == -1) return -1;
    for (Index<LP> q = p.next(); q != -1 && !isNode(q); q = q.next()) p = q;
    return p;
}

// Calls take(point) from the interval's starting node to its closing node.
template <class LP, class F>
void walkInterval(Index<LP> p, F take) {
    Index<LP> q = firstOfInterval(p);
    if (q == -1) return;
    take(q);
    for (q = q.next(); q != -1; q = q.next()) {
        take(q);
        if (isNode(q)) break;
    }
}

template <class T>
void prepend(dynarray<T>& a, const T& x) {
    a.add();
    for (int k = a.size() - 1; k > 0; --k) a[k] = a[k - 1];
    a[0] = x;
}

}  // namespace

Index<linepoint2> FirstPointOfLine(Index<linepoint2> p) { return firstOfLine(p); }
Index<linepoint3> FirstPointOfLine(Index<linepoint3> p) { return firstOfLine(p); }
Index<linepoint2> LastPointOfLine(Index<linepoint2> p) { return lastOfLine(p); }
Index<linepoint3> LastPointOfLine(Index<linepoint3> p) { return lastOfLine(p); }
Index<linepoint2> FirstPointOfInterval(Index<linepoint2> p) { return firstOfInterval(p); }
Index<linepoint3> FirstPointOfInterval(Index<linepoint3> p) { return firstOfInterval(p); }
Index<linepoint2> LastPointOfInterval(Index<linepoint2> p) { return lastOfInterval(p); }
Index<linepoint3> LastPointOfInterval(Index<linepoint3> p) { return lastOfInterval(p); }

void fillOfInterval(dynarray<vector2<double> >* positions, Index<linepoint2> p) {
    if (positions) positions->resize(0);
    walkInterval(p, [&](Index<linepoint2> q) {
        if (positions) positions->add() = q.data().position;
    });
}

void fillOfInterval(dynarray<vector3<double> >* positions, dynarray<vector3<double> >* normals, Index<linepoint3> p) {
    if (positions) positions->resize(0);
    if (normals) normals->resize(0);
    walkInterval(p, [&](Index<linepoint3> q) {
        const linepoint3& lp = q.data();
        if (positions) positions->add() = lp.point();
        if (normals) normals->add() = lp.roughNormal();
    });
}

void fillOfIntervalExtra(dynarray<vector2<double> >* positions, Index<linepoint2> p, vector2<double>& extra, bool atEnd,
                         bool, bool* added) {
    if (added) *added = false;
    fillOfInterval(positions, p);
    // Without positions there is no reference point: nothing is added.
    if (!positions || positions->size() == 0) return;
    const vector2<double> ref = atEnd ? (*positions)[positions->size() - 1] : (*positions)[0];
    if (!(std::hypot(extra.x - ref.x, extra.y - ref.y) > 3)) return;
    if (added) *added = true;
    if (atEnd) positions->add() = extra;
    else prepend(*positions, extra);
}

void fillOfIntervalExtra(dynarray<vector3<double> >* positions, dynarray<vector3<double> >* normals,
                         Index<linepoint3> p, generalpoint3& extra, bool atEnd, bool, bool* added) {
    if (added) *added = false;
    fillOfInterval(positions, normals, p);
    if (!positions || positions->size() == 0) return;
    const vector3<double> ref = atEnd ? (*positions)[positions->size() - 1] : (*positions)[0];
    const vector3<double> d = extra.point() - ref;
    if (!(std::sqrt(d * d) > 3)) return;
    if (added) *added = true;
    if (atEnd) {
        positions->add() = extra.point();
        if (normals) normals->add() = extra.roughNormal();
    } else {
        prepend(*positions, extra.point());
        if (normals) prepend(*normals, extra.roughNormal());
    }
}

int TypeOfLine(Index<linepoint3> p) { return p != -1 && p.data().isFixed() ? 12 : 11; }
