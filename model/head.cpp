#include "model/head.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "seams/app.h"
#include "seams/dialogs.h"
#include "foundation/pools.h"
#include "foundation/utility.h"
#include "model/featuretables.h"
#include "model/model_io.h"
#include "model/morph.h"

namespace {

// Points the current-chain pointer of T at c, or back to the default chain
// when it pointed at c and c is going away.
template <class T>
void release(fnd::chain<T>& c) {
    if (Index<T>::actual == &c) Index<T>::actual = nullptr;
}

// Membership of a head's chain, for checking the references of a file.
template <class T>
class members {
public:
    explicit members(const fnd::chain<T>& c) {
        for (int k = c.first(); k != -1; k = c.nextOf(k)) {
            if (k >= static_cast<int>(in_.size())) in_.resize(k + 1, 0);
            in_[k] = 1;
        }
    }
    bool has(int i) const { return i >= 0 && i < static_cast<int>(in_.size()) && in_[i]; }
    bool hasOrNone(int i) const { return i == -1 || has(i); }

private:
    std::vector<char> in_;
};

template <class X>
bool allIn(const fnd::chain<Index<X>>& c, const members<X>& m) {
    for (int k = c.first(); k != -1; k = c.nextOf(k))
        if (!m.has(c[k])) return false;
    return true;
}

}  // namespace

// ---- model-wide state ----

generalpoint3& working_generalpoint3() {
    static generalpoint3 p;
    return p;
}
generalpoint3& auxiliar_generalpoint3() {
    static generalpoint3 p;
    return p;
}

fnd::chain<Index<triangle>>& gatheredTriangles() {
    static fnd::chain<Index<triangle>> c(0, 10, 1.125);
    return c;
}

void startModelPools() {
    using namespace fnd;
    (void)NamedClass;
    start_pool<vector3<double>>();
    start_pool<featurecolor>();
    (void)default_default_featurecolor();
    start_pool<vertex>();
    start_pool<Index<vertex>>();
    start_pool<triangle>();
    start_pool<Index<triangle>>();
    start_list_pool<triangle>();
    (void)gatheredTriangles();
    start_pool<extrapoint>();
    start_pool<Index<extrapoint>>();
    start_list_pool<extrapoint>();
    start_pool<generalpoint2>();
    start_pool<Index<generalpoint2>>();
    (void)working_generalpoint3();
    (void)auxiliar_generalpoint3();
    start_pool<featurepoint2>();
    start_pool<Index<featurepoint2>>();
    start_pool<featurepoint3>();
    start_pool<Index<featurepoint3>>();
    start_pool<linepoint2>();
    start_pool<Index<linepoint2>>();
    start_pool<linepoint3>();
    start_pool<Index<linepoint3>>();
    start_list_pool<linepoint3>();
    start_pool<featureline2>();
    start_pool<Index<featureline2>>();
    start_pool<featureline3>();
    start_pool<Index<featureline3>>();
    start_pool<area>();
    start_pool<Index<area>>();
    start_pool<region>();
    start_pool<Index<region>>();
}

void resetModelState() {
    gatheredTriangles().remove_all();
    actual_head3 = nullptr;
    actual_head2 = nullptr;
    extrapoint::Container = nullptr;
    working_generalpoint3() = generalpoint3();
    auxiliar_generalpoint3() = generalpoint3();
    // The tunable settings that editing operations change for a while.
    generalpoint3::ProjCounter = 1;
    triangle::minimalLengthOfEdge = 0.05;
    extrapoint::bariCoordMinValue = 0.1;
    extrapoint::bariCoordMinValue_forMakeFix = 0.02;
    extrapoint::ForcedConversionMode = 0;
    featureline3::defaultSplineType = 3;
    featureline2::defaultSplineType = 3;
    fnd::resetPools();
}

// ---- head3 ----

head3::head3() : named_instance(word, true) {
    startModelPools();
    set_actual();
    postset();
}

