#include "model/featuretables.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <map>
#include <optional>
#include <string>

#include "seams/app.h"
#include "framework/resources.h"
#include "framework/system.h"

namespace {

struct TableLayout {
    int id;
    bool crEndsLine;  // a CR without LF ends a line too
    int minFields;    // the single-valued columns every row must hold
};

constexpr TableLayout kLayouts[] = {
    {kTableImportPoints, false, 8}, {kTablePointNames, false, 2},   {kTablePoints, true, 10},
    {kTableTrafos, false, 9},       {kTableColors, true, 6},        {kTableRegions, true, 5},
    {kTableAnchorsV4, true, 5},     {kTableAnchorsOther, true, 5},  {kTableLines, true, 9},
    {kTableAgePoints, true, 4},     {kTableAgeTriangles, true, 4},  {kTableLinePoints, true, 1},
};

struct TableCache {
    std::map<int, std::optional<FeatureTableText>> parsed;
    std::map<int, std::string> installed;
};

TableCache& cache() {
    static TableCache c;
    return c;
}

const TableLayout* layoutOf(int id) {
    for (const TableLayout& s : kLayouts)
        if (s.id == id) return &s;
    return nullptr;
}

std::optional<std::string_view> tableText(int id) {
    auto it = cache().installed.find(id);
    if (it != cache().installed.end()) return std::string_view(it->second);
    HRSRC res = FindResource(nullptr, MAKEINTRESOURCE(id), "FEATURES");
    if (!res) return std::nullopt;
    HGLOBAL data = LoadResource(nullptr, res);
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) return std::nullopt;
    return std::string_view(static_cast<const char*>(bytes), SizeofResource(nullptr, res));
}

// Numbers as the tables hold them, in the C locale whatever the process's.
locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

double toDouble(const std::string& s) { return strtod_l(s.c_str(), nullptr, cLocale()); }

int toInt(const std::string& s) {
    long v = strtol_l(s.c_str(), nullptr, 10, cLocale());
    if (v > 2147483647L) return 2147483647;
    if (v < -2147483647L - 1) return -2147483647 - 1;
    return static_cast<int>(v);
}

using Row = std::vector<std::string>;

// The row a reader by number leaves in its outputs: row n, or on a miss the
// last row of the table (null when there is none, or for a negative n, which
// reads nothing).
const Row* rowFor(int id, int n, bool* hit) {
    *hit = false;
    const FeatureTableText* t = featureTable(id);
    if (!t || n < 0 || t->rows.empty()) return nullptr;
    if (n < static_cast<int>(t->rows.size())) {
        *hit = true;
        return &t->rows[n];
    }
    return &t->rows.back();
}

// The row a reader by code leaves in its outputs: the first row whose first
// column is code, else the last row. An empty code matches before any row.
const Row* rowByCode(int id, const std::string& code, bool* hit) {
    *hit = code.empty();
    const FeatureTableText* t = featureTable(id);
    if (code.empty() || !t || t->rows.empty()) return nullptr;
    for (const Row& r : t->rows)
        if (r[0] == code) {
            *hit = true;
            return &r;
        }
    return &t->rows.back();
}

void put(CString* out, const std::string& s) {
    if (out) *out = s.c_str();
}
void put(int* out, const std::string& s) {
    if (out) *out = toInt(s);
}
void put(double* out, const std::string& s) {
    if (out) *out = toDouble(s);
}
void putList(dynarray<CString>* out, const Row& r, size_t from) {
    if (!out) return;
    out->resize(0);
    for (size_t i = from; i < r.size(); ++i) out->add(CString(r[i].c_str()));
}

// Table 140 names every point in table 142; a gap is a fault of the tables.
void showMissingName(const std::string& text) { AfxMessageBox(text.c_str(), MB_OK); }

// Consecutive columns from `from` on into the outputs, in order.
template <class... Out>
void putColumns(const Row& r, size_t from, Out*... outs) {
    size_t k = from;
    (put(outs, r[k++]), ...);
}

// Fills the outputs from the row a reader by number leaves there.
template <class Fill>
int readRow(int table, int n, Fill fill) {
    bool hit;
    const Row* p = rowFor(table, n, &hit);
    if (!p) return 0;
    fill(*p);
    return hit ? 1 : 0;
}

const std::string& nameByLanguage(const Row& r, size_t english) {
    return svc::app().state().language == 1038 ? r[english + 1] : r[english];
}

int importPointInfo(int n, CString* code, CString* mirror, double* weight, int* kind, int* previewX,
                    int* previewY, int* preview2X, int* preview2Y, CString* name) {
    bool named = true;
    int hit = readRow(kTableImportPoints, n, [&](const Row& row) {
        putColumns(row, 0, code, mirror, weight, kind, previewX, previewY, preview2X, preview2Y);
        CString found;
        named = GetFeaturePointName(CString(row[0].c_str()), &found) != 0;
        if (!named) {
            showMissingName("Hi\xc3\xa1nyzik a '" + row[0] + "' k\xc3\xb3" "dhoz egy bejegyz\xc3\xa9s a " +
                            "face_points_name.txt" + "-ben.");
        } else if (name) {
            *name = found;
        }
    });
    return named ? hit : 0;
}

}  // namespace

