#include "seed_fields.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

namespace importer {

std::string seed_text(double v, const char *format)
{
    // A zero is written without sign: SQLite keeps no negative zero.
    const double single = v == 0 ? 0.0 : static_cast<double>(static_cast<float>(v));
    char text[64];
    std::snprintf(text, sizeof text, format, single);
    return text;
}

std::optional<std::string> seed_real(double v, const RealField &f)
{
    if (!std::isfinite(static_cast<float>(v))) return std::nullopt;
    std::string text = seed_text(v, f.format);
    if (static_cast<int>(text.size()) != f.width) return std::nullopt;
    return text;
}

std::string text_problem(std::string_view text, std::size_t min, std::size_t max)
{
    for (unsigned char c : text) {
        if (c == '~') return "holds a \"~\", which ends a SEED field";
        // A PostgreSQL session with standard_conforming_strings off reads a
        // backslash in an SQL text as an escape: no literal holding one
        // means the same on every server and in every client.
        if (c == '\\')
            return "holds a \"\\\", which SQL texts do not carry the same to every server "
                   "(standard_conforming_strings)";
        if (c < 0x20 || c == 0x7f) return "holds a control character";
        if (c > 0x7f) return "holds a character beyond printable ASCII";
    }
    if (text.size() < min) return "is empty";
    if (text.size() > max) return "is longer than its " + std::to_string(max) + " characters";
    return "";
}

std::string code_problem(std::string_view text, std::size_t min, std::size_t max)
{
    for (unsigned char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return "holds a character other than a letter or a digit";
    if (text.size() < min) return "is empty";
    if (text.size() > max) return "is longer than its " + std::to_string(max) + " characters";
    return "";
}

std::string seed_unit_name(std::string_view name)
{
    std::string out;
    for (char c : name) out += c == ' ' ? '.' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

namespace field {
const RealField station_latitude{"%10.6f", 10, "B050 field 4 (latitude)"};
const RealField station_longitude{"%11.6f", 11, "B050 field 5 (longitude)"};
const RealField station_elevation{"%7.1f", 7, "B050 field 6 (elevation)"};
const RealField latitude{"%10.6f", 10, "B052 field 10 (latitude)"};
const RealField longitude{"%11.6f", 11, "B052 field 11 (longitude)"};
const RealField elevation{"%7.1f", 7, "B052 field 12 (elevation)"};
const RealField depth{"%5.1f", 5, "B052 field 13 (local depth)"};
const RealField azimuth{"%5.1f", 5, "B052 field 14 (azimuth)"};
const RealField dip{"%5.1f", 5, "B052 field 15 (dip)"};
const RealField sample_rate{"%10.4E", 10, "B052 field 18 (sample rate)"};
const RealField clock_drift{"%10.4E", 10, "B052 field 19 (max clock drift)"};
const RealField normalization{"%12.5E", 12, "B053 field 7 (A0 normalization factor)"};
const RealField normalization_frequency{"%12.5E", 12, "B053 field 8 (normalization frequency)"};
const RealField pole_zero{"%12.5E", 12, "B053 fields 10-13 and 15-18 (zeros, poles and their errors)"};
const RealField fir_coefficient{"%14.7E", 14, "B061 field 9 (FIR coefficient)"};
const RealField decimation_rate{"%10.4E", 10, "B057 field 4 (input sample rate)"};
const RealField delay{"%11.4E", 11, "B057 field 7 (estimated delay)"};
const RealField correction{"%11.4E", 11, "B057 field 8 (correction applied)"};
const RealField gain{"%12.5E", 12, "B058 field 4 (sensitivity/gain)"};
const RealField gain_frequency{"%12.5E", 12, "B058 field 5 (frequency)"};
const RealField polynomial_bound{"%12.5E", 12, "B062 fields 11-12 (bounds of approximation)"};
const RealField polynomial_error{"%12.5E", 12, "B062 field 13 (maximum absolute error)"};
const RealField polynomial_coefficient{"%12.5E", 12, "B062 field 15 (polynomial coefficient)"};
}  // namespace field

std::size_t max_poles_and_zeros()
{
    // "053", length, type, stage, units in and out, A0, frequency, the two counts.
    const std::size_t fixed = 3 + 4 + 1 + 2 + 3 + 3 + 12 + 12 + 3 + 3;
    return (max_record - fixed) / 48;
}

std::size_t max_polynomial_coefficients(std::size_t name_length)
{
    // Blockette 62: type, stage, units, approximation, frequency units, five
    // reals and the count; blockette 42: key and name in place of the stage.
    const std::size_t b062 = 3 + 4 + 1 + 2 + 3 + 3 + 1 + 1 + 5 * 12 + 3;
    const std::size_t b042 = 3 + 4 + 4 + name_length + 1 + 1 + 3 + 3 + 1 + 1 + 5 * 12 + 3;
    return std::min((max_record - b062) / 24, (max_record - b042) / 24);
}

std::string generated_fir_name(const std::string &name)
{
    std::string out = name;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    std::replace(out.begin(), out.end(), '.', '_');
    return out;
}

namespace {

class Text {
public:
    Text &operator<<(const std::string &s)
    {
        text_ += s;
        text_ += '|';
        return *this;
    }
    Text &real(double v, const RealField &f) { return *this << seed_text(v, f.format); }
    Text &number(long long v) { return *this << std::to_string(v); }
    std::string str() const { return text_; }

private:
    std::string text_;
};

std::string optional_text(const std::optional<std::string> &s) { return s ? "=" + *s : "-"; }
std::string unit_name(const std::optional<Unit> &u) { return u ? "=" + seed_unit_name(u->name) : "-"; }

std::string comments(const std::vector<Comment> &list)
{
    std::vector<std::string> lines;
    for (const Comment &c : list) lines.push_back(c.value + "@" + database_date(c.begin) + "@" + database_date(c.end));
    std::sort(lines.begin(), lines.end());
    std::string out = "comments";
    for (const std::string &l : lines) out += "{" + l + "}";
    return out;
}

std::string dates(Instant start, Instant end) { return database_date(start) + "|" + database_date(end); }

}  // namespace

std::string canonical(const PolesZeros &p)
{
    Text t;
    for (const auto *roots : {&p.zeros, &p.poles}) {
        t.number(static_cast<long long>(roots->size()));
        for (const Root &r : *roots)
            t.real(r.real.value, field::pole_zero)
                .real(r.imaginary.value, field::pole_zero)
                .real(r.real.error, field::pole_zero)
                .real(r.imaginary.error, field::pole_zero);
    }
    return t.str();
}

std::string canonical(const CoefficientSet &c)
{
    Text t;
    t << std::string(1, c.symmetry);
    t.number(static_cast<long long>(c.coefficients.size()));
    for (const ValueError &v : c.coefficients) t.real(v.value, field::fir_coefficient);
    return t.str();
}

std::string canonical(const Polynomial &p)
{
    Text t;
    t << std::string(1, p.approximation);
    t.real(p.lower_bound, field::polynomial_bound).real(p.upper_bound, field::polynomial_bound);
    t.real(p.max_error, field::polynomial_error);
    t.number(static_cast<long long>(p.coefficients.size()));
    for (double v : p.coefficients) t.real(v, field::polynomial_coefficient);
    return t.str();
}

std::string canonical(const Decimation &d)
{
    Text t;
    t.real(d.input_rate, field::decimation_rate).number(d.factor).number(d.offset);
    t.real(d.delay, field::delay).real(d.correction, field::correction);
    return t.str();
}

std::string canonical(const StationEpoch &s)
{
    Text t;
    t << s.codes() << dates(s.start, s.end);
    t.real(s.latitude, field::station_latitude)
        .real(s.longitude, field::station_longitude)
        .real(s.elevation, field::station_elevation);
    t << s.site << optional_text(s.network_description) << comments(s.comments);
    return t.str();
}

std::string canonical(const ChannelEpoch &c)
{
    Text t;
    t << c.codes() << dates(c.start, c.end);
    t.real(c.latitude, field::latitude).real(c.longitude, field::longitude).real(c.elevation, field::elevation);
    t.real(c.depth, field::depth).real(c.azimuth, field::azimuth).real(c.dip, field::dip);
    t.real(c.sample_rate, field::sample_rate).real(c.clock_drift, field::clock_drift);
    t << c.flags << c.remark << optional_text(c.sensor) << unit_name(c.signal) << unit_name(c.calibration);
    t << comments(c.comments);
    for (const Stage &s : c.stages) {
        t << "stage" + std::to_string(s.number) << unit_name(s.input) << unit_name(s.output);
        switch (s.kind) {
        case Stage::Kind::poles_zeros:
            t << "pz" << std::string(1, s.poles_zeros.transfer);
            t.real(s.poles_zeros.normalization, field::normalization)
                .real(s.poles_zeros.frequency, field::normalization_frequency);
            t << canonical(s.poles_zeros);
            break;
        case Stage::Kind::coefficients:
            if (!s.coefficients) {
                t << "empty";
            } else {
                t << "fir" << (s.coefficients->name ? "=" + generated_fir_name(*s.coefficients->name) : "-");
                t << canonical(*s.coefficients);
            }
            break;
        case Stage::Kind::polynomial:
            t << "poly" << optional_text(s.polynomial.name) << canonical(s.polynomial);
            break;
        case Stage::Kind::response_list:
            t << "list";
            break;
        case Stage::Kind::gain_only:
            t << "gain";
            break;
        }
        if (s.decimation) t << "dm" << canonical(*s.decimation);
        if (s.gain) t << "g" << seed_text(s.gain->value, "%12.5E") << seed_text(s.gain->frequency, "%12.5E");
    }
    if (c.sensitivity)
        t << "s0" << seed_text(c.sensitivity->value, "%12.5E") << seed_text(c.sensitivity->frequency, "%12.5E");
    return t.str();
}

}  // namespace importer
