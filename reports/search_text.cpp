#include "reports/search_text.hpp"

#include <cstdio>

namespace reports {

void translate_wildcards(char *pattern)
{
    for (char *c = pattern; *c; ++c) {
        if (*c == '?')
            *c = '_';
        else if (*c == '*')
            *c = '%';
    }
}

std::string format_search(const char *format, const char *pattern)
{
    std::string literal;
    for (const char *c = pattern; *c; ++c) {
        literal += *c;
        if (*c == '\'') literal += '\'';
    }
    int size = std::snprintf(nullptr, 0, format, literal.c_str());
    if (size < 0) return {};
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, literal.c_str());
    text.resize(static_cast<std::size_t>(size));
    return text;
}

}  // namespace reports
