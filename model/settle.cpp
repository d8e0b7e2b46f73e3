// A head read beside another takes free slots where the other held those
// its file named. Once the other has gone, settle() moves the elements
// into the named slots and turns every reference, so that the head is
// numbered as its file (and writes it out as it came in).

#include <vector>

#include "model/head.h"
#include "model/model_io.h"

namespace {

// Old slot -> new slot of one pool; slots that stay map to themselves.
class Moves {
public:
    void add(int from, int to) {
        if (from >= int(to_.size())) to_.resize(std::size_t(from) + 1, -1);
        to_[std::size_t(from)] = to;
        any_ = true;
    }
    bool any() const { return any_; }
    template <class X>
    void apply(Index<X>& x) const {
        if (x.i >= 0 && x.i < int(to_.size()) && to_[std::size_t(x.i)] != -1) x.i = to_[std::size_t(x.i)];
    }
    template <class C>
    void applyAll(C& indices) const {
        if (!any_) return;
        for (int k = indices.first(); k != -1; k = indices.nextOf(k)) apply(indices[k]);
    }

private:
    std::vector<int> to_;
    bool any_ = false;
};

// Moves the elements of c to their stored slots where those are free,
// keeping their places in the chain; an element whose slot is taken stays
// (and may free a slot another one wants, hence the passes).
template <class T, class Allowed>
void settleList(fnd::chain<T>& c, StoredNumbers::Pairs& pairs, Moves& moves, Allowed allowed) {
    const fnd::basechain<T>& pool = *c.pool();
    std::vector<char> member(std::size_t(pool.size()), 0);
    for (int k = c.first(); k != -1; k = c.nextOf(k)) member[std::size_t(k)] = 1;
    for (bool moved = true; moved;) {
        moved = false;
        for (auto& [stored, slot] : pairs) {
            if (stored == slot || stored < 0 || stored >= pool.size() || slot < 0 || slot >= pool.size()) continue;
            if (!member[std::size_t(slot)] || !pool.isFree(stored) || !allowed(stored)) continue;
            const int next = c.nextOf(slot);
            Index<T> s = c.insert_before_whichindex(stored, next);
            if (s == -1) continue;
            c[s] = std::move(c[slot]);
            c.remove_index(slot);
            member[std::size_t(slot)] = 0;
            member[std::size_t(stored)] = 1;
            moves.add(slot, stored);
            slot = stored;
            moved = true;
        }
    }
}

template <class T>
void settleList(fnd::chain<T>& c, StoredNumbers::Pairs& pairs, Moves& moves) {
    settleList(c, pairs, moves, [](int) { return true; });
}

void applyPoint(generalpoint3& g, const Moves& es, const Moves& vs) {
    es.apply(g.extra);
    vs.apply(g.vtx);
}

}  // namespace

void head3::settle() {
    std::unique_ptr<StoredNumbers> n = std::move(stored_);
    if (!n) return;
    Moves vs, ts, es, ps, ls, cs, as, rs, lps;
    settleList(vertices, n->lists[0], vs);
    settleList(triangles, n->lists[1], ts);
    settleList(extrapoints, n->lists[2], es, [](int i) { return i != 0 && i != 1; });
    settleList<featurepoint3>(featurepoints, n->lists[3], ps);
    settleList<featureline3>(featurelines, n->lists[4], ls);
    settleList<featurecolor>(colors, n->lists[5], cs);
    settleList(areas, n->lists[6], as);
    settleList<region>(regions, n->lists[7], rs);
    for (auto& [line, points] : n->linePoints) {
        Index<featureline3> l(line);
        ls.apply(l);
        if (l < 0 || l >= featurelines.pool()->size() || featurelines.pool()->isFree(l)) continue;
        settleList<linepoint3>(featurelines[l], points, lps);
    }
    // The work points back in slots 0 and 1, where a new head keeps them.
    {
        int want = 0;
        for (int k = reserved.first(); k != -1 && want < 2; ++want) {
            int next = reserved.nextOf(k);
            if (k != want && extrapoints.pool()->isFree(want)) {
                Index<extrapoint> s = reserved.insert_before_whichindex(want, next);
                if (s != -1) {
                    reserved[s] = reserved[k];
                    reserved.remove_index(k);
                }
            }
            k = next;
        }
    }
    if (actual_head3 == this) set_actual();
    const bool any = vs.any() || ts.any() || es.any() || ps.any() || ls.any() || cs.any() || as.any() || rs.any() ||
                     lps.any();
    if (!any) return;
    for (int k = vertices.first(); k != -1; k = vertices.nextOf(k)) {
        vertex& v = vertices[k];
        vs.apply(v.mirror);
        ts.applyAll(v.triangles);
        lps.applyAll(v.linepoints);
        ps.apply(v.featurepoint);
        ts.apply(v.mirrorTriangle);
    }
    for (int k = triangles.first(); k != -1; k = triangles.nextOf(k)) {
        triangle& t = triangles[k];
        ts.apply(t.mirror);
        ts.apply(t.quadPartner);
        vs.apply(t.a);
        vs.apply(t.b);
        vs.apply(t.c);
        as.apply(t.areaOf);
        es.applyAll(t.extrapoints);
    }
    for (fnd::chain<extrapoint>* c : {static_cast<fnd::chain<extrapoint>*>(&extrapoints),
                                      static_cast<fnd::chain<extrapoint>*>(&reserved)})
        for (int k = c->first(); k != -1; k = c->nextOf(k)) {
            extrapoint& e = (*c)[k];
            es.apply(e.mirror);
            ts.apply(e.tri);
            lps.apply(e.linepoint);
            ps.apply(e.featurepoint);
        }
    for (int k = featurepoints.first(); k != -1; k = featurepoints.nextOf(k)) {
        featurepoint3& p = featurepoints[k];
        ps.apply(p.mirror);
        applyPoint(p, es, vs);
        rs.applyAll(p.regions);
    }
    for (int k = featurelines.first(); k != -1; k = featurelines.nextOf(k)) {
        featureline3& l = featurelines[k];
        ls.apply(l.mirror);
        rs.applyAll(l.regions);
        for (int j = l.first(); j != -1; j = l.nextOf(j)) {
            applyPoint(l[j], es, vs);
            ls.apply(l[j].line);
        }
    }
    for (int k = areas.first(); k != -1; k = areas.nextOf(k)) {
        area& a = areas[k];
        as.apply(a.link);
        ts.applyAll(a.triangles);
        rs.applyAll(a.regions);
    }
    for (int k = regions.first(); k != -1; k = regions.nextOf(k)) {
        region& r = regions[k];
        rs.apply(r.mirror);
        as.applyAll(r.areas);
        ls.apply(r.borderLine);
        ls.applyAll(r.lines);
        ps.applyAll(r.points);
        cs.apply(r.colour);
    }
    // The octree names triangles: it is filled again at its next use.
    if (octree_) OctreeMoved();
}

void head2::settle() {
    std::unique_ptr<StoredNumbers> n = std::move(stored_);
    if (!n) return;
    Moves points, lines, linePoints;
    settleList<featurepoint2>(photoPoints, n->lists[0], points);
    settleList<featurepoint2>(overlayPoints, n->lists[1], points);
    settleList<featureline2>(photoLines, n->lists[2], lines);
    settleList<featureline2>(overlayLines, n->lists[3], lines);
    for (auto& [line, pts] : n->linePoints) {
        Index<featureline2> l(line);
        lines.apply(l);
        if (l < 0 || l >= photoLines.pool()->size() || photoLines.pool()->isFree(l)) continue;
        settleList<linepoint2>(photoLines[l], pts, linePoints);
    }
}
