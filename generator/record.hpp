// Blockette records: one line of the header tree holding one blockette.
//
//   characters 1-3   blockette type ("050")
//   characters 4-7   length of the whole record, newline not counted
//   then the fields, formatted with printf conversions
//
// A record is begun with a format whose conversions are the blockette's
// fields in order, from field 1 (type, "%.3s") and field 2 (the length
// placeholder 0, "%04d"); it grows by appended groups, and gets its length
// patched in when it is finished. A record never exceeds 9999 characters.
//
// Every value is checked against its field as it is formatted, so that no
// value read from the database can break the layout readers rely on:
//   %Nd %N.Mf %N.ME   exactly N characters, finite
//   %-Ns              at most N characters (blank-filled)
//   %.Ns              at most N characters, blank-filled to N (codes)
//   %s~ %c            printable ASCII without "~" (the field terminator)
// The first value that does not fit is kept as the record's problem; the
// record must then not be written (write_record refuses it).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

constexpr std::size_t max_record_size = 9999;

// A value that does not fit its field.
struct FieldProblem {
    int blockette = 0;
    int field = 0;       // SEED field number
    std::string value;   // as the database gave it, made printable
    std::string reason;  // "is wider than its 5 characters", ...
};

class Record {
public:
    // row: where the values come from, for messages ("HILL.XY.BHZ.   stage 3").
    explicit Record(std::string row = {}) : row_(std::move(row)) {}

    void begin(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // The conversions continue the field numbering of what came before.
    void append(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // A repeated group whose first conversion is field first_field.
    void append_group(int first_field, const char *format, ...) __attribute__((format(printf, 3, 4)));

    std::size_t size() const { return text_.size(); }
    bool fits() const { return text_.size() <= max_record_size; }
    const std::optional<FieldProblem> &problem() const { return problem_; }
    const std::string &row() const { return row_; }

    // Patches the length field and returns the record (without newline).
    const std::string &finish();
    const std::string &text() const { return text_; }

private:
    void vappend(const char *format, va_list *args);
    std::string row_;
    std::string text_;
    int blockette_ = 0;
    int next_field_ = 1;
    std::optional<FieldProblem> problem_;
};

// The characters one formatted group takes, for size checks before a record
// is built.
std::size_t formatted_size(const char *format, ...) __attribute__((format(printf, 1, 2)));

// A text as a message can show it on one line: control characters and bytes
// beyond ASCII as escapes (\n, \x7f).
std::string printable_text(std::string_view text);

}  // namespace quorvex
