#pragma once
// Token stream under every model file, project section and built-in template.
// Text mode: white-space separated tokens, laid out in indented lines by the
// writers and read back ignoring all layout. Binary mode: raw little-endian
// values (int and long 4 bytes, float and double 4-byte IEEE single).
// Numbers are always formatted and parsed in the C locale.
//
// A stream that failed once stays failed: every later operation does nothing,
// so readers read a whole record and test good() once at the end.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fnd {

// A string written as one token that may contain blanks: blanks become '~',
// the text ends with '_' (text mode) or a zero byte (binary mode).
class ostring {
public:
    ostring(const char* s) : text_(s ? s : "") {}
    ostring(const std::string& s) : text_(s.c_str()) {}
    const char* c_str() const { return text_; }

private:
    const char* text_;
};

// Receives a string written through ostring.
class istring {
public:
    istring() = default;
    const std::string& str() const { return text_; }
    const char* c_str() const { return text_.c_str(); }

private:
    friend class fileTB;
    std::string text_;
};

class fileTB;

// The tokens of a read-only text block as a read stream finds them, with
// the numbers they read as: a block read many times (a built-in template)
// is scanned and converted once. A stream over the block that is given the
// index takes its tokens from it while its reads keep in step with the
// index, and scans the bytes itself from the first step out of line; either
// way it reads what it would read without the index.
class TokenIndex {
public:
    // Indexes data (not copied: it must outlive the index and every stream
    // that uses the index).
    TokenIndex(const unsigned char* data, std::size_t length);
    const unsigned char* data() const { return data_; }
    std::size_t length() const { return length_; }
    std::size_t tokens() const { return tokens_.size(); }

private:
    friend class fileTB;
    enum : uint32_t { kFound = 1, kLineStartAfter = 2, kInt = 4, kSingle = 8, kSingleIsWhole = 16, kHoldsSingle = 32 };
    // Eight bytes a token: how far the stream moved (16 bits), the length
    // of the token text (10 bits, which ends at the stream's place or, after
    // a found token, one before: the blank that ended it) and the flags (6
    // bits); then the number: the single's bits (kHoldsSingle), else the
    // int32. A token that reads as both ("12", and "-35.268" as -35) keeps
    // the int only when the single is that int converted (kSingleIsWhole).
    struct Token {
        uint32_t packed;
        uint32_t number;
        uint32_t step() const { return packed >> 16; }
        uint32_t length() const { return packed >> 6 & 1023; }
        uint32_t flags() const { return packed & 63; }
    };
    const unsigned char* data_;
    std::size_t length_;
    char commentChar_;
    std::vector<Token> tokens_;
};

class fileTB {
public:
    // Longest token; a longer run of characters is cut into several tokens.
    static constexpr int tokenLimit = 5000;

    static char commentLineChar;  // '#'
    static int c;                 // last character consumed by get()
    static char _item[tokenLimit + 1];
    static char* item;            // the current token; valid until the next get()

    fileTB() = default;
    ~fileTB() { close(); }
    fileTB(const fileTB&) = delete;
    fileTB& operator=(const fileTB&) = delete;

    // mode: 'w' writes, anything else reads; a second letter 't' selects
    // text mode, anything else binary. The file is always opened binary.
    bool open(const char* path, const char* mode);
    // A read stream in text mode over a block of `length` bytes (a resource).
    // The block is not copied and must outlive the stream; a null block
    // leaves the stream not good.
    bool open(const unsigned char* data, std::size_t length);
    // The same, the tokens taken from index where they keep in step (null:
    // none; an index of another block is not used).
    bool open(const unsigned char* data, std::size_t length, const TokenIndex* index);
    // A write stream that appends to *sink instead of a file (mode as above).
    bool open(std::string* sink, const char* mode);
    // Ends the stream. True only when it was good up to the end: for a file
    // written, every byte reached the file (buffered bytes refused by the
    // system, on a full disk say, fail the close). good is off afterwards.
    bool close();
    // Hands buffered bytes to the system; a refusal clears good. Returns good.
    bool flush();

    bool good() const { return good_; }
    bool reading() const { return reading_; }
    bool text() const { return text_; }
    bool memorySource() const { return memory_; }
    // Whether the tokens still come from a token index.
    bool followsIndex() const { return index_ != nullptr; }
    // Marks the stream failed; readers use it for a value out of range.
    void fail() { good_ = false; }
    // Bytes not yet read of a memory stream; SIZE_MAX for a file.
    std::size_t remaining() const;
    // n raw bytes whatever the mode (pixel blocks, file bytes).
    bool readBlock(void* dst, std::size_t n);
    void writeBlock(const void* src, std::size_t n);

