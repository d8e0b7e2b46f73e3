#include "document/c_format.h"

#include <locale.h>

#include <cstdarg>
#include <cstdio>

namespace files {

namespace {

locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return loc;
}

void vappend(std::string& out, const char* fmt, va_list ap) {
    char buf[256];
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    if (n < 0) {
        va_end(copy);
        return;
    }
    if (std::size_t(n) < sizeof buf) {
        out.append(buf, std::size_t(n));
    } else {
        std::size_t at = out.size();
        out.resize(at + std::size_t(n) + 1);
        std::vsnprintf(out.data() + at, std::size_t(n) + 1, fmt, copy);
        out.resize(at + std::size_t(n));
    }
    va_end(copy);
}

}  // namespace

CLocaleScope::CLocaleScope() : previous_(uselocale(cLocale())) {}
CLocaleScope::~CLocaleScope() { uselocale(static_cast<locale_t>(previous_)); }

std::string cformat(const char* fmt, ...) {
    CLocaleScope c;
    std::string out;
    va_list ap;
    va_start(ap, fmt);
    vappend(out, fmt, ap);
    va_end(ap);
    return out;
}

void cappend(std::string& out, const char* fmt, ...) {
    CLocaleScope c;
    va_list ap;
    va_start(ap, fmt);
    vappend(out, fmt, ap);
    va_end(ap);
}

void cappendHere(std::string& out, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vappend(out, fmt, ap);
    va_end(ap);
}

}  // namespace files