const FeatureTableText* featureTable(int id) {
    TableCache& c = cache();
    auto it = c.parsed.find(id);
    if (it != c.parsed.end()) return it->second ? &*it->second : nullptr;
    const TableLayout* layout = layoutOf(id);
    std::optional<std::string_view> text = layout ? tableText(id) : std::nullopt;
    std::optional<FeatureTableText>& slot = c.parsed[id];
    if (text) slot = parseFeatureTable(*text, layout->crEndsLine, layout->minFields);
    return slot ? &*slot : nullptr;
}

void installFeatureTable(int id, std::string_view text) {
    cache().installed[id] = std::string(text);
    cache().parsed.erase(id);
}

void resetFeatureTables() {
    cache().installed.clear();
    cache().parsed.clear();
}

int GetFeaturePointInfo(int n, CString* code, CString* mirror, double* weight, int* kind, int* previewX,
                        int* previewY, int* preview2X, int* preview2Y, CString* name,
                        dynarray<CString>* regions) {
    if (svc::app().state().headImport)
        return importPointInfo(n, code, mirror, weight, kind, previewX, previewY, preview2X, preview2Y, name);
    return readRow(kTablePoints, n, [&](const Row& row) {
        putColumns(row, 0, code, mirror, weight, kind, previewX, previewY, preview2X, preview2Y);
        put(name, nameByLanguage(row, 8));
        putList(regions, row, 10);
    });
}

int GetFeatureLineInfo(int n, CString* code, CString* mirror, CString* type, CString* name, CString* sexFlags,
                       int* r, int* g, int* b, dynarray<CString>* regions) {
    return readRow(kTableLines, n, [&](const Row& row) {
        putColumns(row, 0, code, mirror);
        if (type) {
            // The prepared template draws its 3D-only lines in 2D.
            bool prepared = svc::document() && svc::document()->state().templateId == 100 && row[2] == "0110";
            put(type, prepared ? std::string("0101") : row[2]);
        }
        put(name, nameByLanguage(row, 3));
        putColumns(row, 5, sexFlags, r, g, b);
        putList(regions, row, 9);
    });
}

int GetRegionInfo(int n, CString* code, CString* mirror, CString* colourCode, CString* name,
                  dynarray<CString>* neighbours) {
    return readRow(kTableRegions, n, [&](const Row& row) {
        putColumns(row, 0, code, mirror, colourCode);
        put(name, row[4]);
        putList(neighbours, row, 5);
    });
}

int GetFeatureColorInfo(int n, CString* code, double* r, double* g, double* b, CString* name) {
    return readRow(kTableColors, n, [&](const Row& row) {
        putColumns(row, 0, code, r, g, b);
        put(name, row[5]);
    });
}

int GetFeatureTrafoInfo(int n, CString* operation, CString* pointCode, int* type, double* amount,
                        double* range, int* axis, double* factor, int* line, CString* sides) {
    return readRow(kTableTrafos, n, [&](const Row& row) {
        putColumns(row, 0, operation, pointCode);
        if (type) {
            // Read as a real and truncated.
            double t = toDouble(row[2]);
            *type = (t > -2147483648.0 && t < 2147483648.0) ? static_cast<int>(t) : 0;
        }
        putColumns(row, 3, amount, range, axis, factor, line, sides);
    });
}

int GetAgePointInfo(int n, CString* code, int* serial, int* x, int* y) {
    return readRow(kTableAgePoints, n, [&](const Row& row) { putColumns(row, 0, code, serial, x, y); });
}

int GetAgeTriInfo(int n, int* serial, int* i, int* j, int* k) {
    return readRow(kTableAgeTriangles, n, [&](const Row& row) { putColumns(row, 0, serial, i, j, k); });
}

int GetFeaturePointName(CString code, CString* name) {
    bool hit;
    const Row* p = rowByCode(kTablePointNames, std::string(static_cast<const char*>(code)), &hit);
    if (p) put(name, (*p)[1]);
    return hit ? 1 : 0;
}

int GetFeatureLinePoints(CString lineName, dynarray<CString>* points) {
    bool hit;
    const Row* p = rowByCode(kTableLinePoints, std::string(static_cast<const char*>(lineName)), &hit);
    if (p) putList(points, *p, 1);
    return hit ? 1 : 0;
}

int GoodInfoCode(int group, CString code) {
    if (svc::app().state().headImport) return 1;
    if (group < 0) return 0;
    std::string_view s(static_cast<const char*>(code));
    if (group == 0) return s.find('@') == std::string_view::npos ? 1 : 0;
    if (s.size() < 2 || s.find('@', 1) == std::string_view::npos) return 0;
    return static_cast<unsigned char>(s.back()) == '@' + group ? 1 : 0;
}

bool GetFeatureTrafoInfoByName(CString operation, CString pointCode, int* type, double* amount, double* range,
                               int* axis, double* factor, int* line, int side) {
    CString op, point, sides;
    for (int n = 0; GetFeatureTrafoInfo(n, &op, &point, type, amount, range, axis, factor, line, &sides); ++n)
        if (op == operation && point == pointCode && side >= 0 && side < sides.GetLength() &&
            sides[side] == '1')
            return true;
    return false;
}

bool GetFeaturePointInfoVM(int n, CString* code, int* triangle, double* b1, double* b2, double* b3,
                           CString figure) {
    int table = figure == "V4" ? kTableAnchorsV4 : kTableAnchorsOther;
    return readRow(table, n, [&](const Row& row) { putColumns(row, 0, code, triangle, b1, b2, b3); }) != 0;
}
