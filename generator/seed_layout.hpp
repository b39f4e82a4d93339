// How the generator lays out the values it writes: the printf conversion
// of every real field, the fixed parts of the blockettes that cannot be
// continued, and the name and unit rules. One place, used by the writers'
// record formats (the conversions are string literals joined into them, so
// that the compiler still checks every format against its arguments) and
// by stationxml2sql, which admits only rows these layouts can write: a
// change here is a change in both.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/seed/field_table.hpp"

#define SEED_B050_LATITUDE "%10.6f"
#define SEED_B050_LONGITUDE "%11.6f"
#define SEED_B050_ELEVATION "%7.1f"
#define SEED_B052_LATITUDE "%10.6f"
#define SEED_B052_LONGITUDE "%11.6f"
#define SEED_B052_ELEVATION "%7.1f"
#define SEED_B052_DEPTH "%5.1f"
#define SEED_B052_AZIMUTH "%5.1f"
#define SEED_B052_DIP "%5.1f"
#define SEED_B052_SAMPLE_RATE "%10.4E"
#define SEED_B052_CLOCK_DRIFT "%10.4E"
#define SEED_B053_NORMALIZATION "%12.5E"
#define SEED_B053_FREQUENCY "%12.5E"
#define SEED_B053_ROOT "%12.5E"  // real, imaginary and their errors
#define SEED_FIR_COEFFICIENT "%14.7E"  // blockettes 41 and 61
#define SEED_B057_RATE "%10.4E"
#define SEED_B057_DELAY "%11.4E"
#define SEED_B057_CORRECTION "%11.4E"
#define SEED_B058_GAIN "%12.5E"
#define SEED_B058_FREQUENCY "%12.5E"
#define SEED_POLYNOMIAL_REAL "%12.5E"  // blockettes 42 and 62: bounds, error, coefficients

// The fixed parts (up to their first repeated group) of the blockettes
// whose groups must fit one record.
#define SEED_B053_HEAD "%.3s%04d%c%02d%03d%03d" SEED_B053_NORMALIZATION SEED_B053_FREQUENCY "%03d"
#define SEED_B053_ROOT_GROUP SEED_B053_ROOT SEED_B053_ROOT SEED_B053_ROOT SEED_B053_ROOT
#define SEED_B062_HEAD                                                                                        \
    "%.3s%04d%c%02d%03d%03d%c%c" SEED_POLYNOMIAL_REAL SEED_POLYNOMIAL_REAL SEED_POLYNOMIAL_REAL              \
        SEED_POLYNOMIAL_REAL SEED_POLYNOMIAL_REAL "%03d"
#define SEED_B042_HEAD                                                                                        \
    "%.3s%04d%04d%s~%c%03d%03d%c%c" SEED_POLYNOMIAL_REAL SEED_POLYNOMIAL_REAL SEED_POLYNOMIAL_REAL           \
        SEED_POLYNOMIAL_REAL SEED_POLYNOMIAL_REAL "%03d"
#define SEED_POLYNOMIAL_GROUP SEED_POLYNOMIAL_REAL SEED_POLYNOMIAL_REAL

namespace quorvex {

// A real field: where it is, its conversion, and the characters it takes.
struct RealLayout {
    int blockette;
    int field;
    const char *format;
    int width;
};

// The width a conversion such as "%10.6f" gives, 0 when it names none.
constexpr int conversion_width(const char *format)
{
    int width = 0;
    if (*format == '%') ++format;
    while (*format >= '0' && *format <= '9') width = width * 10 + (*format++ - '0');
    return width;
}

// A real field's layout, its width the field table's; the conversion must
// give that width, or nothing builds.
constexpr RealLayout real_layout(int blockette, int field, const char *format)
{
    const seed_field::Field f = seed_field::find_constant(blockette, field);
    if (f.blockette == 0 || f.variable() || conversion_width(format) != f.width)
        throw "the conversion does not give the field table's width";  // not a constant: a compile error
    return {blockette, field, format, f.width};
}

namespace layout {
inline constexpr RealLayout station_latitude = real_layout(50, 4, SEED_B050_LATITUDE);
inline constexpr RealLayout station_longitude = real_layout(50, 5, SEED_B050_LONGITUDE);
inline constexpr RealLayout station_elevation = real_layout(50, 6, SEED_B050_ELEVATION);
inline constexpr RealLayout latitude = real_layout(52, 10, SEED_B052_LATITUDE);
inline constexpr RealLayout longitude = real_layout(52, 11, SEED_B052_LONGITUDE);
inline constexpr RealLayout elevation = real_layout(52, 12, SEED_B052_ELEVATION);
inline constexpr RealLayout depth = real_layout(52, 13, SEED_B052_DEPTH);
inline constexpr RealLayout azimuth = real_layout(52, 14, SEED_B052_AZIMUTH);
inline constexpr RealLayout dip = real_layout(52, 15, SEED_B052_DIP);
inline constexpr RealLayout sample_rate = real_layout(52, 18, SEED_B052_SAMPLE_RATE);
inline constexpr RealLayout clock_drift = real_layout(52, 19, SEED_B052_CLOCK_DRIFT);
inline constexpr RealLayout normalization = real_layout(53, 7, SEED_B053_NORMALIZATION);
inline constexpr RealLayout normalization_frequency = real_layout(53, 8, SEED_B053_FREQUENCY);
inline constexpr RealLayout pole_zero = real_layout(53, 10, SEED_B053_ROOT);
inline constexpr RealLayout fir_coefficient = real_layout(61, 9, SEED_FIR_COEFFICIENT);
inline constexpr RealLayout decimation_rate = real_layout(57, 4, SEED_B057_RATE);
inline constexpr RealLayout delay = real_layout(57, 7, SEED_B057_DELAY);
inline constexpr RealLayout correction = real_layout(57, 8, SEED_B057_CORRECTION);
inline constexpr RealLayout gain = real_layout(58, 4, SEED_B058_GAIN);
inline constexpr RealLayout gain_frequency = real_layout(58, 5, SEED_B058_FREQUENCY);
inline constexpr RealLayout polynomial_bound = real_layout(62, 11, SEED_POLYNOMIAL_REAL);
inline constexpr RealLayout polynomial_error = real_layout(62, 13, SEED_POLYNOMIAL_REAL);
inline constexpr RealLayout polynomial_coefficient = real_layout(62, 15, SEED_POLYNOMIAL_REAL);
}  // namespace layout

// How many zeros and poles one blockette 53 holds.
std::size_t max_poles_and_zeros();
// How many coefficients one blockette 62 holds, and one blockette 42 with
// a name of name_length characters: the fewer of the two.
std::size_t max_polynomial_coefficients(std::size_t name_length);

// A FIR's name as blockettes 41 and 61 carry it: trailing blanks off, every
// "." as "_".
std::string fir_record_name(std::string_view name);

// Coefficient-set symmetry: the database's O (odd) and E (even) are
// blockette 61's B and C; anything else is A (none).
constexpr char seed_symmetry(char database) { return database == 'O' ? 'B' : database == 'E' ? 'C' : 'A'; }
constexpr char database_symmetry(char seed) { return seed == 'B' ? 'O' : seed == 'C' ? 'E' : 'A'; }
// A unit name as blockette 34 carries it: trailing blanks off, in
// capitals, inner blanks as dots.
std::string unit_record_name(std::string_view name);

}  // namespace quorvex