void head3::postset() {
    // The work points take slots 0 and 1 when they are free, so a file's
    // edit points start at 2; another head may hold them, then any free slot.
    for (int slot : {0, 1}) {
        Index<extrapoint> e = reserved.insert_before_whichindex(slot, -1);
        if (e == -1) e = reserved.add();
        reserved[e].active = 0;
    }
    Index<extrapoint> first = reserved.first();
    working_generalpoint3().extra = first;
    auxiliar_generalpoint3().extra = reserved.nextOf(first);
}

head3::~head3() {
    if (actual_head3 == this) {
        gatheredTriangles().remove_all();
        actual_head3 = nullptr;
        if (extrapoint::Container == &extrapoints) extrapoint::Container = nullptr;
    }
    for (generalpoint3* w : {&working_generalpoint3(), &auxiliar_generalpoint3()})
        for (int k = reserved.first(); k != -1; k = reserved.nextOf(k))
            if (w->extra == k) w->extra = -1;
    release(vertices);
    release(triangles);
    release(extrapoints);
    release<featurepoint3>(featurepoints);
    release<featureline3>(featurelines);
    release(areas);
    release<region>(regions);
    // The members then go in reverse order: each chain returns its
    // elements to the pools.
}

void head3::set_actual() {
    Index<vertex>::actual = &vertices;
    Index<triangle>::actual = &triangles;
    Index<extrapoint>::actual = &extrapoints;
    extrapoint::Container = &extrapoints;
    Index<featurepoint3>::actual = &featurepoints;
    Index<featureline3>::actual = &featurelines;
    Index<area>::actual = &areas;
    Index<region>::actual = &regions;
    // The work points ride on this head's reserved edit points. These sit
    // on their own chain, so they are reached through the pool directly.
    actual_head3 = this;
    Index<extrapoint> first = reserved.first();
    if (first != -1) {
        working_generalpoint3().extra = first;
        auxiliar_generalpoint3().extra = reserved.nextOf(first);
    }
}

namespace {

// An empty name adds a new element with the default name; any other name
// finds the element of that name or adds it.
template <class T>
Index<T> addNamed(commonchain_of_named_instance<T>& c, const char* name, bool used) {
    Index<T> i = (!name || !*name) ? c.add() : c.add_ifnew(name);
    if (used) c[i].used = 1;
    return i;
}

template <class T>
Index<T> getNamed(const commonchain_of_named_instance<T>& c, const char* name, bool onlyUsed) {
    Index<T> i = c.get(name);
    if (i != -1 && onlyUsed && c[i].used == -1) return -1;
    return i;
}

}  // namespace

Index<featurepoint3> head3::addFeaturepoint(const char* name, bool used) {
    return addNamed(featurepoints, name, used);
}
Index<featurepoint3> head3::getFeaturepoint(const char* name, bool onlyUsed) const {
    return getNamed(featurepoints, name, onlyUsed);
}
Index<featureline3> head3::addFeatureline(const char* name, bool used) { return addNamed(featurelines, name, used); }
Index<featureline3> head3::getFeatureline(const char* name, bool onlyUsed) const {
    return getNamed(featurelines, name, onlyUsed);
}
Index<region> head3::addRegion(const char* name, bool used) { return addNamed(regions, name, used); }
Index<region> head3::getRegion(const char* name, bool onlyUsed) const { return getNamed(regions, name, onlyUsed); }

void head3::SetMinMax(bool moveToCenter) {
    boxMin = {1e10, 1e10, 1e10};
    boxMax = {-1e10, -1e10, -1e10};
    auto widen = [this](const vector3<double>& p) {
        boxMin = fnd::min(boxMin, p);
        boxMax = fnd::max(boxMax, p);
    };
    for (int k = vertices.first(); k != -1; k = vertices.nextOf(k))
        if (!keepLooseVertices || vertices[k].triangles.count() > 0) widen(vertices[k].position);
    for (int k = extrapoints.first(); k != -1; k = extrapoints.nextOf(k)) widen(extrapoints[k].position);
    vector3<double> side = boxMax - boxMin;
    extent = std::max(side.x, std::max(side.y, side.z));
    if (moveToCenter && !keepLooseVertices && head3Version < 3) {
        vector3<double> centre = (boxMin + boxMax) * 0.5;
        if (status >= 2) centre.x = 0.0;
        boxMin -= centre;
        boxMax -= centre;
        SmoveTrafo move(-centre);
        traf(move);
    }
}

