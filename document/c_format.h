#pragma once
// printf-style text in the C locale, whatever the process locale: exported
// files always carry a decimal point.

#include <string>

namespace files {

std::string cformat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Appends to out.
void cappend(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Appends without switching the locale: for loops inside a CLocaleScope.
void cappendHere(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Switches the calling thread to the C locale for its lifetime.
class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    void* previous_;
};

}  // namespace files
