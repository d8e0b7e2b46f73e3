#pragma once
// Splitting the text of a built-in feature table into rows of fields.

#include <string>
#include <string_view>
#include <vector>

// The longest field a table may hold.
constexpr int kFeatureFieldMax = 1023;

struct FeatureTableText {
    // Data rows in file order; each holds every comma-terminated field of the
    // line, trimmed of blanks, tabs, CR and LF.
    std::vector<std::vector<std::string>> rows;
    // False when reading stopped at a malformed row (too few fields, or a
    // field longer than kFeatureFieldMax); the rows before it are kept.
    bool complete = true;
};

// Lines end with LF; with crEndsLine a CR that no LF follows ends a line as
// well. A line whose first character is '#' is a comment. Text after the
// last line end is not read, and text after the last comma of a row is
// ignored. A row with fewer than minFields fields is malformed and ends the
// table.
FeatureTableText parseFeatureTable(std::string_view text, bool crEndsLine, int minFields);
