#pragma once
// The built-in feature tables (resources of type "FEATURES"): the named
// feature points, lines, regions, colours, modelling operations and the age
// grid. Every reader returns nonzero on success; any output pointer may be
// null. A reader by row number that misses (row beyond the table) returns 0
// and leaves the outputs holding the table's last row.

#include <string_view>

#include "foundation/dynarray.h"
#include "foundation/use.h"
#include "framework/cstring.h"
#include "model/featuretable_text.h"


// Table numbers.
enum FeatureTableId {
    kTableImportPoints = 140,
    kTablePointNames = 142,
    kTablePoints = 143,
    kTableTrafos = 145,
    kTableColors = 146,
    kTableRegions = 147,
    kTableAnchorsV4 = 148,
    kTableAnchorsOther = 150,
    kTableLines = 151,
    kTableAgePoints = 154,
    kTableAgeTriangles = 155,
    kTableLinePoints = 164,
};

int GetFeaturePointInfo(int n, CString* code = nullptr, CString* mirror = nullptr, double* weight = nullptr,
                        int* kind = nullptr, int* previewX = nullptr, int* previewY = nullptr,
                        int* preview2X = nullptr, int* preview2Y = nullptr, CString* name = nullptr,
                        dynarray<CString>* regions = nullptr);
int GetFeatureLineInfo(int n, CString* code = nullptr, CString* mirror = nullptr, CString* type = nullptr,
                       CString* name = nullptr, CString* sexFlags = nullptr, int* r = nullptr, int* g = nullptr,
                       int* b = nullptr, dynarray<CString>* regions = nullptr);
int GetRegionInfo(int n, CString* code = nullptr, CString* mirror = nullptr, CString* colourCode = nullptr,
                  CString* name = nullptr, dynarray<CString>* neighbours = nullptr);
int GetFeatureColorInfo(int n, CString* code = nullptr, double* r = nullptr, double* g = nullptr,
                        double* b = nullptr, CString* name = nullptr);
int GetFeatureTrafoInfo(int n, CString* operation = nullptr, CString* pointCode = nullptr, int* type = nullptr,
                        double* amount = nullptr, double* range = nullptr, int* axis = nullptr,
                        double* factor = nullptr, int* line = nullptr, CString* sides = nullptr);
int GetAgePointInfo(int n, CString* code = nullptr, int* serial = nullptr, int* x = nullptr, int* y = nullptr);
int GetAgeTriInfo(int n, int* serial = nullptr, int* i = nullptr, int* j = nullptr, int* k = nullptr);

int GetFeaturePointName(CString code, CString* name);
int GetFeatureLinePoints(CString lineName, dynarray<CString>* points);

// Whether a point or line code belongs to feature group `group` (0: codes
// without '@'; n > 0: codes ending in '@' and the n-th capital letter).
int GoodInfoCode(int group, CString code);

// The first row of table 145 for the operation and point whose side mask
// ("011": left, both, right) has '1' at position side.
bool GetFeatureTrafoInfoByName(CString operation, CString pointCode, int* type, double* amount, double* range,
                               int* axis, double* factor, int* line, int side);
// Row n of the triangle-anchor table of a figure ("V4": table 148, any
// other: table 150). False when the table is missing or shorter.
bool GetFeaturePointInfoVM(int n, CString* code, int* triangle, double* b1, double* b2, double* b3,
                           CString figure);

// The parsed table (read from its resource on first use), or null when the
// program carries no such table.
const FeatureTableText* featureTable(int id);
// Tests: use text in place of table id's resource (until the reset).
void installFeatureTable(int id, std::string_view text);
// Forgets every parsed and installed table.
void resetFeatureTables();
