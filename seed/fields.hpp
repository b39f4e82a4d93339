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
#include <string>
#include <string_view>

#include "error.hpp"

namespace seed {

// One blockette line of the tree as it stands, without its newline.
struct Line {
    std::string text;
    Source source;
};

struct Number {
    double value = 0;
    std::string text;  // as written, without padding blanks
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

// Reads the fields of one line in order. Every failure throws Error naming
// the line's place and the field: "B052 field 18 (sample rate)".
class FieldReader {
public:
    // Checks the framing (type digits, length field equal to the line's
    // length, printable ASCII) and starts after the length field.
    FieldReader(const Line &line, int type);

    // Raw text of a fixed field, untrimmed.
    std::string fixed(int field, const char *name, std::size_t width);
    // Trimmed; a fixed text field that must not be blank.
    std::string code(int field, const char *name, std::size_t width, bool may_be_blank);
    char character(int field, const char *name);
    // One of the code letters SEED defines for the field.
    char character(int field, const char *name, std::string_view allowed);
    // Unsigned decimal digits, blanks around them allowed.
    long integer(int field, const char *name, std::size_t width);
    // A finite decimal number, blanks around it allowed.
    Number real(int field, const char *name, std::size_t width);
    Text variable(int field, const char *name, std::size_t min, std::size_t max);
    Time time(int field, const char *name, bool may_be_open);

    // Characters left after the last field are an error.
    void done();
    bool at_end() const { return at_ >= text_.size(); }
    std::size_t remaining() const { return at_ < text_.size() ? text_.size() - at_ : 0; }

    // Reads a count field of groups of group_width characters each and
    // checks that the line holds that many.
    long count(int field, const char *name, std::size_t width, std::size_t group_width);

    [[noreturn]] void fail(int field, const char *name, const std::string &message) const;

private:
    std::string_view take(int field, const char *name, std::size_t width);
    const Line &line_;
    std::string_view text_;
    std::size_t at_ = 7;
    int type_;
};

// Blockette type of a line after its framing is checked (length field,
// digits); throws Error otherwise.
int framed_type(const Line &line);

// "B052 field 18 (sample rate)"
std::string field_label(int type, int field, const char *name);

// Number parsing shared by the fields and the program's arguments: the
// whole text must be the number. Returns false otherwise.
bool parse_real(std::string_view text, double &value);
bool parse_unsigned(std::string_view text, long long &value);

std::string_view trim(std::string_view text);

}  // namespace seed
