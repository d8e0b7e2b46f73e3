#include "model/featuretable_text.h"

namespace {

bool isTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isTrimmed(s.front())) s.remove_prefix(1);
    while (!s.empty() && isTrimmed(s.back())) s.remove_suffix(1);
    return s;
}

// Splits one data line; false when a field is too long.
bool splitFields(std::string_view line, std::vector<std::string>& fields) {
    size_t start = 0;
    for (size_t comma = line.find(',', start); comma != std::string_view::npos;
         comma = line.find(',', start)) {
        std::string_view field = trim(line.substr(start, comma - start));
        if (field.size() > static_cast<size_t>(kFeatureFieldMax)) return false;
        fields.emplace_back(field);
        start = comma + 1;
    }
    return true;
}

}  // namespace

FeatureTableText parseFeatureTable(std::string_view text, bool crEndsLine, int minFields) {
    FeatureTableText table;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\n' &&
               !(crEndsLine && text[end] == '\r' && (end + 1 >= text.size() || text[end + 1] != '\n')))
            ++end;
        if (end >= text.size()) break;  // no line end: the rest is never read
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.front() == '#') continue;
        std::vector<std::string> fields;
        if (!splitFields(line, fields) || static_cast<int>(fields.size()) < minFields) {
            table.complete = false;
            break;
        }
        table.rows.push_back(std::move(fields));
    }
    return table;
}
