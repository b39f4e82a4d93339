#include "generator/response_limits.hpp"

namespace quorvex {

namespace {

template <class SizeOf>
std::vector<std::size_t> split_runs(std::size_t header_size, std::size_t groups, SizeOf size_of)
{
    std::vector<std::size_t> runs;
    if (header_size > max_record_size) return runs;
    std::size_t size = header_size;
    std::size_t count = 0;
    for (std::size_t k = 0; k < groups; ++k) {
        const std::size_t group = size_of(k);
        if (size + group > max_record_size) {
            if (count == 0) return {};  // a single group beyond any record
            runs.push_back(count);
            size = header_size;
            count = 0;
            if (size + group > max_record_size) return {};
        }
        size += group;
        ++count;
    }
    if (count > 0 || runs.empty()) runs.push_back(count);
    return runs;
}

}  // namespace

std::vector<std::size_t> split_into_records(std::size_t header_size, const std::vector<std::string> &groups)
{
    return split_runs(header_size, groups.size(), [&groups](std::size_t k) { return groups[k].size(); });
}

std::vector<std::size_t> split_into_records(std::size_t header_size, std::size_t count, std::size_t group_size)
{
    return split_runs(header_size, count, [group_size](std::size_t) { return group_size; });
}

}  // namespace quorvex