void head3::traf(Strafo3& t) {
    Index<region> whole = regions.get("whole_head");
    if (whole != -1) regions[whole].traf(t);
}

void head3::clear() {
    Changed();
    regions.remove_all();
    colors.remove_all();
    areas.remove_all();
    featurelines.remove_all();
    featurepoints.remove_all();
    extrapoints.remove_all();
    triangles.remove_all();
    vertices.remove_all();
}

// ---- writing ----

namespace {

template <class Row>
int tableCount(const dynarray<Row>* rows) {
    return rows ? rows->size() : 0;
}

}  // namespace

void head3::write(fileTB& f, const svc::FaceTables* tables) const {
    bool comment = f.commentMode();
    f.setMode("t");
    f << 3 << 1 << 0;
    if (!tables) tables = svc::document() ? &svc::document()->tables() : nullptr;
    {
        tabGuard head(f);
        f.newLine();
        f << status << secondFlag << offset.x << offset.y << offset.z << scale;
        f.newLine();
        write_pure_nameof_instance(f, word);
        tabGuard lists(f);
        write_count_line(f, vertices.count(), vertex::word);
        write_count_line(f, triangles.count(), triangle::word);
        write_count_line(f, extrapoints.count(), extrapoint::word);
        write_count_line(f, featurepoints.count(), featurepoint3::word);
        write_count_line(f, featurelines.count(), featureline3::word);
        write_count_line(f, colors.count(), featurecolor::word);
        write_count_line(f, areas.count(), area::word);
        write_count_line(f, regions.count(), region::word);
        write_count_line(f, tables ? tables->groups.size() : 0, "Group");
        write_count_line(f, tables ? tables->materials.size() : 0, "Material");
        write_count_line(f, tables ? tables->txtCoordinates.size() : 0, "TxtCoordinate");
        f.newLine();
        f.tab();
        f << "::::::";
        f.eos();
        write_elements_all(f, vertices, false);
        write_elements_all(f, triangles, false);
        write_elements_all(f, extrapoints, false);
        write_elements_all(f, featurepoints, true);
        write_elements_all(f, featurelines, true);
        write_elements_all(f, colors, true);
        write_elements_all(f, areas, false);
        write_elements_all(f, regions, false);

        // Table rows start at this depth with two tabs of their own.
        auto rowStart = [&f](int i, int tabsAfter) {
            f.newLine();
            f.tab();
            f.tab();
            f << i;
            for (int k = 0; k < tabsAfter; ++k) f.tab();
        };
        int groups = tables ? tables->groups.size() : 0;
        write_count_line(f, groups, "Group");
        for (int i = 0; i < groups; ++i) {
            const svc::GroupRow& g = tables->groups[i];
            rowStart(i, 1);
            f << g.name;
            for (double v : {g.value.x, g.value.y, g.value.z}) {
                f.tab();
                f << v;
            }
            f.eos();
        }
        int materials = tables ? tables->materials.size() : 0;
        write_count_line(f, materials, "Material");
        for (int i = 0; i < materials; ++i) {
            rowStart(i, 2);
            f << tables->materials[i].name;
            f.eos();
        }
        int coordinates = tables ? tables->txtCoordinates.size() : 0;
        write_count_line(f, coordinates, "TxtCoordinate");
        for (int i = 0; i < coordinates; ++i) {
            rowStart(i, 2);
            f << tables->txtCoordinates[i].u << tables->txtCoordinates[i].v;
            f.eos();
        }
        f.newLine();
    }
    f.setCommentMode(comment);
}

// ---- reading ----

