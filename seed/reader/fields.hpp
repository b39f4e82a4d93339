// Field values of SEED control blockettes, and the reader that takes them
// from one line of the header tree in layout order.
//
// A line is one blockette: 3 digits of type, 4 of length, then the fields.
// Fixed fields have a width; variable fields end with "~" and have a SEED
// maximum length that is kept with the text (a longer text is read, and
// left to checks to report). Numbers keep their text, trimmed of padding
// blanks, beside the parsed value: StationXML and reports quote the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/seed/field_table.hpp"
#include "seed/reader/error.hpp"

namespace seed {

// One blockette line of the tree as it stands, without its newline.
struct Line {
    std::string text;
    Source source;
};

// The text of a number as written. SEED's widest number field has 14
// characters: a text of up to 15 is kept inside the object (16 bytes, a
// third of a std::string's and its own allocation), a longer one (a number
// made elsewhere) on the heap. Reads like a string_view.
class NumberText {
public:
    NumberText() = default;
    NumberText(std::string_view text) { assign(text); }  // NOLINT: implicit, as a string's
    NumberText(const std::string &text) : NumberText(std::string_view(text)) {}
    NumberText(const char *text) : NumberText(std::string_view(text)) {}
    NumberText(const NumberText &other) { assign(other.view()); }
    NumberText(NumberText &&other) noexcept { take(other); }
    NumberText &operator=(const NumberText &other)
    {
        if (this != &other) {
            NumberText copy(other);
            release();
            take(copy);
        }
        return *this;
    }
    NumberText &operator=(NumberText &&other) noexcept
    {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    ~NumberText() { release(); }

    std::string_view view() const
    {
        return size_ == on_heap ? std::string_view(*heap_) : std::string_view(inline_, size_);
    }
    operator std::string_view() const { return view(); }
    operator std::string() const { return std::string(view()); }
    std::string str() const { return std::string(view()); }
    std::size_t size() const { return view().size(); }
    bool empty() const { return view().empty(); }
    const char *data() const { return view().data(); }
    char operator[](std::size_t i) const { return view()[i]; }
    char front() const { return view().front(); }
    char back() const { return view().back(); }
    std::size_t find(char c, std::size_t from = 0) const { return view().find(c, from); }
    std::size_t find(std::string_view t, std::size_t from = 0) const { return view().find(t, from); }
    std::size_t find_first_of(std::string_view t, std::size_t from = 0) const { return view().find_first_of(t, from); }
    std::string_view substr(std::size_t at, std::size_t n = std::string_view::npos) const
    {
        return view().substr(at, n);
    }
    friend bool operator==(const NumberText &a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const NumberText &a, const NumberText &b) { return a.view() == b.view(); }
    friend bool operator==(const NumberText &a, const char *b) { return a.view() == std::string_view(b); }
    friend bool operator==(const NumberText &a, const std::string &b) { return a.view() == std::string_view(b); }
    friend std::string operator+(const std::string &a, const NumberText &b) { return a + std::string(b.view()); }
    friend std::string operator+(const NumberText &a, const std::string &b) { return std::string(a.view()) + b; }
    friend std::string operator+(const char *a, const NumberText &b) { return a + std::string(b.view()); }
    friend std::string operator+(const NumberText &a, const char *b) { return std::string(a.view()) + b; }

private:
    static constexpr unsigned char on_heap = 0xff;
    void assign(std::string_view text)
    {
        if (text.size() <= sizeof inline_) {
            if (!text.empty()) std::memcpy(inline_, text.data(), text.size());
            size_ = static_cast<unsigned char>(text.size());
        } else {
            heap_ = new std::string(text);
            size_ = on_heap;
        }
    }
    // Takes other's text; other is left empty.
    void take(NumberText &other) noexcept
    {
        if (other.size_ == on_heap)
            heap_ = other.heap_;
        else if (other.size_ > 0)
            std::memcpy(inline_, other.inline_, other.size_);
        size_ = other.size_;
        other.size_ = 0;
    }
    void release()
    {
        if (size_ == on_heap) delete heap_;
        size_ = 0;
    }
    union {
        char inline_[15];
        std::string *heap_;
    };
    unsigned char size_ = 0;
};

struct Number {
    double value = 0;
    NumberText text;  // as written, without padding blanks
};

struct Text {
    std::string text;
    std::size_t max = 0;  // SEED's maximum length of the field
    bool too_long() const { return text.size() > max; }
};

// A SEED time "YYYY,DDD[,HH[:MM[:SS[.FFFF]]]]" (UTC). An empty text is an
// open end: later than every time.
struct Time {
    std::string text;
    std::int64_t value = 0;  // ten-thousandths of a second since 0000,001
    bool open() const { return text.empty(); }
};

constexpr std::int64_t open_time = INT64_MAX;

// Parses a SEED time; returns false when the text is not one.
bool parse_time(std::string_view text, std::int64_t &value);

// A UNIX time (seconds) as a full SEED time "YYYY,DDD,HH:MM:SS"; false
// when it is before 1970 or after 9999.
bool seed_time_from_unix(long long seconds, std::string &text);

// Reads the fields of one line in order, each as the field table lays it
// out (common/seed/field_table.hpp). Every failure throws Error naming the
// line's place and the field: "B052 field 18 (sample rate)".
class FieldReader {
public:
    // Checks the framing (type digits, length field equal to the line's
    // length, printable ASCII) and starts after the length field.
    FieldReader(const Line &line, int type);

    // Raw text of a fixed field, untrimmed.
    std::string fixed(int field);
    // Trimmed; a fixed text field that must not be blank.
    std::string code(int field);
    char character(int field);
    // One of the code letters SEED defines for the field.
    char character(int field, std::string_view allowed);
    // Unsigned decimal digits, blanks around them allowed.
    long integer(int field);
    // A finite decimal number, blanks around it allowed.
    Number real(int field);
    Text variable(int field);
    // Open (empty) only where the table lets the field be empty.
    Time time(int field);

    // Characters left after the last field are an error.
    void done();
    bool at_end() const { return at_ >= text_.size(); }
    std::size_t remaining() const { return at_ < text_.size() ? text_.size() - at_ : 0; }

    // Reads a count field of groups of group_width characters each and
    // checks that the line holds that many.
    long count(int field, std::size_t group_width);

    [[noreturn]] void fail(int field, const std::string &message) const;

private:
    const seed_field::Field &layout(int field) const;
    std::string_view take(int field);
    const Line &line_;
    std::string_view text_;
    std::size_t at_ = 7;
    int type_;
};

// Blockette type of a line after its framing is checked (length field,
// digits); throws Error otherwise.
int framed_type(const Line &line);

// "B052 field 18 (sample rate)", the name from the field table.
inline std::string field_label(int type, int field) { return seed_field::label(type, field); }

// Number parsing shared by the fields and the program's arguments: the
// whole text must be the number. Returns false otherwise.
bool parse_real(std::string_view text, double &value);
bool parse_unsigned(std::string_view text, long long &value);

std::string_view trim(std::string_view text);

}  // namespace seed
