#include "foundation/named.h"

#include <cstring>

namespace fnd {

char named_class::_str[1024];
char* named_class::str = named_class::_str;
char named_instance::_str[named_instance::nameLimit];
char* named_instance::str = named_instance::_str;

dummy_named_class NamedClass;
named_instance NamedInstance;

namespace {
const char kPrefix[] = "default_name_of_";

int readIndexed(fileTB& f, char* buffer, std::size_t capacity) {
    int i = -1;
    f >> i;
    f.readString(buffer, capacity);
    return i;
}
}

void named_class::read_class(fileTB& f) const { f.readString(str, sizeof _str); }

void named_class::write_class(fileTB& f, const char* word) const {
    f << "th" << "::" << word;
    f.eos();
}

int named_class::read_indexed_class(fileTB& f) const { return readIndexed(f, str, sizeof _str); }

void named_class::write_indexed_class(fileTB& f, const int& i, const char* word) const {
    f << i << "th" << "::" << word;
    f.eos();
}

int named_class::read_pieceof_class(fileTB& f) const { return read_indexed_class(f); }

void named_class::write_pieceof_class(fileTB& f, const int& n, const char* word) const {
    f << n;
    f.tab();
    f << "of" << "::" << word;
    f.eos();
}

void named_instance::set_name_(const char* text, bool prefix) {
    if (!text) text = "";
    const std::size_t limit = nameLimit - 1;
    std::size_t pre = prefix ? sizeof kPrefix - 1 : 0;
    std::size_t len = std::strlen(text);
    if (pre + len > limit) len = limit - pre;
    char* n = new char[pre + len + 1];
    std::memcpy(n, kPrefix, pre);
    std::memcpy(n + pre, text, len);
    n[pre + len] = 0;
    name_ = n;
}

void named_instance::set_name(const char* text, bool prefix) {
    char* old = name_;  // text may be the present name
    set_name_(text, prefix);
    delete[] old;
}

void named_instance::write_nameof_instance(fileTB& f, const char* word) const {
    f << "th" << "::" << word << "::" << name();
    f.eos();
}

void named_instance::write_pure_nameof_instance(fileTB& f, const char* word) const {
    f << word << "::" << name();
    f.eos();
}

// The line holds the word besides the name, so it is read whole into a
// buffer of a token's size: every name that can be set reads back. A name
// longer than that fails the stream.
void named_instance::readSkipping(fileTB& f, std::size_t skip) {
    if (!f.good() || !f.reading() || f.commentMode()) return;
    static char line[fileTB::tokenLimit + 1];
    f.readString(line, sizeof line);
    if (!f.good()) return;
    std::size_t len = std::strlen(line);
    const char* name = line + (skip < len ? skip : len);
    if (std::strlen(name) >= sizeof _str) {
        f.fail();
        return;
    }
    std::strcpy(str, name);
    set_name(str, false);
}

void named_instance::read_nameof_instance(fileTB& f, const char* word) {
    readSkipping(f, std::strlen(word ? word : "") + 6);
}

void named_instance::read_pure_nameof_instance(fileTB& f, const char* word) {
    readSkipping(f, std::strlen(word ? word : "") + 2);
}

int named_instance::read_indexed_class(fileTB& f) const { return readIndexed(f, str, sizeof _str); }

void named_instance::write_indexed_class(fileTB& f, const int& i, const char* word) const {
    f << i;
    f.tab();
    f << "th" << "::" << word;
    f.eos();
}

}  // namespace fnd