head3& head3::read(fileTB& f, bool moveToCenter) {
    // The file's version holds while this head is read, whatever the end.
    fnd::temporaryChange<int> version(head3Version, head3Version);
    int permutation = read_text(f);
    if (!f.good()) return *this;
    if (permutation != 0) {
        auto digit = [](int d) { return d >= 0 && d <= 7 ? d : 0; };
        permutate(digit(permutation / 100 % 10), digit(permutation / 10 % 10), digit(permutation % 10));
    }
    post_read(moveToCenter);
    return *this;
}

int head3::read_text(fileTB& f) {
    const int before = head3Version;
    f.setMode("t");
    // Editors may put a byte-order mark before the first line.
    f.skipByteOrderMark();
    int mode = 0, permutation = 0;
    f >> head3Version >> mode >> permutation;
    if (!f.good()) {
        head3Version = before;
        return 0;
    }
    f.setMode((mode & 1) ? "t" : "b");
    if (head3Version < 2 || (mode & ~1) != 0) {
        f.close();
        head3Version = before;
        return 0;
    }
    read_version2(f);
    if (!f.good()) head3Version = before;
    return f.good() ? permutation : 0;
}

namespace {

// Reads one name token, keeping at most 127 characters.
void readTableName(fileTB& f, char (&name)[128]) {
    static char buffer[fnd::fileTB::tokenLimit + 1];
    f.readString(buffer, sizeof buffer);
    std::strncpy(name, f.good() ? buffer : "", sizeof name - 1);
    name[sizeof name - 1] = '\0';
}

std::string lowered(const char* s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(lowered(needle.c_str())) != std::string::npos;
}

}  // namespace

void head3::read_version2(fileTB& f) {
    f >> status;
    secondFlag = 0;
    offset = {};
    scale = 1.0;
    if (head3Version > 2) f >> secondFlag >> offset.x >> offset.y >> offset.z >> scale;

    pre_read();  // the built-in colours, replaced by the file's below
    read_pure_nameof_instance(f, word);
    for (int k = 0; k < 8; ++k) read_count_line(f);
    int counts[3] = {0, 0, 0};
    if (head3Version > 2) {
        for (int& c : counts) c = read_count_line(f);
        fnd::NamedClass.read_class(f);
    }

    svc::progress().Step(1);
    bool listsGood = readLists(f);

    // The tables go to the document only when the whole head read well.
    svc::FaceTables fresh;
    if (listsGood && head3Version > 2 && f.good()) {
        svc::progress().Step(3);
        readTables(f, fresh, counts);
        svc::progress().Step(4);
    }
    if (f.good() && !referencesHold(head3Version > 2 ? counts[2] : -1)) f.fail();
    if (f.good() && !(valuesHold() && tablesHold(fresh))) f.fail();
    if (!f.good()) {
        clear();
        status = 0;
        return;
    }
    if (head3Version > 2) {
        if (tablesTarget)
            *tablesTarget = std::move(fresh);
        else if (svc::document())
            svc::document()->tables() = std::move(fresh);
    }
    for (int k = extrapoints.first(); k != -1; k = extrapoints.nextOf(k)) extrapoints[k].conversion();
    // The morphs work on the current head; a head read while another is
    // current keeps the positions of its file.
    if (actual_head3 == this && ReadingMorphs::on()) apply_reading_morphs();
}

