#include "importer/seed_fields.hpp"

#include "common/seed/field_table.hpp"

#include "generator/record.hpp"

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


RealField::RealField(const quorvex::RealLayout &layout, const char *fields)
    : format(layout.format), width(layout.width),
      name(fields ? fields : seed_field::label(layout.blockette, layout.field))
{
}

namespace field {
const RealField station_latitude{quorvex::layout::station_latitude};
const RealField station_longitude{quorvex::layout::station_longitude};
const RealField station_elevation{quorvex::layout::station_elevation};
const RealField latitude{quorvex::layout::latitude};
const RealField longitude{quorvex::layout::longitude};
const RealField elevation{quorvex::layout::elevation};
const RealField depth{quorvex::layout::depth};
const RealField azimuth{quorvex::layout::azimuth};
const RealField dip{quorvex::layout::dip};
const RealField sample_rate{quorvex::layout::sample_rate};
const RealField clock_drift{quorvex::layout::clock_drift};
const RealField normalization{quorvex::layout::normalization};
const RealField normalization_frequency{quorvex::layout::normalization_frequency};
const RealField pole_zero{quorvex::layout::pole_zero, "B053 fields 10-13 and 15-18 (zeros, poles and their errors)"};
const RealField fir_coefficient{quorvex::layout::fir_coefficient};
const RealField decimation_rate{quorvex::layout::decimation_rate};
const RealField delay{quorvex::layout::delay};
const RealField correction{quorvex::layout::correction};
const RealField gain{quorvex::layout::gain};
const RealField gain_frequency{quorvex::layout::gain_frequency};
const RealField polynomial_bound{quorvex::layout::polynomial_bound, "B062 fields 11-12 (bounds of approximation)"};
const RealField polynomial_error{quorvex::layout::polynomial_error};
const RealField polynomial_coefficient{quorvex::layout::polynomial_coefficient};
}  // namespace field

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
    t << (s.unmatched ? *s.unmatched : "-") << s.codes() << dates(s.start, s.end);
    t.real(s.latitude, field::station_latitude)
        .real(s.longitude, field::station_longitude)
        .real(s.elevation, field::station_elevation);
    t << s.site << optional_text(s.network_description) << comments(s.comments);
    return t.str();
}

std::string canonical(const ChannelEpoch &c)
{
    Text t;
    t << (c.unmatched ? *c.unmatched : "-") << c.codes() << dates(c.start, c.end);
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
