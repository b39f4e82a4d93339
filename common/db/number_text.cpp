#include "common/db/number_text.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace rdb {
namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    return text;
}

}  // namespace

NumberText parse_real(std::string_view text, double &out)
{
    text = trimmed(text);
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size()) return NumberText::not_a_number;
    if (ec == std::errc::result_out_of_range || !std::isfinite(value)) return NumberText::not_finite;
    if (ec != std::errc()) return NumberText::not_a_number;
    out = value;
    return NumberText::ok;
}

NumberText parse_int32(std::string_view text, std::int32_t &out)
{
    std::string_view digits = trimmed(text);
    long long whole = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), whole);
    if (digits.empty() || end != digits.data() + digits.size()) {
        double real = 0;
        NumberText status = parse_real(text, real);
        if (status != NumberText::ok) return status;
        real = std::trunc(real);
        if (real < std::numeric_limits<std::int32_t>::min() || real > std::numeric_limits<std::int32_t>::max())
            return NumberText::out_of_range;
        out = static_cast<std::int32_t>(real);
        return NumberText::ok;
    }
    if (ec == std::errc::result_out_of_range || whole < std::numeric_limits<std::int32_t>::min() ||
        whole > std::numeric_limits<std::int32_t>::max())
        return NumberText::out_of_range;
    if (ec != std::errc()) return NumberText::not_a_number;
    out = static_cast<std::int32_t>(whole);
    return NumberText::ok;
}

}  // namespace rdb
