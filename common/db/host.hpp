// Host variables: typed views of a program's own storage that carry one
// column across the database boundary.
//
// Output rules (the same for every backend):
//   text    W bytes: value filled with blanks to W-1 characters, NUL at byte W
//   char    one byte: the one-letter code, no terminator
//   i32     32-bit signed integer
//   f32     the column value rounded once to single precision
//   f64     the column value
// A NULL column leaves the variable untouched; with an indicator the
// indicator becomes -1, without one the statement fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <vector>

namespace rdb {

using Indicator = std::int16_t;

struct Out {
    enum class Kind { text, chr, i32, f32, f64 };
    Kind kind;
    void *target;
    std::size_t width;      // bytes of a text variable, NUL included
    Indicator *ind;         // nullptr: a NULL is an error
};

template <std::size_t W>
inline Out out(char (&buf)[W], Indicator *ind = nullptr)
{
    static_assert(W >= 2, "a text host variable holds at least one character");
    return {Out::Kind::text, buf, W, ind};
}
inline Out out(char &c, Indicator *ind = nullptr) { return {Out::Kind::chr, &c, 1, ind}; }
inline Out out(std::int32_t &v, Indicator *ind = nullptr) { return {Out::Kind::i32, &v, 0, ind}; }
inline Out out(float &v, Indicator *ind = nullptr) { return {Out::Kind::f32, &v, 0, ind}; }
inline Out out(double &v, Indicator *ind = nullptr) { return {Out::Kind::f64, &v, 0, ind}; }

// The output variables of one statement, in column order: a braced list at
// the call, or a vector that a caller builds once. A view: the list must
// outlive the call that takes it.
class Outputs {
public:
    Outputs(const std::initializer_list<Out> &list) : begin_(std::data(list)), size_(list.size()) {}
    Outputs(const std::vector<Out> &list) : begin_(list.data()), size_(list.size()) {}
    const Out *begin() const { return begin_; }
    const Out *end() const { return begin_ + size_; }
    std::size_t size() const { return size_; }

private:
    const Out *begin_;
    std::size_t size_;
};

// Input values are captured when a statement is executed or a cursor opened.
// A date input is text that the database converts implicitly to a date: it
// must have the database date form "YYYY/MM/DD HH24:MI:SS".
struct In {
    enum class Kind { text, i32, date };
    Kind kind;
    const char *text;
    std::int32_t number;
};

inline In in(const char *s) { return {In::Kind::text, s, 0}; }
inline In in(std::int32_t v) { return {In::Kind::i32, nullptr, v}; }
inline In in_date(const char *s) { return {In::Kind::date, s, 0}; }

}  // namespace rdb