void head3::readTables(fileTB& f, svc::FaceTables& tables, const int (&counts)[3]) {
    // Rows are added as they are read, so a count the file does not back
    // with rows costs nothing.
    const svc::AppState& app = svc::app().state();
    tables.headGroup = tables.faceMaterial = tables.lipMaterial = tables.eyeSocketMaterial = -1;
    int row;
    read_count_line(f);
    for (int i = 0; i < counts[0] && f.good(); ++i) {
        svc::GroupRow gr;
        f >> row;
        readTableName(f, gr.name);
        f >> gr.value.x >> gr.value.y >> gr.value.z;
        std::string cut(gr.name);
        cut = cut.substr(0, cut.find('~'));
        if (cut.size() > app.headGroupKeyword.size()) cut.resize(app.headGroupKeyword.size());
        if (lowered(cut.c_str()) == lowered(app.headGroupKeyword.c_str())) tables.headGroup = i;
        tables.groups.add(gr);
    }
    read_count_line(f);
    for (int i = 0; i < counts[1] && f.good(); ++i) {
        svc::MaterialRow mr;
        f >> row;
        readTableName(f, mr.name);
        std::string name = lowered(mr.name);
        if (contains(name, app.faceKeyword))
            tables.faceMaterial = i;
        else if (tables.faceMaterial == -1 && contains(name, app.altFaceKeyword))
            tables.faceMaterial = i;
        if (contains(name, app.lipKeyword)) tables.lipMaterial = i;
        if (contains(name, app.eyeSocketKeyword)) tables.eyeSocketMaterial = i;
        if (counts[0] == 1 && contains(name, app.headGroupKeyword)) tables.faceMaterial = i;
        tables.materials.add(mr);
    }
    read_count_line(f);
    for (int i = 0; i < counts[2] && f.good(); ++i) {
        svc::TxtCoordinateRow tr;
        f >> row >> tr.u >> tr.v;
        tables.txtCoordinates.add(tr);
    }
    for (int32_t* chosen : {&tables.headGroup, &tables.faceMaterial, &tables.lipMaterial, &tables.eyeSocketMaterial})
        if (*chosen == -1) *chosen = 0;
    if (counts[0] == 1) tables.lipMaterial = tables.eyeSocketMaterial = tables.faceMaterial;
}

bool head3::readLists(fileTB& f) {
    auto numbers = std::make_unique<StoredNumbers>();
    fnd::temporaryChange<StoredNumbers*> logging(readingNumbers, numbers.get());
    SlotMap vs, ts, es, ps, ls, cs, as, rs;
    read_elements_all(f, vertices, vs);
    svc::progress().Step(2);
    read_elements_all(f, triangles, ts);
    read_elements_all(f, extrapoints, es, [this](int i) {
        // The work points' slots stay theirs; a file that names them gets
        // others.
        if (i == 0 || i == 1) return false;
        moveReservedFrom(i);
        return true;
    });
    read_elements_all(f, featurepoints, ps);
    read_elements_all(f, featurelines, ls);
    read_elements_all(f, colors, cs);
    read_elements_all(f, areas, as);
    read_elements_all(f, regions, rs);
    if (!f.good()) return false;
    // The stored references become slots; one to an element the file does
    // not hold fails the read.
    bool held = true;
    auto point = [&](generalpoint3& g) { held = held && es.translate(g.extra) && vs.translate(g.vtx); };
    for (int k = vertices.first(); k != -1 && held; k = vertices.nextOf(k)) held = vs.translate(vertices[k].mirror);
    for (int k = triangles.first(); k != -1 && held; k = triangles.nextOf(k)) {
        triangle& t = triangles[k];
        held = ts.translate(t.mirror) && ts.translate(t.quadPartner) && vs.translate(t.a) && vs.translate(t.b) &&
               vs.translate(t.c);
    }
    for (int k = extrapoints.first(); k != -1 && held; k = extrapoints.nextOf(k))
        held = es.translate(extrapoints[k].mirror) && ts.translate(extrapoints[k].tri);
    for (int k = featurepoints.first(); k != -1 && held; k = featurepoints.nextOf(k)) {
        held = ps.translate(featurepoints[k].mirror);
        point(featurepoints[k]);
    }
    for (int k = featurelines.first(); k != -1 && held; k = featurelines.nextOf(k)) {
        featureline3& l = featurelines[k];
        held = ls.translate(l.mirror);
        for (int j = l.first(); j != -1 && held; j = l.nextOf(j)) point(l[j]);
    }
    for (int k = areas.first(); k != -1 && held; k = areas.nextOf(k))
        held = as.translate(areas[k].link) && ts.translate(areas[k].triangles);
    for (int k = regions.first(); k != -1 && held; k = regions.nextOf(k)) {
        region& r = regions[k];
        held = rs.translate(r.mirror) && cs.translate(r.colour) && ls.translate(r.borderLine) &&
               as.translate(r.areas) && ls.translate(r.lines) && ps.translate(r.points);
    }
    if (!held) f.fail();
    if (!f.good()) return false;
    SlotMap* maps[8] = {&vs, &ts, &es, &ps, &ls, &cs, &as, &rs};
    for (int k = 0; k < 8; ++k) numbers->lists[k] = maps[k]->take();
    stored_ = std::move(numbers);
    return true;
}

