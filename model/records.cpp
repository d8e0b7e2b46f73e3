// The records of the model text format, one element each.

#include <algorithm>

#include "model/elements.h"
#include "model/model_io.h"

namespace {

bool bodyOnly(const int& index) { return &index == &global_no_index; }

// Line break and index; with a tab after it for the records that have one.
void indexLine(fileTB& f, const int& index, bool tab) {
    if (bodyOnly(index)) return;
    f.newLine();
    f << index;
    if (tab) f.tab();
}

template <class T>
void readIndexed(fileTB& f, int& index, T& element) {
    f >> index;
    Index<T>::active = index;
    f >> element;
}

fileTB& put3(fileTB& f, const vector3<double>& v) { return f << v.x << v.y << v.z; }
fileTB& get3(fileTB& f, vector3<double>& v) { return f >> v.x >> v.y >> v.z; }
fileTB& put2(fileTB& f, const vector2<double>& v) { return f << v.x << v.y; }
fileTB& get2(fileTB& f, vector2<double>& v) { return f >> v.x >> v.y; }

}  // namespace

void write_count_line(fileTB& f, int count, const char* word) {
    f.newLine();
    fnd::NamedClass.write_pieceof_class(f, count, word);
}

int read_count_line(fileTB& f) {
    int n = fnd::NamedClass.read_pieceof_class(f);
    if (!f.good()) return 0;
    if (n < 0 || n > maxStoredCount) {
        f.fail();
        return 0;
    }
    return n;
}

// ---- vertex: i, link, x, y, z ----

fileTB& operator<<(fileTB& f, const vertex& v) {
    f << v.mirror;
    return put3(f, v.position);
}
fileTB& operator>>(fileTB& f, vertex& v) {
    if (!readFromPHS) f >> v.mirror;
    return get3(f, v.position);
}
void vertex::write(fileTB& f, const int& index) const {
    indexLine(f, index, false);
    f << *this;
}
void vertex::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- triangle: i, t1, t2, tab, pa, pb, pc, tab, g, m, tab, c1, c2, c3 ----

fileTB& operator<<(fileTB& f, const triangle& t) {
    f << t.mirror << t.quadPartner;
    f.tab();
    f << t.a << t.b << t.c;
    f.tab();
    f << t.group << t.material;
    f.tab();
    return f << t.txtRow[0] << t.txtRow[1] << t.txtRow[2];
}
fileTB& operator>>(fileTB& f, triangle& t) {
    if (readFromPHS) return f >> t.a >> t.b >> t.c;
    if (head3Version < 3) {
        // Older layout: one link and three values that are not kept.
        double dropped;
        return f >> t.mirror >> t.a >> t.b >> t.c >> dropped >> dropped >> dropped;
    }
    f >> t.mirror >> t.quadPartner >> t.a >> t.b >> t.c >> t.group >> t.material;
    return f >> t.txtRow[0] >> t.txtRow[1] >> t.txtRow[2];
}
void triangle::write(fileTB& f, const int& index) const {
    indexLine(f, index, false);
    f << *this;
}
void triangle::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- edit point: i, tab, e, tab, t, tab, b1, b2, b3, tab, s ----

fileTB& operator<<(fileTB& f, const extrapoint& e) {
    f << e.mirror;
    f.tab();
    f << e.tri;
    f.tab();
    put3(f, e.local);
    f.tab();
    return f << e.mode;
}
fileTB& operator>>(fileTB& f, extrapoint& e) {
    f >> e.mirror >> e.tri;
    get3(f, e.local);
    return f >> e.mode;
}
void extrapoint::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void extrapoint::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- feature point: i, tab, name; (deeper) k, tab, mirror, tab, e, vtx, w ----

fileTB& operator<<(fileTB& f, const featurepoint3& p) {
    p.write_nameof_instance(f, featurepoint3::word);
    tabGuard g(f);
    f.newLine();
    f << p.used;
    f.tab();
    f << p.mirror;
    f.tab();
    return f << static_cast<const generalpoint3&>(p) << p.weight;
}
fileTB& operator>>(fileTB& f, featurepoint3& p) {
    p.read_nameof_instance(f, featurepoint3::word);
    f >> p.used >> p.mirror >> static_cast<generalpoint3&>(p);
    return f >> p.weight;
}
void featurepoint3::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void featurepoint3::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- line point: i, tab, e, vtx, tab, w1, w2, tab, kind ----

fileTB& operator<<(fileTB& f, const linepoint3& p) {
    f << static_cast<const generalpoint3&>(p);
    f.tab();
    f << p.weight1 << p.weight2;
    f.tab();
    return f << p.kind;
}
fileTB& operator>>(fileTB& f, linepoint3& p) {
    f >> static_cast<generalpoint3&>(p);
    return f >> p.weight1 >> p.weight2 >> p.kind;
}
void linepoint3::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void linepoint3::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- feature line: i, tab, name; a, mirror, f1, f2, n, b, px, py, pz;
//      short count of its line points; the line-point list ----

