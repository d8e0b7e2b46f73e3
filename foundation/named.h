#pragma once
// The polymorphic root of the model elements and the heads: the class lines
// of the model text format ("th::" + word, "of::" + word), the index that
// precedes an element, and for named elements the name lines
// ("th::" + word + "::" + name). Class words read back are never compared.

#include <cstring>
#include <string>

#include "foundation/chain.h"
#include "foundation/filetb.h"

namespace fnd {

class named_class {
public:
    // Class words are read into this shared buffer (named_class::_str).
    static char _str[1024];
    static char* str;

    constexpr named_class() = default;
    named_class(const named_class&) = default;
    named_class(named_class&&) = default;
    named_class& operator=(const named_class&) = default;
    named_class& operator=(named_class&&) = default;

    // One token into str.
    virtual void read_class(fileTB& f) const;
    // "th", "::", word, end of statement.
    virtual void write_class(fileTB& f, const char* word) const;
    // An integer, then one token into str; returns the integer.
    virtual int read_indexed_class(fileTB& f) const;
    // i, "th::" word, end of statement.
    virtual void write_indexed_class(fileTB& f, const int& i, const char* word) const;
    // A count line: read_indexed_class on the same object.
    virtual int read_pieceof_class(fileTB& f) const;
    // n, a tab, "of::" word, end of statement.
    virtual void write_pieceof_class(fileTB& f, const int& n, const char* word) const;
    virtual ~named_class() = default;
};

// An element with an owned, user-visible name.
class named_instance : public named_class {
public:
    // Name lines are read into this shared buffer (named_instance::_str).
    static constexpr int nameLimit = 1000;
    static char _str[nameLimit];
    static char* str;

    constexpr named_instance() = default;
    // "default_name_of_" + text with prefix, else text.
    named_instance(const char* text, bool prefix) { set_name_(text, prefix); }
    named_instance(const named_instance& o) : named_class(o) { set_name_(o.name(), false); }
    named_instance(named_instance&& o) noexcept : named_class(o), name_(o.name_) { o.name_ = nullptr; }
    named_instance& operator=(const named_instance& o) {
        if (this != &o) set_name(o.name(), false);
        return *this;
    }
    named_instance& operator=(named_instance&& o) noexcept {
        if (this != &o) {
            delete[] name_;
            name_ = o.name_;
            o.name_ = nullptr;
        }
        return *this;
    }
    ~named_instance() override { delete[] name_; }

    const char* name() const { return name_ ? name_ : ""; }
    // A name, with its prefix, is cut to nameLimit - 1 characters.
    void set_name_(const char* text, bool prefix);
    void set_name(const char* text, bool prefix);

    // "th", "::", word, "::", the name, end of statement.
    void write_nameof_instance(fileTB& f, const char* word) const;
    // word, "::", the name, end of statement.
    void write_pure_nameof_instance(fileTB& f, const char* word) const;
    // One token; the name is what follows its first strlen(word) + 6
    // characters (empty when the token is shorter), copied into str. A name
    // longer than nameLimit - 1 fails the stream; the name changes only on
    // success.
    void read_nameof_instance(fileTB& f, const char* word);
    // The same, skipping strlen(word) + 2 characters.
    void read_pure_nameof_instance(fileTB& f, const char* word);

    // An integer, then one token into named_instance::str.
    int read_indexed_class(fileTB& f) const override;
    // i, a tab, "th::" word, end of statement.
    void write_indexed_class(fileTB& f, const int& i, const char* word) const override;

private:
    void readSkipping(fileTB& f, std::size_t skip);
    char* name_ = nullptr;  // null holds the empty name
};

// Descriptor through which readers read count and index lines.
class dummy_named_class : public named_class {
public:
    int dummy = 0;
};

extern dummy_named_class NamedClass;
extern named_instance NamedInstance;

// A chain of named elements with lookup by name (exact, case-sensitive).
template <class T>
class commonchain_of_named_instance : public commonchain<T> {
public:
    // The first element in chain order with that name; -1 when none.
    Index<T> get(const char* name) const {
        const char* n = name ? name : "";
        for (int k = this->first(); k != -1; k = this->nextOf(k))
            if (std::strcmp((*this)[k].name(), n) == 0) return k;
        return -1;
    }
    bool name_is(int i, const char* name) const { return std::strcmp((*this)[i].name(), name ? name : "") == 0; }
    // A fresh element at the end, named exactly name.
    Index<T> add_new(const char* name) {
        std::string keep(name ? name : "");  // name may live in this pool
        Index<T> s = this->insert_before_whichindex(-2, -1);
        (*this)[s].set_name(keep.c_str(), false);
        return s;
    }
    Index<T> add_ifnew(const char* name) {
        Index<T> k = get(name);
        return k != -1 ? k : add_new(name);
    }
};

}  // namespace fnd