void head3::moveReservedFrom(int i) {
    for (int k = reserved.first(); k != -1; k = reserved.nextOf(k)) {
        if (k != i) continue;
        Index<extrapoint> fresh = reserved.insert_before_whichindex(-2, k);
        reserved[fresh].active = 0;
        for (generalpoint3* w : {&working_generalpoint3(), &auxiliar_generalpoint3()})
            if (w->extra == k) w->extra = fresh;
        reserved.remove_index(k);
        return;
    }
}

namespace {

bool isFinite(double v) { return std::isfinite(v); }
bool isFinite(const vector3<double>& v) { return isFinite(v.x) && isFinite(v.y) && isFinite(v.z); }

}  // namespace

bool head3::valuesHold() const {
    if (!isFinite(offset) || !isFinite(scale)) return false;
    for (int k = vertices.first(); k != -1; k = vertices.nextOf(k))
        if (!isFinite(vertices[k].position)) return false;
    for (int k = extrapoints.first(); k != -1; k = extrapoints.nextOf(k))
        if (!isFinite(extrapoints[k].local)) return false;
    for (int k = featurepoints.first(); k != -1; k = featurepoints.nextOf(k))
        if (!isFinite(featurepoints[k].weight)) return false;
    for (int k = featurelines.first(); k != -1; k = featurelines.nextOf(k)) {
        const featureline3& l = featurelines[k];
        if (!isFinite(l.weightPoint)) return false;
        for (int j = l.first(); j != -1; j = l.nextOf(j))
            if (!isFinite(l[j].weight1) || !isFinite(l[j].weight2)) return false;
    }
    for (int k = colors.first(); k != -1; k = colors.nextOf(k))
        if (!isFinite(static_cast<const vector3<double>&>(colors[k]))) return false;
    for (int k = regions.first(); k != -1; k = regions.nextOf(k)) {
        const region& r = regions[k];
        if (!isFinite(r.origin) || !isFinite(r.axisX) || !isFinite(r.axisY) || !isFinite(r.axisZ)) return false;
    }
    return true;
}

bool head3::tablesHold(const svc::FaceTables& tables) {
    for (int i = 0; i < tables.groups.size(); ++i)
        if (!isFinite(tables.groups[i].value)) return false;
    for (int i = 0; i < tables.txtCoordinates.size(); ++i)
        if (!isFinite(tables.txtCoordinates[i].u) || !isFinite(tables.txtCoordinates[i].v)) return false;
    return true;
}

