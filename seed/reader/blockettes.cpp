#include "seed/reader/blockettes.hpp"

#include <cstdio>

namespace seed {
namespace {

int small(long value) { return static_cast<int>(value); }  // fields of at most 6 digits

ValueError value_error(FieldReader &f, int field)
{
    ValueError v;
    v.value = f.real(field);
    v.error = f.real(field + 1);
    return v;
}

std::vector<ComplexRoot> roots(FieldReader &f, int count_field)
{
    long n = f.count(count_field, 48);
    std::vector<ComplexRoot> out(static_cast<std::size_t>(n));
    for (ComplexRoot &r : out) {
        r.real = f.real(count_field + 1);
        r.imaginary = f.real(count_field + 2);
        r.real_error = f.real(count_field + 3);
        r.imaginary_error = f.real(count_field + 4);
    }
    return out;
}

// Fields 4 to 9 of 41 and 61, after the key or the stage.
void fir_fields(FieldReader &f, int first, Fir &fir)
{
    fir.name = f.variable(first);
    fir.symmetry = f.character(first + 1, "ABC");
    fir.input_units = small(f.integer(first + 2));
    fir.output_units = small(f.integer(first + 3));
    long n = f.count(first + 4, 14);
    fir.coefficients.reserve(static_cast<std::size_t>(n));
    for (long i = 0; i < n; ++i) {
        std::size_t at = f.column();
        Decimal parts;
        bool usual = false;
        double value = f.real_value(first + 5, parts, usual);
        fir.coefficients.push_back(value, usual ? &parts : nullptr, f.line().text, at, f.width(first + 5));
    }
}

// Fields 5 to 17 of 42, after the key and the name.
void polynomial_fields(FieldReader &f, int first, Polynomial &p)
{
    p.transfer_type = f.character(first, "P");
    int at = first + 1;
    p.input_units = small(f.integer(at));
    p.output_units = small(f.integer(at + 1));
    p.approximation = f.character(at + 2, "M");
    p.frequency_units = f.character(at + 3, "AB");
    p.lower_frequency = f.real(at + 4);
    p.upper_frequency = f.real(at + 5);
    p.lower_bound = f.real(at + 6);
    p.upper_bound = f.real(at + 7);
    p.max_error = f.real(at + 8);
    long n = f.count(at + 9, 24);
    for (long i = 0; i < n; ++i) p.coefficients.push_back(value_error(f, at + 10));
}

Comment comment(const Line &line, int type)
{
    FieldReader f(line, type);
    Comment c{line, {}, {}, 0, 0};
    c.start = f.time(3);
    c.end = f.time(4);
    c.key = small(f.integer(5));
    c.level = f.integer(6);
    f.done();
    return c;
}

}  // namespace

FormatEntry parse_b030(const Line &line)
{
    FieldReader f(line, 30);
    FormatEntry e;
    e.line = line;
    e.name = f.variable(3);
    e.code = small(f.integer(4));
    e.family = small(f.integer(5));
    long n = f.integer(6);
    for (long i = 0; i < n; ++i) e.keys.push_back(f.variable(7));
    f.done();
    return e;
}

CommentEntry parse_b031(const Line &line)
{
    FieldReader f(line, 31);
    CommentEntry e;
    e.line = line;
    e.key = small(f.integer(3));
    e.class_code = f.character(4);
    e.description = f.variable(5);
    e.level_units = small(f.integer(6));
    f.done();
    return e;
}

Abbreviation parse_b033(const Line &line)
{
    FieldReader f(line, 33);
    Abbreviation e;
    e.line = line;
    e.key = small(f.integer(3));
    e.description = f.variable(4);
    f.done();
    return e;
}

UnitEntry parse_b034(const Line &line)
{
    FieldReader f(line, 34);
    UnitEntry e;
    e.line = line;
    e.key = small(f.integer(3));
    e.name = f.variable(4);
    e.description = f.variable(5);
    f.done();
    return e;
}

FirBlockette parse_b041(const Line &line)
{
    FieldReader f(line, 41);
    FirBlockette b;
    b.line = line;
    b.key = small(f.integer(3));
    fir_fields(f, 4, b.fir);
    f.done();
    return b;
}

PolynomialBlockette parse_b042(const Line &line)
{
    FieldReader f(line, 42);
    PolynomialBlockette b;
    b.line = line;
    b.key = small(f.integer(3));
    b.polynomial.name = f.variable(4);
    polynomial_fields(f, 5, b.polynomial);
    f.done();
    return b;
}

StationId parse_b050(const Line &line)
{
    FieldReader f(line, 50);
    StationId s;
    s.line = line;
    s.station_field = f.fixed(3);
    s.station = std::string(trim(s.station_field));
    if (s.station.empty()) f.fail(3, "blank");
    s.latitude = f.real(4);
    s.longitude = f.real(5);
    s.elevation = f.real(6);
    s.channel_count = small(f.integer(7));
    s.comment_count = small(f.integer(8));
    s.site = f.variable(9);
    s.network_id = small(f.integer(10));
    s.word_order_32 = f.code(11);
    s.word_order_16 = f.code(12);
    s.start = f.time(13);
    s.end = f.time(14);
    s.update = f.character(15);
    s.network = f.code(16);
    f.done();
    return s;
}

Comment parse_b051(const Line &line) { return comment(line, 51); }
Comment parse_b059(const Line &line) { return comment(line, 59); }

ChannelId parse_b052(const Line &line)
{
    FieldReader f(line, 52);
    ChannelId c;
    c.line = line;
    c.location_field = f.fixed(3);
    c.location = std::string(trim(c.location_field));
    if (c.location.find('~') != std::string::npos) f.fail(3, "holds a \"~\"");
    c.channel = f.code(4);
    c.subchannel = small(f.integer(5));
    c.instrument = small(f.integer(6));
    c.remark = f.variable(7);
    c.signal_units = small(f.integer(8));
    c.calibration_units = small(f.integer(9));
    c.latitude = f.real(10);
    c.longitude = f.real(11);
    c.elevation = f.real(12);
    c.depth = f.real(13);
    c.azimuth = f.real(14);
    c.dip = f.real(15);
    c.format = small(f.integer(16));
    c.record_length_exponent = small(f.integer(17));
    c.sample_rate = f.real(18);
    c.clock_drift = f.real(19);
    c.comment_count = small(f.integer(20));
    c.flags = f.variable(21);
    c.start = f.time(22);
    c.end = f.time(23);
    c.update = f.character(24);
    f.done();
    return c;
}

PolesZeros parse_b053(const Line &line)
{
    FieldReader f(line, 53);
    PolesZeros p;
    p.line = line;
    p.transfer_type = f.character(3, "ABCD");
    p.stage = small(f.integer(4));
    p.input_units = small(f.integer(5));
    p.output_units = small(f.integer(6));
    p.normalization = f.real(7);
    p.frequency = f.real(8);
    p.zeros = roots(f, 9);
    p.poles = roots(f, 14);
    f.done();
    return p;
}

Coefficients parse_b054(const Line &line)
{
    FieldReader f(line, 54);
    Coefficients c;
    c.line = line;
    c.response_type = f.character(3, "ABCD");
    c.stage = small(f.integer(4));
    c.input_units = small(f.integer(5));
    c.output_units = small(f.integer(6));
    long n = f.count(7, 24);
    for (long i = 0; i < n; ++i) c.numerators.push_back(value_error(f, 8));
    long d = f.count(10, 24);
    for (long i = 0; i < d; ++i) c.denominators.push_back(value_error(f, 11));
    f.done();
    return c;
}

Decimation parse_b057(const Line &line)
{
    FieldReader f(line, 57);
    Decimation d;
    d.line = line;
    d.stage = small(f.integer(3));
    d.input_rate = f.real(4);
    d.factor = small(f.integer(5));
    d.offset = small(f.integer(6));
    d.delay = f.real(7);
    d.correction = f.real(8);
    f.done();
    return d;
}

Sensitivity parse_b058(const Line &line)
{
    FieldReader f(line, 58);
    Sensitivity s;
    s.line = line;
    s.stage = small(f.integer(3));
    s.gain = f.real(4);
    s.frequency = f.real(5);
    long n = f.integer(6);
    for (long i = 0; i < n; ++i) {
        Calibration c;
        c.sensitivity = f.real(7);
        c.frequency = f.real(8);
        c.time = f.time(9);
        s.history.push_back(std::move(c));
    }
    f.done();
    return s;
}

Reference parse_b060(const Line &line)
{
    FieldReader f(line, 60);
    Reference r;
    r.line = line;
    long stages = f.integer(3);
    for (long i = 0; i < stages; ++i) {
        Reference::Stage s;
        s.stage = small(f.integer(4));
        long n = f.count(5, 4);
        for (long k = 0; k < n; ++k) s.keys.push_back(small(f.integer(6)));
        r.stages.push_back(std::move(s));
    }
    f.done();
    return r;
}

FirBlockette parse_b061(const Line &line)
{
    FieldReader f(line, 61);
    FirBlockette b;
    b.line = line;
    b.stage = small(f.integer(3));
    fir_fields(f, 4, b.fir);
    f.done();
    return b;
}

PolynomialBlockette parse_b062(const Line &line)
{
    FieldReader f(line, 62);
    PolynomialBlockette b;
    b.line = line;
    // Field 4 sits between the type (3) and the units (5).
    b.polynomial.transfer_type = f.character(3, "P");
    b.stage = small(f.integer(4));
    Polynomial &p = b.polynomial;
    p.input_units = small(f.integer(5));
    p.output_units = small(f.integer(6));
    p.approximation = f.character(7, "M");
    p.frequency_units = f.character(8, "AB");
    p.lower_frequency = f.real(9);
    p.upper_frequency = f.real(10);
    p.lower_bound = f.real(11);
    p.upper_bound = f.real(12);
    p.max_error = f.real(13);
    long n = f.count(14, 24);
    for (long i = 0; i < n; ++i) p.coefficients.push_back(value_error(f, 15));
    f.done();
    return b;
}

namespace {

// "TTT" and the length field of 7 + fields.size() characters.
std::string framed(const char *type, const std::string &fields)
{
    char head[32];
    std::snprintf(head, sizeof head, "%s%04zu", type, 7 + fields.size());
    return head + fields;
}

std::string stage_field(int stage)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", stage);
    return text;
}

}  // namespace

