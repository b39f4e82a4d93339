// Blockette records: one line of the header tree holding one blockette.
//
//   characters 1-3   blockette type ("050")
//   characters 4-7   length of the whole record, newline not counted
//   then the fields, formatted with printf conversions
//
// A record is begun with a format whose first conversions are "%.3s%04d"
// (type and the placeholder 0), grows by appended groups, and gets its
// length patched in when it is finished. A record never exceeds 9999
// characters: writers check size() before they write.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace quorvex {

constexpr std::size_t max_record_size = 9999;

class Record {
public:
    void begin(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void append(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void append_text(const std::string &text) { text_ += text; }

    std::size_t size() const { return text_.size(); }
    bool fits() const { return text_.size() <= max_record_size; }

    // Patches the length field and returns the record (without newline).
    const std::string &finish();
    const std::string &text() const { return text_; }

private:
    void vappend(const char *format, va_list args);
    std::string text_;
};

// The characters one formatted group takes, for size checks before a record
// is built.
std::size_t formatted_size(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quorvex
