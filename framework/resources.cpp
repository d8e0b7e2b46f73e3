#include "framework/resources.h"

#include <algorithm>
#include <cstring>
#include <list>

#include "framework/ascii.h"

namespace {

using brv::EqualsNoCase;

// The name of a numeric resource type, or the text itself.
std::string_view TypeName(LPCSTR type) {
  if (type == nullptr) return {};
  if (IS_INTRESOURCE(type)) {
    switch (LOWORD(reinterpret_cast<uintptr_t>(type))) {
      case 2: return "BITMAP";
      case 10: return "RCDATA";
      default: return {};
    }
  }
  return type;
}

struct Overlay {
  std::string type;
  std::string bytes;  // its NUL follows the data, as for embedded ones
  brv::EmbeddedResource entry;
};

std::list<Overlay>& Overlays() {
  static std::list<Overlay> overlays;
  return overlays;
}

HRSRC Find(std::string_view type, unsigned number) {
  if (type.empty()) return nullptr;
  for (const Overlay& o : Overlays())
    if (o.entry.number == number && EqualsNoCase(o.type, type)) return &o.entry;
  std::size_t count = 0;
  const brv::EmbeddedResource* table = brv::EmbeddedResources(&count);
  for (std::size_t i = 0; i < count; ++i)
    if (table[i].number == number && EqualsNoCase(table[i].type, type)) return &table[i];
  return nullptr;
}

// Parses one `<id> "<text>"` line; returns an empty string or the problem.
std::string ParseLine(std::string_view line, unsigned* id, std::string* text) {
  std::size_t i = 0;
  unsigned long value = 0;
  std::size_t digits = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    value = value * 10 + static_cast<unsigned>(line[i] - '0');
    if (value > 65535) return "id above 65535";
    ++i, ++digits;
  }
  if (digits == 0) return "no id";
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i >= line.size() || line[i] != '"') return "no opening quote";
  ++i;
  std::string out;
  for (;;) {
    if (i >= line.size()) return "no closing quote";
    char c = line[i++];
    if (c == '"') break;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i >= line.size()) return "escape at the end";
    char e = line[i++];
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'x': {
        int hi = i < line.size() ? brv::HexDigit(line[i]) : -1;
        int lo = i + 1 < line.size() ? brv::HexDigit(line[i + 1]) : -1;
        if (hi < 0 || lo < 0) return "bad \\x escape";
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default: return std::string("unknown escape \\") + e;
    }
  }
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
  if (i != line.size()) return "text after the closing quote";
  *id = static_cast<unsigned>(value);
  *text = std::move(out);
  return {};
}

struct StringTable {
  std::map<unsigned, std::string> strings;
  std::vector<std::string> errors;
};

const StringTable& Strings() {
  static const StringTable table = [] {
    StringTable t;
    std::size_t count = 0;
    const brv::EmbeddedResource* res = brv::EmbeddedResources(&count);
    for (std::size_t i = 0; i < count; ++i) {
      if (!EqualsNoCase(res[i].type, "STRINGTABLE")) continue;
      std::string_view text(reinterpret_cast<const char*>(res[i].begin),
                            static_cast<std::size_t>(res[i].end - res[i].begin));
      for (std::string& e : brv::ParseStringTable(text, &t.strings))
        t.errors.push_back("STRINGTABLE " + std::to_string(res[i].number) + ": " + e);
    }
    return t;
  }();
  return table;
}

}  // namespace

HRSRC FindResource(HMODULE, LPCSTR name, LPCSTR type) {
  if (name == nullptr) return nullptr;
  unsigned number = 0;
  if (IS_INTRESOURCE(name)) {
    number = LOWORD(reinterpret_cast<uintptr_t>(name));
  } else {
    if (name[0] != '#' || name[1] == '\0') return nullptr;
    for (const char* p = name + 1; *p; ++p) {
      if (*p < '0' || *p > '9') return nullptr;
      number = number * 10 + static_cast<unsigned>(*p - '0');
      if (number > 65535) return nullptr;
    }
  }
  return Find(TypeName(type), number);
}

HRSRC FindResource(HMODULE, UINT id, LPCSTR type) {
  if (id > 65535) return nullptr;
  return Find(TypeName(type), id);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) { return resource; }

const void* LockResource(HGLOBAL data) { return data ? data->begin : nullptr; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  return resource ? static_cast<DWORD>(resource->end - resource->begin) : 0;
}

int LoadString(HINSTANCE, UINT id, LPSTR buffer, int bufferMax) {
  if (buffer == nullptr || bufferMax <= 0) return 0;
  std::string text;
  if (!brv::LoadStringText(id, &text)) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t n = std::min(text.size(), static_cast<std::size_t>(bufferMax - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

namespace brv {

std::span<const unsigned char> ResourceBytes(std::string_view type, unsigned number) {
  HRSRC r = Find(type, number);
  if (!r) return {};
  return {r->begin, static_cast<std::size_t>(r->end - r->begin)};
}

bool LoadStringText(unsigned id, std::string* out) {
  const auto& strings = Strings().strings;
  auto it = strings.find(id);
  if (it == strings.end()) return false;
  *out = it->second;
  return true;
}

std::vector<std::string> ParseStringTable(std::string_view text,
                                          std::map<unsigned, std::string>* table) {
  std::vector<std::string> errors;
  int lineNumber = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string_view::npos || line[start] == '#') continue;
    unsigned id = 0;
    std::string value;
    std::string problem = ParseLine(line.substr(start), &id, &value);
    if (problem.empty() && table->count(id)) problem = "id " + std::to_string(id) + " twice";
    if (!problem.empty()) {
      errors.push_back("line " + std::to_string(lineNumber) + ": " + problem);
      continue;
    }
    (*table)[id] = std::move(value);
  }
  return errors;
}

const std::vector<std::string>& StringTableErrors() { return Strings().errors; }

void SetResourceOverlay(std::string_view type, unsigned number, std::string bytes) {
  auto& overlays = Overlays();
  overlays.remove_if([&](const Overlay& o) { return o.entry.number == number && EqualsNoCase(o.type, type); });
  Overlay& o = overlays.emplace_back();
  o.type = std::string(type);
  o.bytes = std::move(bytes);
  const auto* data = reinterpret_cast<const unsigned char*>(o.bytes.data());
  o.entry = {o.type.c_str(), number, data, data + o.bytes.size()};
}

void ClearResourceOverlays() { Overlays().clear(); }

}  // namespace brv
