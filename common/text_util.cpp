#include "text_util.hpp"

#include <cctype>
#include <cstdio>
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

SplitResult split_station_argument(std::string_view arg, StationArgument &out)
{
    out = StationArgument{};
    std::size_t dot = arg.find('.');
    if (dot == std::string_view::npos) return SplitResult::no_network;
    std::string_view sta = arg.substr(0, dot);
    std::string_view net = arg.substr(dot + 1);
    std::string_view cha;
    std::size_t colon = arg.find(':');
    if (colon != std::string_view::npos) {
        cha = arg.substr(colon + 1);
        net = net.substr(0, net.find(':'));
    }
    if (!copy_text(out.sta2, sta)) return SplitResult::station_too_long;
    if (!copy_text(out.net2, net)) return SplitResult::network_too_long;
    if (!copy_text(out.cha, cha)) return SplitResult::channel_too_long;
    upper_case(out.sta2);
    upper_case(out.cha);
    upper_case(out.net2);
    return SplitResult::ok;
}

int refuse_station_argument(SplitResult result)
{
    const char *message = nullptr;
    switch (result) {
    case SplitResult::ok:
        return -1;
    case SplitResult::no_network:
        std::printf("\n Error: Network code missing.\n\n");
        return 0;
    case SplitResult::station_too_long:
        message = "Station code longer than 6 characters.";
        break;
    case SplitResult::network_too_long:
        message = "Network code longer than 8 characters.";
        break;
    case SplitResult::channel_too_long:
        message = "Channel code longer than 6 characters.";
        break;
    }
    std::printf("\n Error: %s\n\n", message);
    return 1;
}

}  // namespace rdb