fileTB& operator<<(fileTB& f, const featureline3& l) {
    l.write_nameof_instance(f, featureline3::word);
    tabGuard g(f);
    f.newLine();
    f << l.used << l.mirror << l.closing << l.closedSpline << l.side << l.splineType;
    put3(f, l.weightPoint);
    const fnd::chain<linepoint3>& points = l;
    write_elements_short(f, points);
    write_elements_all(f, points, true);
    return f;
}
fileTB& operator>>(fileTB& f, featureline3& l) {
    Index<featureline3> self = Index<featureline3>::active;
    l.read_nameof_instance(f, featureline3::word);
    f >> l.used >> l.mirror >> l.closing >> l.closedSpline >> l.side >> l.splineType;
    get3(f, l.weightPoint);
    read_count_line(f);
    fnd::chain<linepoint3>& points = l;
    SlotMap map;
    read_elements_all(f, points, map);
    if (readingNumbers && f.good()) readingNumbers->linePoints.emplace_back(int(self), map.take());
    for (int k = points.first(); k != -1; k = points.nextOf(k)) points[k].line = self;
    Index<featureline3>::active = self;
    return f;
}
void featureline3::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void featureline3::read(fileTB& f, int& index) {
    f >> index;
    Index<featureline3>::active = index;
    f >> *this;
}

// ---- colour: i, name (no tab); (deeper) r, g, b ----

fileTB& operator<<(fileTB& f, const featurecolor& c) {
    c.write_nameof_instance(f, featurecolor::word);
    tabGuard g(f);
    f.newLine();
    return put3(f, c);
}
fileTB& operator>>(fileTB& f, featurecolor& c) {
    c.read_nameof_instance(f, featurecolor::word);
    return get3(f, c);
}
void featurecolor::write(fileTB& f, const int& index) const {
    indexLine(f, index, false);
    f << *this;
}
void featurecolor::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- area: i, tab, th::BasicArea; parent; short count; triangle list ----

fileTB& operator<<(fileTB& f, const area& a) {
    a.write_class(f, area::word);
    tabGuard g(f);
    f.newLine();
    f << a.link;
    write_indices_short(f, a.triangles);
    write_indices_all(f, a.triangles, false);
    return f;
}
fileTB& operator>>(fileTB& f, area& a) {
    a.read_class(f);
    f >> a.link;
    read_count_line(f);
    read_indices_all(f, a.triangles);
    return f;
}
void area::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void area::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- region: i, tab, name; s, tab, mirror, tab, colour, tab, line;
//      frame; three short counts; the three index lists ----

fileTB& operator<<(fileTB& f, const region& r) {
    r.write_nameof_instance(f, region::word);
    tabGuard g(f);
    f.newLine();
    f << r.used;
    f.tab();
    f << r.mirror;
    f.tab();
    f << r.colour;
    f.tab();
    f << r.borderLine;
    f.newLine();
    put3(f, r.origin);
    f.tab();
    put3(f, r.axisX);
    f.tab();
    put3(f, r.axisY);
    f.tab();
    put3(f, r.axisZ);
    write_indices_short(f, r.areas);
    write_indices_short(f, r.lines);
    write_indices_short(f, r.points);
    write_indices_all(f, r.areas, false);
    write_indices_all(f, r.lines, false);
    write_indices_all(f, r.points, false);
    return f;
}
fileTB& operator>>(fileTB& f, region& r) {
    r.read_nameof_instance(f, region::word);
    f >> r.used >> r.mirror >> r.colour >> r.borderLine;
    get3(f, r.origin);
    get3(f, r.axisX);
    get3(f, r.axisY);
    get3(f, r.axisZ);
    read_count_line(f);
    read_count_line(f);
    read_count_line(f);
    read_indices_all(f, r.areas);
    read_indices_all(f, r.lines);
    read_indices_all(f, r.points);
    return f;
}
void region::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void region::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- 2D: feature point i, tab, name; (deeper) x, y, w ----

fileTB& operator<<(fileTB& f, const featurepoint2& p) {
    p.write_nameof_instance(f, featurepoint2::word);
    tabGuard g(f);
    f.newLine();
    put2(f, p.position);
    return f << p.weight;
}
fileTB& operator>>(fileTB& f, featurepoint2& p) {
    p.read_nameof_instance(f, featurepoint2::word);
    get2(f, p.position);
    return f >> p.weight;
}
void featurepoint2::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void featurepoint2::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- 2D line point: i, tab, x, y, w, kind ----

fileTB& operator<<(fileTB& f, const linepoint2& p) {
    put2(f, p.position);
    return f << p.weight << p.kind;
}
fileTB& operator>>(fileTB& f, linepoint2& p) {
    get2(f, p.position);
    return f >> p.weight >> p.kind;
}
void linepoint2::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void linepoint2::read(fileTB& f, int& index) { readIndexed(f, index, *this); }

// ---- 2D line: i, tab, name; a, f1, f2, n, b; short count; line points ----

fileTB& operator<<(fileTB& f, const featureline2& l) {
    l.write_nameof_instance(f, featureline2::word);
    tabGuard g(f);
    f.newLine();
    f << l.a << l.closing << l.closedSpline << l.n << l.splineType;
    const fnd::chain<linepoint2>& points = l;
    write_elements_short(f, points);
    write_elements_all(f, points, true);
    return f;
}
fileTB& operator>>(fileTB& f, featureline2& l) {
    const int self = Index<featureline2>::active;
    l.read_nameof_instance(f, featureline2::word);
    f >> l.a >> l.closing >> l.closedSpline >> l.n >> l.splineType;
    read_count_line(f);
    fnd::chain<linepoint2>& points = l;
    SlotMap map;
    read_elements_all(f, points, map);
    if (readingNumbers && f.good()) readingNumbers->linePoints.emplace_back(self, map.take());
    Index<featureline2>::active = self;
    return f;
}
void featureline2::write(fileTB& f, const int& index) const {
    indexLine(f, index, true);
    f << *this;
}
void featureline2::read(fileTB& f, int& index) { readIndexed(f, index, *this); }
