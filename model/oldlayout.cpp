// Heads without feature elements: a PHS stream (version 1: counts, then
// bare vertex and triangle records) or the arrays of the OBJ importer. Both
// end with one area of all triangles under the region "whole_head".

#include <algorithm>
#include <set>
#include <vector>

#include "foundation/utility.h"
#include "model/head.h"
#include "model/model_io.h"

namespace {

const auto anyIndex = [](int) { return true; };

}  // namespace

head3& head3::read_version1(fileTB& f, int nV, int nT, const PNT* pnt, const TRI* tri) {
    pre_read();
    vertices.remove_all();
    triangles.remove_all();
    std::set<int> vertexSlots;
    if (!pnt || !tri) {
        fnd::temporaryChange<bool> phs(readFromPHS, true);
        SlotMap vs, ts;
        read_records(f, vertices, nV, vs, anyIndex, [](const vertex&, int) { return true; });
        read_records(f, triangles, nT, ts, anyIndex, [](const triangle&, int) { return true; });
        // A corner must be one of the vertices just read.
        for (int t = triangles.first(); t != -1 && f.good(); t = triangles.nextOf(t))
            if (!vs.translate(triangles[t].a) || !vs.translate(triangles[t].b) || !vs.translate(triangles[t].c) ||
                triangles[t].a == -1 || triangles[t].b == -1 || triangles[t].c == -1)
                f.fail();
        if (f.good()) {
            stored_ = std::make_unique<StoredNumbers>();
            stored_->lists[0] = vs.take();
            stored_->lists[1] = ts.take();
        }
    } else {
        // Array entries keep their own index as slot where it is free; a
        // slot that another head holds gives the entry any free one, so a
        // head can be built beside another.
        std::vector<int> vertexSlot(std::size_t(std::max(nV, 0)), -1), triangleSlot(std::size_t(std::max(nT, 0)), -1);
        for (int i = 0; i < nV; ++i) {
            Index<vertex> s = vertices.insert_before_whichindex(i, -1);
            if (s == -1) s = vertices.add();
            vertices[s].position = vector3<double>(pnt[i].v[0], pnt[i].v[1], pnt[i].v[2]);
            vertices[s].mirror = -1;
            vertexSlot[std::size_t(i)] = s;
            vertexSlots.insert(s);
        }
        auto slotOf = [&](int k) { return k >= 0 && k < nV ? vertexSlot[std::size_t(k)] : -1; };
        for (int i = 0; i < nT; ++i) {
            const int* r = tri[i].v;
            // A triangle whose corners are not vertices of the arrays is left out.
            if (slotOf(r[0]) == -1 || slotOf(r[1]) == -1 || slotOf(r[2]) == -1) continue;
            Index<triangle> s = triangles.insert_before_whichindex(i, -1);
            if (s == -1) s = triangles.add();
            triangleSlot[std::size_t(i)] = s;
            triangle& t = triangles[s];
            t.a = slotOf(r[0]);
            t.b = slotOf(r[1]);
            t.c = slotOf(r[2]);
            for (int c = 0; c < 3; ++c) t.txtRow[c] = r[3 + c];
            t.group = r[6];
            t.material = r[7];
            t.quadPartner = r[8];
        }
        for (int i = 0; i < nT; ++i) {
            int s = triangleSlot[std::size_t(i)];
            if (s == -1) continue;
            int q = triangles[s].quadPartner;
            triangles[s].quadPartner = q >= 0 && q < nT ? triangleSlot[std::size_t(q)] : -1;
        }
        stored_ = std::make_unique<StoredNumbers>();
        for (int i = 0; i < nV; ++i) stored_->lists[0].emplace_back(i, vertexSlot[std::size_t(i)]);
        for (int i = 0; i < nT; ++i)
            if (triangleSlot[std::size_t(i)] != -1) stored_->lists[1].emplace_back(i, triangleSlot[std::size_t(i)]);
    }
    prepost_read();
    return *this;
}

head3& head3::readPHS(fileTB& f) {
    f.setMode("t");
    int version = 0, nV = 0, nT = 0;
    f >> version >> nV >> nT;
    if (!f.good() || version != 1 || nV < 0 || nT < 0 || nV > maxStoredCount || nT > maxStoredCount) {
        f.close();
        f.fail();
        status = 0;
        return *this;
    }
    // The version belongs to the head being read.
    fnd::temporaryChange<int> v(head3Version, 1);
    read_version1(f, nV, nT, nullptr, nullptr);
    if (f.good()) {
        post_read(true);
    } else {
        // Nothing half-read stays.
        clear();
    }
    status = f.good() ? 1 : 0;
    return *this;
}