// 41: key (4 digits) then name, symmetry, units, count, coefficients; 61:
// stage (2 digits) then the same fields.
std::string b061_from_b041(const Line &b041, int stage)
{
    return framed("061", stage_field(stage) + b041.text.substr(11));
}

// 42: key, name~, transfer type, units...; 62: transfer type, stage, units...
std::string b062_from_b042(const Line &b042, int stage)
{
    std::size_t type = b042.text.find('~', 11) + 1;
    return framed("062", b042.text.substr(type, 1) + stage_field(stage) + b042.text.substr(type + 1));
}

bool known_type(int type)
{
    switch (type) {
    case 30: case 31: case 33: case 34: case 41: case 42: case 50: case 51: case 52:
    case 53: case 54: case 57: case 58: case 59: case 60: case 61: case 62:
        return true;
    default:
        return false;
    }
}

Blockette parse_blockette(const Line &line)
{
    int type = framed_type(line);
    switch (type) {
    case 30: return parse_b030(line);
    case 31: return parse_b031(line);
    case 33: return parse_b033(line);
    case 34: return parse_b034(line);
    case 41: return parse_b041(line);
    case 42: return parse_b042(line);
    case 50: return parse_b050(line);
    case 51: return parse_b051(line);
    case 52: return parse_b052(line);
    case 53: return parse_b053(line);
    case 54: return parse_b054(line);
    case 57: return parse_b057(line);
    case 58: return parse_b058(line);
    case 59: return parse_b059(line);
    case 60: return parse_b060(line);
    case 61: return parse_b061(line);
    case 62: return parse_b062(line);
    default:
        throw Error(line.source, "blockette type", "unknown blockette type " + line.text.substr(0, 3));
    }
}

}  // namespace seed
