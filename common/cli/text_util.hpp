// Small text routines shared by the tools.
#pragma once

#include <cstddef>
#include <string_view>

namespace rdb {

// Strips trailing blanks (the space character only) in place; returns s.
char *Remove_Blank(char *s);

// Copies src into dst[size] when it fits (size-1 characters); false otherwise,
// leaving dst empty. Never writes past dst.
bool copy_text(char *dst, std::size_t size, std::string_view src);
template <std::size_t W>
bool copy_text(char (&dst)[W], std::string_view src) { return copy_text(dst, W, src); }

void upper_case(char *s);

}  // namespace rdb
