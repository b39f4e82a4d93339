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

namespace layout {
inline constexpr RealLayout station_latitude{50, 4, SEED_B050_LATITUDE, 10};
inline constexpr RealLayout station_longitude{50, 5, SEED_B050_LONGITUDE, 11};
inline constexpr RealLayout station_elevation{50, 6, SEED_B050_ELEVATION, 7};
inline constexpr RealLayout latitude{52, 10, SEED_B052_LATITUDE, 10};
inline constexpr RealLayout longitude{52, 11, SEED_B052_LONGITUDE, 11};
inline constexpr RealLayout elevation{52, 12, SEED_B052_ELEVATION, 7};
inline constexpr RealLayout depth{52, 13, SEED_B052_DEPTH, 5};
inline constexpr RealLayout azimuth{52, 14, SEED_B052_AZIMUTH, 5};
inline constexpr RealLayout dip{52, 15, SEED_B052_DIP, 5};
inline constexpr RealLayout sample_rate{52, 18, SEED_B052_SAMPLE_RATE, 10};
inline constexpr RealLayout clock_drift{52, 19, SEED_B052_CLOCK_DRIFT, 10};
inline constexpr RealLayout normalization{53, 7, SEED_B053_NORMALIZATION, 12};
inline constexpr RealLayout normalization_frequency{53, 8, SEED_B053_FREQUENCY, 12};
inline constexpr RealLayout pole_zero{53, 10, SEED_B053_ROOT, 12};
inline constexpr RealLayout fir_coefficient{61, 9, SEED_FIR_COEFFICIENT, 14};
inline constexpr RealLayout decimation_rate{57, 4, SEED_B057_RATE, 10};
inline constexpr RealLayout delay{57, 7, SEED_B057_DELAY, 11};
inline constexpr RealLayout correction{57, 8, SEED_B057_CORRECTION, 11};
inline constexpr RealLayout gain{58, 4, SEED_B058_GAIN, 12};
inline constexpr RealLayout gain_frequency{58, 5, SEED_B058_FREQUENCY, 12};
inline constexpr RealLayout polynomial_bound{62, 11, SEED_POLYNOMIAL_REAL, 12};
inline constexpr RealLayout polynomial_error{62, 13, SEED_POLYNOMIAL_REAL, 12};
inline constexpr RealLayout polynomial_coefficient{62, 15, SEED_POLYNOMIAL_REAL, 12};
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
