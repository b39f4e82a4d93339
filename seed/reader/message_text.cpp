#include "seed/reader/message_text.hpp"

#include <cstdio>

namespace seed {

namespace {

// Length of the UTF-8 character at text[at] that a terminal may show, or 0
// for a byte that is a control or not UTF-8.
std::size_t shown_length(std::string_view text, std::size_t at)
{
    unsigned char c = static_cast<unsigned char>(text[at]);
    if (c >= 0x20 && c < 0x7f) return 1;
    std::size_t length = (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    char32_t code = c & (0x7f >> length);
    for (std::size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xc0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3f);
    }
    static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    if (code >= 0x80 && code < 0xa0) return 0;  // C1 controls: CSI and the like
    return length;
}

}  // namespace

std::string printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::size_t n = shown_length(text, at);
        if (n > 0) {
            out.append(text.substr(at, n));
            at += n;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[at]));
        out += escaped;
        ++at;
    }
    return out;
}

std::string quoted_value(std::string_view text, std::size_t max)
{
    if (text.size() <= max) return "\"" + printable(text) + "\"";
    std::size_t cut = max;
    // Not inside a UTF-8 character.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;
    return "\"" + printable(text.substr(0, cut)) + "...\" (" + std::to_string(text.size()) + " characters)";
}

}  // namespace seed
