#include "seed/reader/unit_names.hpp"

#include <algorithm>
#include <cctype>

namespace seed {

const std::vector<std::string_view> &accepted_unit_names()
{
    static const std::vector<std::string_view> names = {
        "meter", "meters", "m", "m/s", "m/s**2", "centimeter", "centimeters", "cm", "cm/s", "cm/s**2", "millimeter",
        "millimeters", "mm", "mm/s", "mm/s**2", "mm/hour", "micrometer", "micrometers", "um", "um/s", "um/s**2",
        "nanometer", "nm", "nm/s", "nm/s**2", "second", "seconds", "nanometers", "nanoradians", "bars", "s",
        "millisecond", "ms", "microsecond", "us", "nanosecond", "nanoseconds", "ns", "minute", "minutes", "min",
        "hour", "hours", "radian", "radians", "rad", "microradian", "microradians", "urad", "nanoradian", "nrad",
        "rad/s", "rad/s**2", "degree", "degrees", "deg", "kelvin", "K", "celsius", "degC", "candela", "cd", "cPa",
        "pascal", "pascals", "Pa", "kilopascal", "kilopascals", "kPa", "hectopascal", "hectopascals", "hPa", "bar",
        "millibar", "millibars", "mbar", "ampere", "amperes", "A", "milliamp", "milliamps", "mA", "volt", "volts", "V",
        "millivolt", "millivolts", "mV", "microvolt", "microvolts", "uV", "ohm", "hertz", "Hz", "newton", "newtons",
        "N", "joule", "joules", "J", "tesla", "T", "nanotesla", "nT", "strain", "m/m", "m**3/m**3", "cm/cm", "mm/mm",
        "um/um", "nm/nm", "microstrain", "watt", "watts", "W", "milliwatt", "milliwatts", "mW", "V/m", "mV/km",
        "W/m**2", "kW/m**2", "hit/(cm**2*hour)", "gap", "reboot", "byte", "bytes", "bit", "bit/s", "percent", "%",
        "count", "counts", "number", "unitless", "unknown", "UNKNOWN"};
    return names;
}

namespace {

bool same_ignoring_case(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string stationxml_unit_name(std::string_view name)
{
    const std::string_view *match = nullptr;
    for (const std::string_view &accepted : accepted_unit_names()) {
        if (!same_ignoring_case(accepted, name)) continue;
        if (match) return std::string(name);
        match = &accepted;
    }
    return std::string(match ? *match : name);
}

UnitNameStatus unit_name_status(std::string_view name)
{
    const auto &names = accepted_unit_names();
    if (std::find(names.begin(), names.end(), name) != names.end()) return UnitNameStatus::accepted;
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return same_ignoring_case(n, name); })
               ? UnitNameStatus::case_differs
               : UnitNameStatus::unknown;
}

}  // namespace seed
