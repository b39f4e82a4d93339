#include "response_limits.hpp"

namespace quorvex {

std::vector<std::size_t> split_into_records(std::size_t header_size,
                                            const std::vector<std::string> &groups)
{
    std::vector<std::size_t> runs;
    if (header_size > max_record_size) return runs;
    std::size_t size = header_size;
    std::size_t count = 0;
    for (const std::string &group : groups) {
        if (size + group.size() > max_record_size) {
            if (count == 0) return {};  // a single group beyond any record
            runs.push_back(count);
            size = header_size;
            count = 0;
            if (size + group.size() > max_record_size) return {};
        }
        size += group.size();
        ++count;
    }
    if (count > 0 || runs.empty()) runs.push_back(count);
    return runs;
}

}  // namespace quorvex
