// The text of the built-in feature tables. The first byte chooses whether
// a lone CR ends a line and the fewest fields a row needs. Every row read
// has at least that many fields, each trimmed and within the longest.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/featuretable_text.h"

namespace {

bool trimmed(const std::string &f)
{
	auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
	return f.empty() || (!blank(f.front()) && !blank(f.back()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	if (size < 1)
		return 0;
	const bool crEndsLine = data[0] & 1;
	const int minFields = (data[0] >> 1) & 15;
	std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);
	FeatureTableText t = parseFeatureTable(text, crEndsLine, minFields);
	for (const auto &row : t.rows) {
		if (int(row.size()) < minFields)
			__builtin_trap();
		for (const std::string &field : row)
			if (int(field.size()) > kFeatureFieldMax || !trimmed(field))
				__builtin_trap();
	}
	return 0;
}
