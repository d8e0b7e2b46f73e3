#include "foundation/filetb.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

#include "framework/paths.h"

namespace fnd {

char fileTB::commentLineChar = '#';
int fileTB::c = 0;
char fileTB::_item[fileTB::tokenLimit + 1];
char* fileTB::item = fileTB::_item;

namespace {

// Files never depend on the process locale (toolkits set it from the
// environment, and a decimal comma would break every file).
locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

// Single precision as the IEEE conversion gives it; a plain cast of an
// out-of-range double is undefined.
float toSingle(double v) {
    if (std::isnan(v)) return std::numeric_limits<float>::quiet_NaN();
    const double maxf = std::numeric_limits<float>::max();
    if (std::fabs(v) > maxf) {
        // Beyond the largest single: within half an ulp it rounds down to it.
        const double halfUlp = std::ldexp(1.0, 127 - 24);
        float big = std::fabs(v) < maxf + halfUlp ? std::numeric_limits<float>::max()
                                                  : std::numeric_limits<float>::infinity();
        return v > 0 ? big : -big;
    }
    return static_cast<float>(v);
}

bool isBlank(int ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

// A token of digits alone (an optional sign first) is read here; anything
// else goes to the library, whose results these equal.
bool digitsOnly(const char* s, long& v) {
    const char* p = s;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') return false;
    long r = 0;
    int n = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++n) {
        if (n == 18) return false;
        r = r * 10 + (*p - '0');
    }
    if (*p) return false;
    v = negative ? -r : r;
    return true;
}

bool parseLong(const char* s, long& v) {
    if (digitsOnly(s, v)) return true;
    errno = 0;
    char* end = nullptr;
    long r = std::strtol(s, &end, 10);
    if (end == s || errno == ERANGE) return false;
    v = r;
    return true;
}

bool parseInt32(const char* s, long& v) {
    long r;
    if (!parseLong(s, r) || r < INT32_MIN || r > INT32_MAX) return false;
    v = r;
    return true;
}

// A plain decimal of at most 15 digits ("-35.268", "0.408253") converts
// exactly to a double and, unless that lands on a midpoint between two
// singles, rounds to the single the library's conversion gives.
bool plainDecimal(const char* s, float& v) {
    static const double tens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                  1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = s;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    std::uint64_t m = 0;
    int digits = 0, fraction = 0;
    bool point = false;
    for (;; ++p) {
        if (*p >= '0' && *p <= '9') {
            if (++digits > 15) return false;
            m = m * 10 + std::uint64_t(*p - '0');
            if (point) ++fraction;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (*p || digits == 0) return false;
    const double d = double(m) / tens[fraction];
    const float f = static_cast<float>(d);
    if (double(f) != d) {
        const float other = std::nextafter(f, double(f) < d ? std::numeric_limits<float>::infinity()
                                                            : -std::numeric_limits<float>::infinity());
        if ((double(f) + double(other)) * 0.5 == d) return false;
    }
    v = negative ? -f : f;
    return true;
}

bool parseSingle(const char* s, float& v) {
    if (plainDecimal(s, v)) return true;
    char* end = nullptr;
    float r = strtof_l(s, &end, cLocale());
    if (end == s) return false;
    v = r;
    return true;
}

}  // namespace

bool fileTB::open(const char* path, const char* mode) {
    close();
    depth_ = 0;
    comment_ = false;
    atLineStart_ = true;
    commentNoIndent_ = false;
    memory_ = false;
    realFormat_ = "%9.3f";
    reading_ = !(mode && mode[0] == 'w');
    text_ = mode && mode[0] && mode[1] == 't';
    file_ = path ? std::fopen(brv::PosixPath(path).c_str(), reading_ ? "rb" : "wb") : nullptr;
    good_ = file_ != nullptr;
    return good_;
}

bool fileTB::open(std::string* sink, const char* mode) {
    close();
    depth_ = 0;
    comment_ = false;
    atLineStart_ = true;
    commentNoIndent_ = false;
    memory_ = false;
    realFormat_ = "%9.3f";
    reading_ = false;
    text_ = mode && mode[0] && mode[1] == 't';
    sink_ = sink;
    good_ = sink != nullptr;
    return good_;
}

std::size_t fileTB::remaining() const {
    if (memory_) return static_cast<std::size_t>(end_ - cursor_);
    return SIZE_MAX;
}

bool fileTB::readBlock(void* dst, std::size_t n) {
    if (!good_ || !reading_) return false;
    return readBytes(dst, n);
}

void fileTB::writeBlock(const void* src, std::size_t n) {
    if (writerReady()) writeBytes(src, n);
}

bool fileTB::open(const unsigned char* data, std::size_t length, const TokenIndex* index) {
    const bool ok = open(data, length);
    if (ok && index && index->data() == data && index->length() == length) index_ = index;
    return ok;
}

TokenIndex::TokenIndex(const unsigned char* data, std::size_t length)
    : data_(data), length_(length), commentChar_(fileTB::commentLineChar) {
    // A block with a 0xFF byte (which ends the data for a stream) is not
    // indexed; the index ends before a token it cannot hold.
    if (!data || std::memchr(data, 0xFF, length)) return;
    fileTB f;
    f.open(data, length);
    std::size_t at = 0;
    for (;;) {
        fileTB::item = nullptr;
        const int found = f.get();
        // No token (only blanks were left).
        if (!fileTB::item) break;
        const std::size_t n = std::strlen(fileTB::item), after = std::size_t(f.cursor_ - data);
        if (n > 1023 || after - at > 65535) break;
        uint32_t flags = (found ? uint32_t(kFound) : 0u) | (f.atLineStart_ ? uint32_t(kLineStartAfter) : 0u);
        uint32_t number = 0;
        long whole;
        float single;
        if (parseInt32(fileTB::item, whole)) {
            flags |= kInt;
            number = uint32_t(int32_t(whole));
        }
        if (parseSingle(fileTB::item, single)) {
            flags |= kSingle;
            const float fromWhole = float(int32_t(number));
            if ((flags & kInt) && std::memcmp(&fromWhole, &single, sizeof single) == 0) {
                flags |= kSingleIsWhole;
            } else {
                flags |= kHoldsSingle;
                std::memcpy(&number, &single, sizeof single);
            }
        }
        tokens_.push_back(Token{uint32_t(after - at) << 16 | uint32_t(n) << 6 | flags, number});
        at = after;
        if (!found) break;
    }
    fileTB::item = fileTB::_item;
    tokens_.shrink_to_fit();
}

bool fileTB::indexedToken(int& found) {
    const TokenIndex& x = *index_;
    const std::size_t k = nextToken_;
    const bool lineStart = k ? (x.tokens_[k - 1].flags() & TokenIndex::kLineStartAfter) != 0 : true;
    if (k >= x.tokens_.size() || std::size_t(cursor_ - begin_) != indexedAt_ || atLineStart_ != lineStart ||
        commentLineChar != x.commentChar_) {
        index_ = nullptr;
        return false;
    }
    const TokenIndex::Token& t = x.tokens_[k];
    const uint32_t flags = t.flags(), length = t.length();
    const std::size_t after = indexedAt_ + t.step();
    found = (flags & TokenIndex::kFound) != 0;
    std::memcpy(_item, begin_ + after - (found ? 1 : 0) - length, length);
    _item[length] = 0;
    item = _item;
    cursor_ = begin_ + after;
    c = begin_[after - 1];
    atLineStart_ = (flags & TokenIndex::kLineStartAfter) != 0;
    lastToken_ = &t;
    nextToken_ = k + 1;
    indexedAt_ = after;
    return true;
}

bool fileTB::open(const unsigned char* data, std::size_t length) {
    close();
    depth_ = 0;
    comment_ = false;
    atLineStart_ = true;
    commentNoIndent_ = false;
    realFormat_ = "%9.3f";
    reading_ = true;
    text_ = true;
    memory_ = data != nullptr;
    begin_ = cursor_ = data;
    end_ = data ? data + length : nullptr;
    good_ = data != nullptr;
    return good_;
}

// A stream that failed after its file was opened releases the file too.
bool fileTB::close() {
    bool ok = good_;
    if (file_) {
        if (ok && !reading_ && std::fflush(file_) != 0) ok = false;
        if (std::fclose(file_) != 0 && !reading_) ok = false;
    }
    file_ = nullptr;
    sink_ = nullptr;
    begin_ = cursor_ = end_ = nullptr;
    index_ = nullptr;
    nextToken_ = indexedAt_ = 0;
    lastToken_ = nullptr;
    memory_ = false;
    good_ = false;
    return ok;
}

bool fileTB::flush() {
    if (good_ && !reading_ && file_ && std::fflush(file_) != 0) good_ = false;
    return good_;
}

int fileTB::readChar() {
    int ch;
    if (memory_) {
        if (cursor_ >= end_) return -1;
        ch = *cursor_++;
    } else {
        if (!file_) return -1;
        ch = std::fgetc(file_);
        if (ch == EOF) return -1;
    }
    if (ch == 0xFF) return -1;
    c = ch;
    return ch;
}

void fileTB::unreadChar(int ch) {
    if (memory_)
        --cursor_;
    else
        std::ungetc(ch, file_);
}

bool fileTB::readBytes(void* dst, std::size_t n) {
    if (memory_) {
        if (static_cast<std::size_t>(end_ - cursor_) < n) {
            cursor_ = end_;
            good_ = false;
            return false;
        }
        std::memcpy(dst, cursor_, n);
        cursor_ += n;
        return true;
    }
    if (!file_ || std::fread(dst, 1, n, file_) != n) {
        good_ = false;
        return false;
    }
    return true;
}

void fileTB::writeBytes(const void* src, std::size_t n) {
    if (sink_ && good_ && !reading_) {
        sink_->append(static_cast<const char*>(src), n);
        return;
    }
    if (!good_ || reading_ || !file_) {
        good_ = false;
        return;
    }
    if (n && std::fwrite(src, 1, n, file_) != n) good_ = false;
}

void fileTB::writeText(const char* s) { writeBytes(s, std::strlen(s)); }

void fileTB::writeFormatted(const char* format, double v) {
    char buf[512];
    locale_t old = uselocale(cLocale());
    int n = std::snprintf(buf, sizeof buf, format, v);
    uselocale(old);
    if (n < 0 || n >= static_cast<int>(sizeof buf)) {
        good_ = false;
        return;
    }
    writeBytes(buf, static_cast<std::size_t>(n));
}

int fileTB::get() {
    if (!good_ || !text_ || !reading_) return 0;
    lastToken_ = nullptr;
    if (index_) {
        int found;
        if (indexedToken(found)) return found;
    }
    if (!memory_) return scanToken([this] { return readChar(); }, [this](int ch) { unreadChar(ch); });
    // A block is scanned through a local cursor (the same steps as
    // readChar: 0xFF is consumed and ends the data, the end is not).
    const unsigned char* p = cursor_;
    const unsigned char* const e = end_;
    int last = c;
    const int r = scanToken(
        [&p, e, &last]() -> int {
            if (p >= e) return -1;
            const int ch = *p++;
            if (ch == 0xFF) return -1;
            last = ch;
            return ch;
        },
        [&p](int) { --p; });
    cursor_ = p;
    c = last;
    return r;
}

template <class Next, class Unread>
int fileTB::scanToken(Next next, Unread unread) {
    int ch;
    for (;;) {
        ch = next();
        if (ch < 0) return 0;
        while (atLineStart_ && ch == commentLineChar) {
            do {
                ch = next();
                if (ch < 0) return 0;
            } while (ch != '\n');
            ch = next();
            if (ch < 0) return 0;
        }
        while (ch == ' ' || ch == '\t' || ch == '\r') {
            ch = next();
            if (ch < 0) return 0;
        }
        if (ch == '\n') {
            atLineStart_ = true;
            continue;
        }
        atLineStart_ = false;
        break;
    }
    int n = 0;
    while (!isBlank(ch)) {
        if (n == tokenLimit) {
            // The rest of an over-long run forms the next token.
            unread(ch);
            _item[n] = 0;
            item = _item;
            return 1;
        }
        _item[n++] = static_cast<char>(ch);
        ch = next();
        if (ch < 0) {
            _item[n] = 0;
            item = _item;
            return 0;
        }
    }
    _item[n] = 0;
    item = _item;
    atLineStart_ = ch == '\n';
    return 1;
}

bool fileTB::skipByteOrderMark() {
    static const unsigned char mark[3] = {0xEF, 0xBB, 0xBF};
    if (!good_ || !reading_ || !text_) return false;
    if (memory_) {
        if (end_ - cursor_ < 3 || std::memcmp(cursor_, mark, 3) != 0) return false;
        cursor_ += 3;
        return true;
    }
    if (!file_) return false;
    const long at = std::ftell(file_);
    unsigned char head[3];
    if (at >= 0 && std::fread(head, 1, 3, file_) == 3 && std::memcmp(head, mark, 3) == 0) return true;
    if (at < 0 || std::fseek(file_, at, SEEK_SET) != 0) good_ = false;
    return false;
}

bool fileTB::textToken() {
    if (get()) return true;
    good_ = false;
    return false;
}

void fileTB::setMode(const char* m) {
    if (!good_) return;
    bool t = m && m[0] == 't';
    if (t == text_) return;
    if (reading_) {
        int ch;
        do {
            ch = readChar();
            if (ch < 0) {
                good_ = false;
                break;
            }
        } while (ch != '\n');
        atLineStart_ = true;
    } else {
        writeBytes("\n", 1);
    }
    text_ = t;
}

void fileTB::tab() {
    if (writerReady() && text_) writeBytes("\t", 1);
}

void fileTB::newLine() {
    if (!writerReady() || !text_) return;
    writeBytes("\n", 1);
    if (comment_) {
        if (commentNoIndent_) return;
        writeBytes(&commentLineChar, 1);
    }
    for (int i = 0; i < depth_ && good_; ++i) writeBytes("\t", 1);
}

void fileTB::eos() {
    if (!writerReady()) return;
    if (text_)
        writeBytes(" ", 1);
    else
        writeBytes("", 1);
}

bool fileTB::readInt32(long& v) {
    unsigned char b[4];
    if (!readBytes(b, 4)) return false;
    std::uint32_t u = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
                      std::uint32_t(b[3]) << 24;
    v = static_cast<std::int32_t>(u);
    return true;
}

void fileTB::writeInt32(long v) {
    std::uint32_t u = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                          static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    writeBytes(b, 4);
}

bool fileTB::readSingle(float& v) {
    long bits;
    if (!readInt32(bits)) return false;
    std::uint32_t u = static_cast<std::uint32_t>(bits);
    std::memcpy(&v, &u, 4);
    return true;
}

void fileTB::writeSingle(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    writeInt32(static_cast<std::int32_t>(u));
}

bool fileTB::textInt32(long& r) {
    if (!textToken()) return false;
    const uint32_t flags = lastToken_ ? lastToken_->flags() : 0;
    if ((flags & TokenIndex::kInt) && !(flags & TokenIndex::kHoldsSingle)) {
        r = int32_t(lastToken_->number);
        return true;
    }
    // An indexed token is no int32 when its conversion fails.
    if ((!lastToken_ || (flags & TokenIndex::kInt)) && parseInt32(item, r)) return true;
    good_ = false;
    return false;
}

bool fileTB::readNumber32(long& r) { return text_ ? textInt32(r) : readInt32(r); }

void fileTB::writeNumber32(long v) {
    if (!writerReady()) return;
    if (v < INT32_MIN || v > INT32_MAX) {
        good_ = false;
    } else if (text_) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%ld ", v);
        writeText(buf);
    } else {
        writeInt32(v);
    }
}

fileTB& fileTB::operator<<(const int& v) {
    writeNumber32(v);
    return *this;
}

fileTB& fileTB::operator>>(int& v) {
    long r;
    if (readerReady() && readNumber32(r)) v = static_cast<int>(r);
    return *this;
}

fileTB& fileTB::operator<<(const long& v) {
    writeNumber32(v);
    return *this;
}

fileTB& fileTB::operator>>(long& v) {
    long r;
    if (readerReady() && readNumber32(r)) v = r;
    return *this;
}

fileTB& fileTB::operator<<(const char& v) {
    if (writerReady()) writeBytes(&v, 1);
    return *this;
}

fileTB& fileTB::operator>>(char& v) {
    if (!readerReady()) return *this;
    if (text_) {
        if (textToken()) v = item[0];
    } else {
        readBytes(&v, 1);
    }
    return *this;
}

fileTB& fileTB::operator<<(const unsigned char& v) {
    if (!writerReady()) return *this;
    if (text_) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%d ", static_cast<int>(v));
        writeText(buf);
    } else {
        writeBytes(&v, 1);
    }
    return *this;
}

// Read even in comment mode.
fileTB& fileTB::operator>>(unsigned char& v) {
    if (!good_ || !reading_) return *this;
    if (text_) {
        long r;
        if (textInt32(r)) v = static_cast<unsigned char>(r & 0xFF);
    } else {
        readBytes(&v, 1);
    }
    return *this;
}

fileTB& fileTB::operator<<(const float& v) {
    if (!writerReady()) return *this;
    if (text_) {
        writeFormatted(realFormat_, v);
        writeText(" ");
    } else {
        writeSingle(v);
    }
    return *this;
}

fileTB& fileTB::operator>>(float& v) {
    if (!readerReady()) return *this;
    if (text_) {
        if (!textToken()) return *this;
        const uint32_t flags = lastToken_ ? lastToken_->flags() : 0;
        if (!(flags & TokenIndex::kSingle)) {
            // An indexed token is no single when its conversion fails.
            if (lastToken_ || !parseSingle(item, v)) good_ = false;
        } else if (flags & TokenIndex::kHoldsSingle) {
            std::memcpy(&v, &lastToken_->number, sizeof v);
        } else {
            v = float(int32_t(lastToken_->number));
        }
    } else {
        readSingle(v);
    }
    return *this;
}

fileTB& fileTB::operator<<(const double& v) {
    if (!writerReady()) return *this;
    float f = toSingle(v);
    if (text_) {
        writeFormatted(std::fabs(f) <= 1.0f ? "%.6f" : realFormat_, f);
        writeText(" ");
    } else {
        writeSingle(f);
    }
    return *this;
}

fileTB& fileTB::operator>>(double& v) {
    float f;
    if (!readerReady()) return *this;
    *this >> f;
    if (good_) v = f;
    return *this;
}

fileTB& fileTB::operator<<(const bool& v) {
    int i = v ? 1 : 0;
    return *this << i;
}

fileTB& fileTB::operator>>(bool& v) {
    if (!readerReady()) return *this;
    int i = 0;
    *this >> i;
    v = good_ && i > 0;
    return *this;
}

fileTB& fileTB::operator<<(const char* s) {
    if (writerReady() && s) writeText(s);
    return *this;
}

fileTB& fileTB::operator<<(const ostring& s) {
    if (!writerReady()) return *this;
    std::string out(s.c_str());
    if (text_) {
        for (char& ch : out)
            if (ch == ' ') ch = '~';
        out += '_';
        writeText(out.c_str());
        newLine();
    } else {
        writeBytes(out.c_str(), out.size() + 1);
    }
    return *this;
}

fileTB& fileTB::operator>>(istring& s) {
    if (!readerReady()) return *this;
    std::string in;
    if (text_) {
        if (!textToken()) return *this;
        in = item;
        if (in.empty() || in.back() != '_') {
            good_ = false;
            return *this;
        }
        in.pop_back();
    } else {
        for (;;) {
            char ch;
            if (!readBytes(&ch, 1)) return *this;
            if (ch == 0) break;
            if (static_cast<int>(in.size()) == tokenLimit) {
                good_ = false;
                return *this;
            }
            in += ch;
        }
    }
    for (char& ch : in)
        if (ch == '~') ch = ' ';
    s.text_ = std::move(in);
    return *this;
}

fileTB& fileTB::readString(char* buffer, std::size_t capacity) {
    if (!readerReady()) return *this;
    if (!buffer || capacity == 0) {
        good_ = false;
        return *this;
    }
    if (text_) {
        if (!textToken()) {
            buffer[0] = 0;
            return *this;
        }
        std::size_t n = std::strlen(item);
        if (n >= capacity) {
            n = capacity - 1;
            good_ = false;
        }
        std::memcpy(buffer, item, n);
        buffer[n] = 0;
        return *this;
    }
    std::size_t n = 0;
    for (;;) {
        char ch;
        if (!readBytes(&ch, 1)) break;
        if (ch == 0) break;
        if (n + 1 == capacity) {
            good_ = false;
            break;
        }
        buffer[n++] = ch;
    }
    buffer[n] = 0;
    return *this;
}

}  // namespace fnd