bool head3::referencesHold(int txtCount) const {
    const members<vertex> vs(vertices);
    const members<triangle> ts(triangles);
    const members<extrapoint> es(extrapoints);
    const members<featurepoint3> ps(featurepoints);
    const members<featureline3> ls(featurelines);
    const members<featurecolor> cs(colors);
    const members<area> as(areas);
    const members<region> rs(regions);

    // Mirror links are two-sided (a vertex on the middle plane names itself).
    for (int k = vertices.first(); k != -1; k = vertices.nextOf(k)) {
        const Index<vertex> m = vertices[k].mirror;
        if (!vs.hasOrNone(m) || (m != -1 && vertices[m].mirror != k)) return false;
    }
    for (int k = triangles.first(); k != -1; k = triangles.nextOf(k)) {
        const triangle& t = triangles[k];
        if (!vs.has(t.a) || !vs.has(t.b) || !vs.has(t.c)) return false;
        if (!ts.hasOrNone(t.mirror) || !ts.hasOrNone(t.quadPartner)) return false;
        if (t.mirror != -1 && triangles[t.mirror].mirror != k) return false;
        if (t.group < 0 || t.material < 0) return false;
        for (int row : t.txtRow)
            if (row < -1 || (txtCount >= 0 && row >= txtCount)) return false;
    }
    auto pointHolds = [&](const generalpoint3& g) {
        return es.hasOrNone(g.extra) && vs.hasOrNone(g.vtx) && !(g.extra != -1 && g.vtx != -1);
    };
    for (int k = extrapoints.first(); k != -1; k = extrapoints.nextOf(k)) {
        const extrapoint& e = extrapoints[k];
        if (!ts.hasOrNone(e.tri) || !es.hasOrNone(e.mirror)) return false;
    }
    // A vertex or an edit point carries one feature point.
    std::set<int> carriers, riders;
    for (int k = featurepoints.first(); k != -1; k = featurepoints.nextOf(k)) {
        const featurepoint3& p = featurepoints[k];
        if (!ps.hasOrNone(p.mirror) || !pointHolds(p)) return false;
        if (p.vtx != -1 && !carriers.insert(p.vtx).second) return false;
        if (p.extra != -1 && !riders.insert(p.extra).second) return false;
    }
    for (int k = featurelines.first(); k != -1; k = featurelines.nextOf(k)) {
        const featureline3& l = featurelines[k];
        if (!ls.hasOrNone(l.mirror)) return false;
        for (int j = l.first(); j != -1; j = l.nextOf(j))
            if (!pointHolds(l[j])) return false;
    }
    for (int k = areas.first(); k != -1; k = areas.nextOf(k)) {
        const area& a = areas[k];
        if (!as.hasOrNone(a.link) || !allIn(a.triangles, ts)) return false;
    }
    for (int k = regions.first(); k != -1; k = regions.nextOf(k)) {
        const region& r = regions[k];
        if (!rs.hasOrNone(r.mirror) || !cs.hasOrNone(r.colour) || !ls.hasOrNone(r.borderLine)) return false;
        if (!allIn(r.areas, as) || !allIn(r.lines, ls) || !allIn(r.points, ps)) return false;
    }
    return true;
}

// ---- head2 ----

head2::head2() : named_instance(word, true) {
    startModelPools();
    set_actual();
}

head2::~head2() {
    if (actual_head2 == this) actual_head2 = nullptr;
    release<featurepoint2>(overlayPoints);
    release<featureline2>(overlayLines);
}

void head2::set_actual() {
    Index<featurepoint2>::actual = &overlayPoints;
    Index<featureline2>::actual = &overlayLines;
    actual_head2 = this;
}

void head2::write(fileTB& f) const {
    bool comment = f.commentMode();
    f.newLine();
    f << valid;
    f.tab();
    f << params[0] << params[1] << params[2] << params[3];
    f.newLine();
    write_pure_nameof_instance(f, word);
    {
        tabGuard g(f);
        write_count_line(f, photoPoints.count(), featurepoint2::word);
        write_count_line(f, overlayPoints.count(), featurepoint2::word);
        write_count_line(f, photoLines.count(), featureline2::word);
        write_count_line(f, overlayLines.count(), featureline2::word);
        write_elements_all(f, photoPoints, true);
        write_elements_all(f, overlayPoints, true);
        write_elements_all(f, photoLines, true);
        write_elements_all(f, overlayLines, true);
    }
    f.setCommentMode(comment);
}

void head2::read_version2(fileTB& f) {
    f >> valid >> params[0] >> params[1] >> params[2] >> params[3];
    read_pure_nameof_instance(f, word);
    for (int k = 0; k < 4; ++k) read_count_line(f);
    auto numbers = std::make_unique<StoredNumbers>();
    fnd::temporaryChange<StoredNumbers*> logging(readingNumbers, numbers.get());
    SlotMap maps[4];
    read_elements_all(f, photoPoints, maps[0]);
    read_elements_all(f, overlayPoints, maps[1]);
    read_elements_all(f, photoLines, maps[2]);
    read_elements_all(f, overlayLines, maps[3]);
    if (!f.good()) {
        valid = 0;
        return;
    }
    for (int k = 0; k < 4; ++k) numbers->lists[k] = maps[k].take();
    stored_ = std::move(numbers);
}
