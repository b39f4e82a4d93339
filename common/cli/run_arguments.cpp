#include "common/cli/run_arguments.hpp"

#include <cstdio>
#include <cstring>

#include "common/cli/text_util.hpp"

namespace rdb {

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

void print_run_usage(const char *synopsis)
{
    std::printf("\n\n %s\n", synopsis);
    std::printf("\n a = ALL -- s = STATION -- c = CHANNEL.");
    std::printf("\n Environment variable DATA_ROOT specifies the root path and name.");
    std::printf("\n Environment variable USE_LOOKUP set --> Use blockettes 41 & 60 instead of 61.");
    std::printf("\n Environment variable USE_ABPOLY set --> Use blockettes 42 & 60 instead of 62.\n\n");
}

bool is_run_mode(const char *mode)
{
    return std::strcmp(mode, "a") == 0 || std::strcmp(mode, "s") == 0 || std::strcmp(mode, "c") == 0;
}

bool is_generator_mode(const char *mode) { return is_run_mode(mode) || std::strcmp(mode, "e") == 0; }

}  // namespace rdb
