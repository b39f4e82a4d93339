#include "generator/seed_layout.hpp"

#include <algorithm>
#include <cctype>

#include "generator/record.hpp"
#include "generator/response_limits.hpp"

namespace quorvex {

std::size_t max_poles_and_zeros()
{
    // The fixed part and the poles' count; every field has its width.
    const std::size_t fixed = formatted_size(SEED_B053_HEAD "%03d", "053", 0, 'A', 1, 1, 1, 0.0, 0.0, 0, 0);
    return groups_that_fit(fixed, pz_group_size);
}

std::size_t max_polynomial_coefficients(std::size_t name_length)
{
    const std::string name(name_length, 'N');
    const std::size_t b062 = formatted_size(SEED_B062_HEAD, "062", 0, 'P', 1, 1, 1, 'M', 'A', 0.0, 0.0, 0.0, 0.0, 0.0, 0);
    const std::size_t b042 =
        formatted_size(SEED_B042_HEAD, "042", 0, 1, name.c_str(), 'P', 1, 1, 'M', 'A', 0.0, 0.0, 0.0, 0.0, 0.0, 0);
    return std::min(groups_that_fit(b062, polynomial_group_size), groups_that_fit(b042, polynomial_group_size));
}

std::string fir_record_name(std::string_view name)
{
    std::string out(name.substr(0, name.find_last_not_of(' ') + 1));
    std::replace(out.begin(), out.end(), '.', '_');
    return out;
}

std::string unit_record_name(std::string_view name)
{
    std::string out(name.substr(0, name.find_last_not_of(' ') + 1));
    for (char &c : out) c = c == ' ' ? '.' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace quorvex
