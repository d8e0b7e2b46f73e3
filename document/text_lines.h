#pragma once
// Reading the line-oriented text files (.phs, .obj): white-space separated
// tokens with their line numbers, numbers in the C locale whatever the
// process locale. Lines may end in LF or CRLF.

#include <charconv>
#include <cmath>
#include <string_view>

namespace files {

class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}

    // The next token; empty at the end.
    std::string_view next() {
        skip();
        std::size_t start = pos_;
        while (pos_ < text_.size() && !blank(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }
    bool integer(long& v) {
        std::string_view t = next();
        auto r = std::from_chars(t.data(), t.data() + t.size(), v);
        return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
    }
    // A finite number.
    bool number(double& v) { return toNumber(next(), v); }
    // Six hexadecimal digits: red, green, blue.
    bool hexColour(unsigned char rgb[3]) {
        std::string_view t = next();
        if (t.size() != 6) return false;
        for (int k = 0; k < 3; ++k) {
            unsigned value = 0;
            auto r = std::from_chars(t.data() + 2 * k, t.data() + 2 * k + 2, value, 16);
            if (r.ec != std::errc() || r.ptr != t.data() + 2 * k + 2) return false;
            rgb[k] = static_cast<unsigned char>(value);
        }
        return true;
    }
    bool atEnd() {
        skip();
        return pos_ >= text_.size();
    }
    // Line of the last token read (from 1).
    int line() const { return line_; }

    static bool toNumber(std::string_view t, double& v) {
        if (!t.empty() && t[0] == '+') t.remove_prefix(1);
        auto r = std::from_chars(t.data(), t.data() + t.size(), v);
        return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(v);
    }

private:
    static bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void skip() {
        while (pos_ < text_.size() && blank(text_[pos_])) {
            if (text_[pos_] == '\n') ++line_;
            ++pos_;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

}  // namespace files
