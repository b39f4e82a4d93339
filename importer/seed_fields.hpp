// What the generator can write: each value as its SEED field holds it, by
// the generator's own layouts (seed_layout.hpp).
//
// The generator reads every real column in single precision and prints it
// with a fixed-width conversion ("%12.5E" for gains and poles, "%14.7E"
// for FIR coefficients, "%10.6f" for a latitude...); a value whose text is
// wider than its field, or that is not finite in single precision, stops
// its run. The import refuses such values before writing any row, and
// compares values by these texts: two values are the same when the
// generator writes the same characters for both.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "importer/model.hpp"
#include "generator/seed_layout.hpp"

namespace importer {

// A real field: the generator's layout of it (seed_layout.hpp), and its
// name in messages ("B058 field 4 (sensitivity/gain)").
struct RealField {
    const char *format;
    int width;
    std::string name;
    // name: for a layout that stands for several fields; else the field's.
    explicit RealField(const quorvex::RealLayout &layout, const char *name = nullptr);
};

// The text the generator writes for v in field f: v rounded to single
// precision, then formatted. Empty when it is not finite in single
// precision or not exactly f.width characters.
std::optional<std::string> seed_real(double v, const RealField &f);
// The same text for comparisons, whatever its width.
std::string seed_text(double v, const char *format);

// Why a text cannot be a SEED variable field of min to max characters
// (printable ASCII, no "~"), or carried in an SQL text (no backslash), or
// "" when it can.
std::string text_problem(std::string_view text, std::size_t min, std::size_t max);
// Why a text cannot be a code of min to max letters and digits, or "".
std::string code_problem(std::string_view text, std::size_t min, std::size_t max);

// A unit name as blockette 34 holds it: the generator writes it in
// capitals, blanks as dots ("m/s" and "M/S" are one unit there).
inline std::string seed_unit_name(std::string_view name) { return quorvex::unit_record_name(name); }

// The fields, as the generator's blockettes lay them out.
namespace field {
extern const RealField station_latitude, station_longitude, station_elevation;
extern const RealField latitude, longitude, elevation, depth, azimuth, dip, sample_rate, clock_drift;
extern const RealField normalization, normalization_frequency, pole_zero;
extern const RealField fir_coefficient;
extern const RealField decimation_rate, delay, correction;
extern const RealField gain, gain_frequency;
extern const RealField polynomial_bound, polynomial_error, polynomial_coefficient;
}  // namespace field

// What fits one blockette, as the generator lays it out: zeros and poles of
// one 53, coefficients of one 62 and of one 42 with a name of name_length
// characters.
using quorvex::max_poles_and_zeros;
using quorvex::max_polynomial_coefficients;

// A FIR's name as the generator writes it: trailing blanks off, "." as "_".
inline std::string generated_fir_name(const std::string &name) { return quorvex::fir_record_name(name); }

// Canonical texts: equal exactly when the generator writes the same
// fields from both sides (keys and the fields StationXML does not carry
// left out). Names of coefficient sets and polynomials count only when
// present.
std::string canonical(const StationEpoch &s);
std::string canonical(const ChannelEpoch &c);
std::string canonical(const PolesZeros &p);     // the PZ_Data entry: zeros and poles
std::string canonical(const CoefficientSet &c); // symmetry and coefficients, not the name
std::string canonical(const Polynomial &p);     // type, bounds and coefficients, not the name
std::string canonical(const Decimation &d);

}  // namespace importer
