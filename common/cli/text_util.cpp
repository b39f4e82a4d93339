#include "common/cli/text_util.hpp"

#include <cctype>
#include <cstring>

namespace rdb {

char *Remove_Blank(char *s)
{
    std::size_t n = std::strlen(s);
    while (n > 0 && s[n - 1] == ' ') s[--n] = '\0';
    return s;
}

bool copy_text(char *dst, std::size_t size, std::string_view src)
{
    if (src.size() + 1 > size) {
        if (size > 0) dst[0] = '\0';
        return false;
    }
    if (!src.empty()) std::memcpy(dst, src.data(), src.size());
    dst[src.size()] = '\0';
    return true;
}

void upper_case(char *s)
{
    for (; *s; ++s) *s = static_cast<char>(std::toupper(static_cast<unsigned char>(*s)));
}

}  // namespace rdb