    int depth() const { return depth_; }
    void setDepth(int d) { depth_ = d; }
    bool commentMode() const { return comment_; }
    void setCommentMode(bool on) { comment_ = on; }
    bool commentWithoutIndentation() const { return commentNoIndent_; }
    void setCommentWithoutIndentation(bool on) { commentNoIndent_ = on; }
    const char* realFormat() const { return realFormat_; }

    // Next token into item; 1, or 0 at the end of the data. Text mode only.
    int get();
    // At the current place of a text read stream, passes over a UTF-8
    // byte-order mark (the three bytes EF BB BF); true when there was one.
    bool skipByteOrderMark();
    // "t" selects text, anything else binary. On a change a read stream
    // skips the rest of the current line, a write stream ends the line.
    void setMode(const char* m);
    void tab();
    // Line break, comment character (in comment mode) and depth tabs.
    // Nothing on read streams and in binary mode.
    void newLine();
    // End of a string section: a blank in text mode, a zero byte in binary.
    void eos();

    fileTB& operator<<(const int& v);
    fileTB& operator>>(int& v);
    // long is stored as 32 bits; a value outside that range fails the stream.
    fileTB& operator<<(const long& v);
    fileTB& operator>>(long& v);
    fileTB& operator<<(const char& v);
    fileTB& operator>>(char& v);
    fileTB& operator<<(const unsigned char& v);
    fileTB& operator>>(unsigned char& v);
    fileTB& operator<<(const float& v);
    fileTB& operator>>(float& v);
    // Rounded to single precision in both modes.
    fileTB& operator<<(const double& v);
    fileTB& operator>>(double& v);
    // Stored as the int 0 or 1; any positive int reads as true.
    fileTB& operator<<(const bool& v);
    fileTB& operator>>(bool& v);
    // The characters alone, no separator and no terminator.
    fileTB& operator<<(const char* s);
    fileTB& operator<<(const ostring& s);
    fileTB& operator>>(istring& s);

    // A string into a buffer of `capacity` bytes (terminator included):
    // in text mode one token, in binary mode the bytes up to a zero byte.
    // A string that does not fit fails the stream; the buffer is never
    // overrun and always terminated.
    fileTB& readString(char* buffer, std::size_t capacity);
    template <std::size_t N>
    fileTB& operator>>(char (&buffer)[N]) {
        return readString(buffer, N);
    }

private:
    friend class TokenIndex;
    int readChar();     // next byte, -1 at the end of the data (0xFF too)
    void unreadChar(int ch);
    bool readBytes(void* dst, std::size_t n);
    void writeBytes(const void* src, std::size_t n);
    void writeText(const char* s);
    void writeFormatted(const char* format, double v);
    bool readerReady() const { return good_ && reading_ && !comment_; }
    bool writerReady() const { return good_ && !reading_; }
    bool readInt32(long& v);
    bool textInt32(long& v);
    bool readNumber32(long& v);
    void writeNumber32(long v);
    bool readSingle(float& v);
    void writeInt32(long v);
    void writeSingle(float v);
    bool textToken();   // get() that clears good when there is no token
    // get() from the index; false when the stream is out of step with it
    // (the index is then dropped).
    bool indexedToken(int& found);
    // The steps of get() over a character source.
    template <class Next, class Unread>
    int scanToken(Next next, Unread unread);

    int depth_ = 0;
    bool comment_ = false;
    bool atLineStart_ = true;
    std::FILE* file_ = nullptr;
    std::string* sink_ = nullptr;
    const unsigned char* cursor_ = nullptr;
    const unsigned char* begin_ = nullptr;
    const unsigned char* end_ = nullptr;
    const TokenIndex* index_ = nullptr;
    std::size_t nextToken_ = 0;
    std::size_t indexedAt_ = 0;  // where the index's next token starts from
    // The index's token that the last get() gave, null when it was scanned.
    const TokenIndex::Token* lastToken_ = nullptr;
    bool memory_ = false;
    bool good_ = false;
    bool reading_ = false;
    bool text_ = true;
    bool commentNoIndent_ = false;
    const char* realFormat_ = "%9.3f";
};

// Raises the indentation depth for one nesting level and restores it, with
// the comment-mode flag, at the end of the scope.
class tabGuard {
public:
    explicit tabGuard(fileTB& f) : f_(f), comment_(f.commentMode()) { f_.setDepth(f_.depth() + 1); }
    ~tabGuard() {
        f_.setDepth(f_.depth() - 1);
        f_.setCommentMode(comment_);
    }
    tabGuard(const tabGuard&) = delete;
    tabGuard& operator=(const tabGuard&) = delete;

private:
    fileTB& f_;
    bool comment_;
};

}  // namespace fnd
