#include "seed/reader/blockettes.hpp"

#include <cstdio>

namespace seed {
namespace {

int small(long value) { return static_cast<int>(value); }  // fields of at most 6 digits

ValueError value_error(FieldReader &f, int field, const char *value, const char *error)
{
    ValueError v;
    v.value = f.real(field, value, 12);
    v.error = f.real(field + 1, error, 12);
    return v;
}

std::vector<ComplexRoot> roots(FieldReader &f, int count_field, const char *count_name, const char *real,
                               const char *imaginary, const char *real_error, const char *imaginary_error)
{
    long n = f.count(count_field, count_name, 3, 48);
    std::vector<ComplexRoot> out(static_cast<std::size_t>(n));
    for (ComplexRoot &r : out) {
        r.real = f.real(count_field + 1, real, 12);
        r.imaginary = f.real(count_field + 2, imaginary, 12);
        r.real_error = f.real(count_field + 3, real_error, 12);
        r.imaginary_error = f.real(count_field + 4, imaginary_error, 12);
    }
    return out;
}

// Fields 5 to 9 of 41 and 4 to 9 of 61 after the key or stage.
void fir_fields(FieldReader &f, int first, Fir &fir)
{
    fir.name = f.variable(first, "response name", 1, 25);
    fir.symmetry = f.character(first + 1, "symmetry code", "ABC");
    fir.input_units = small(f.integer(first + 2, "signal in units", 3));
    fir.output_units = small(f.integer(first + 3, "signal out units", 3));
    long n = f.count(first + 4, "number of coefficients", 4, 14);
    fir.coefficients.reserve(static_cast<std::size_t>(n));
    for (long i = 0; i < n; ++i) {
        std::size_t at = f.column();
        Decimal parts;
        bool usual = false;
        double value = f.real_value(first + 5, "FIR coefficient", 14, parts, usual);
        fir.coefficients.push_back(value, usual ? &parts : nullptr, f.line().text, at, 14);
    }
}

// Fields 5 to 17 of 42, after the key and the name.
void polynomial_fields(FieldReader &f, int first, Polynomial &p)
{
    p.transfer_type = f.character(first, "transfer function type", "P");
    int at = first + 1;
    p.input_units = small(f.integer(at, "stage signal input units", 3));
    p.output_units = small(f.integer(at + 1, "stage signal output units", 3));
    p.approximation = f.character(at + 2, "polynomial approximation type", "M");
    p.frequency_units = f.character(at + 3, "valid frequency units", "AB");
    p.lower_frequency = f.real(at + 4, "lower valid frequency bound", 12);
    p.upper_frequency = f.real(at + 5, "upper valid frequency bound", 12);
    p.lower_bound = f.real(at + 6, "lower bound of approximation", 12);
    p.upper_bound = f.real(at + 7, "upper bound of approximation", 12);
    p.max_error = f.real(at + 8, "maximum absolute error", 12);
    long n = f.count(at + 9, "number of polynomial coefficients", 3, 24);
    for (long i = 0; i < n; ++i)
        p.coefficients.push_back(value_error(f, at + 10, "polynomial coefficient", "polynomial coefficient error"));
}

Comment comment(const Line &line, int type)
{
    FieldReader f(line, type);
    Comment c{line, {}, {}, 0, 0};
    c.start = f.time(3, "beginning of comment effective time", false);
    c.end = f.time(4, "end effective time", true);
    c.key = small(f.integer(5, "comment code key", 4));
    c.level = f.integer(6, "comment level", 6);
    f.done();
    return c;
}

}  // namespace

FormatEntry parse_b030(const Line &line)
{
    FieldReader f(line, 30);
    FormatEntry e;
    e.line = line;
    e.name = f.variable(3, "short descriptive name", 1, 50);
    e.code = small(f.integer(4, "data format identifier code", 4));
    e.family = small(f.integer(5, "data family type", 3));
    long n = f.integer(6, "number of decoder keys", 2);
    for (long i = 0; i < n; ++i) e.keys.push_back(f.variable(7, "decoder keys", 0, 9999));
    f.done();
    return e;
}

CommentEntry parse_b031(const Line &line)
{
    FieldReader f(line, 31);
    CommentEntry e;
    e.line = line;
    e.key = small(f.integer(3, "comment code key", 4));
    e.class_code = f.character(4, "comment class code");
    e.description = f.variable(5, "description of comment", 1, 70);
    e.level_units = small(f.integer(6, "units of comment level", 3));
    f.done();
    return e;
}

Abbreviation parse_b033(const Line &line)
{
    FieldReader f(line, 33);
    Abbreviation e;
    e.line = line;
    e.key = small(f.integer(3, "abbreviation lookup code", 3));
    e.description = f.variable(4, "abbreviation description", 1, 50);
    f.done();
    return e;
}

UnitEntry parse_b034(const Line &line)
{
    FieldReader f(line, 34);
    UnitEntry e;
    e.line = line;
    e.key = small(f.integer(3, "unit lookup code", 3));
    e.name = f.variable(4, "unit name", 1, 20);
    e.description = f.variable(5, "unit description", 0, 50);
    f.done();
    return e;
}

FirBlockette parse_b041(const Line &line)
{
    FieldReader f(line, 41);
    FirBlockette b;
    b.line = line;
    b.key = small(f.integer(3, "response lookup key", 4));
    fir_fields(f, 4, b.fir);
    f.done();
    return b;
}

PolynomialBlockette parse_b042(const Line &line)
{
    FieldReader f(line, 42);
    PolynomialBlockette b;
    b.line = line;
    b.key = small(f.integer(3, "response lookup key", 4));
    b.polynomial.name = f.variable(4, "response name", 1, 25);
    polynomial_fields(f, 5, b.polynomial);
    f.done();
    return b;
}

StationId parse_b050(const Line &line)
{
    FieldReader f(line, 50);
    StationId s;
    s.line = line;
    s.station_field = f.fixed(3, "station call letters", 5);
    s.station = std::string(trim(s.station_field));
    if (s.station.empty()) f.fail(3, "station call letters", "blank");
    s.latitude = f.real(4, "latitude", 10);
    s.longitude = f.real(5, "longitude", 11);
    s.elevation = f.real(6, "elevation", 7);
    s.channel_count = small(f.integer(7, "number of channels", 4));
    s.comment_count = small(f.integer(8, "number of station comments", 3));
    s.site = f.variable(9, "site name", 1, 60);
    s.network_id = small(f.integer(10, "network identifier code", 3));
    s.word_order_32 = f.code(11, "32 bit word order", 4, false);
    s.word_order_16 = f.code(12, "16 bit word order", 2, false);
    s.start = f.time(13, "start effective date", false);
    s.end = f.time(14, "end effective date", true);
    s.update = f.character(15, "update flag");
    s.network = f.code(16, "network code", 2, false);
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
    c.location_field = f.fixed(3, "location identifier", 2);
    c.location = std::string(trim(c.location_field));
    if (c.location.find('~') != std::string::npos) f.fail(3, "location identifier", "holds a \"~\"");
    c.channel = f.code(4, "channel identifier", 3, false);
    c.subchannel = small(f.integer(5, "subchannel identifier", 4));
    c.instrument = small(f.integer(6, "instrument identifier", 3));
    c.remark = f.variable(7, "optional comment", 0, 30);
    c.signal_units = small(f.integer(8, "units of signal response", 3));
    c.calibration_units = small(f.integer(9, "units of calibration input", 3));
    c.latitude = f.real(10, "latitude", 10);
    c.longitude = f.real(11, "longitude", 11);
    c.elevation = f.real(12, "elevation", 7);
    c.depth = f.real(13, "local depth", 5);
    c.azimuth = f.real(14, "azimuth", 5);
    c.dip = f.real(15, "dip", 5);
    c.format = small(f.integer(16, "data format identifier code", 4));
    c.record_length_exponent = small(f.integer(17, "data record length", 2));
    c.sample_rate = f.real(18, "sample rate", 10);
    c.clock_drift = f.real(19, "max clock drift", 10);
    c.comment_count = small(f.integer(20, "number of comments", 4));
    c.flags = f.variable(21, "channel flags", 0, 26);
    c.start = f.time(22, "start date", false);
    c.end = f.time(23, "end date", true);
    c.update = f.character(24, "update flag");
    f.done();
    return c;
}

PolesZeros parse_b053(const Line &line)
{
    FieldReader f(line, 53);
    PolesZeros p;
    p.line = line;
    p.transfer_type = f.character(3, "transfer function type", "ABCD");
    p.stage = small(f.integer(4, "stage sequence number", 2));
    p.input_units = small(f.integer(5, "stage signal input units", 3));
    p.output_units = small(f.integer(6, "stage signal output units", 3));
    p.normalization = f.real(7, "A0 normalization factor", 12);
    p.frequency = f.real(8, "normalization frequency", 12);
    p.zeros = roots(f, 9, "number of complex zeros", "real zero", "imaginary zero", "real zero error",
                    "imaginary zero error");
    p.poles = roots(f, 14, "number of complex poles", "real pole", "imaginary pole", "real pole error",
                    "imaginary pole error");
    f.done();
    return p;
}

Coefficients parse_b054(const Line &line)
{
    FieldReader f(line, 54);
    Coefficients c;
    c.line = line;
    c.response_type = f.character(3, "response type", "ABCD");
    c.stage = small(f.integer(4, "stage sequence number", 2));
    c.input_units = small(f.integer(5, "signal input units", 3));
    c.output_units = small(f.integer(6, "signal output units", 3));
    long n = f.count(7, "number of numerators", 4, 24);
    for (long i = 0; i < n; ++i) c.numerators.push_back(value_error(f, 8, "numerator coefficient", "numerator error"));
    long d = f.count(10, "number of denominators", 4, 24);
    for (long i = 0; i < d; ++i)
        c.denominators.push_back(value_error(f, 11, "denominator coefficient", "denominator error"));
    f.done();
    return c;
}

Decimation parse_b057(const Line &line)
{
    FieldReader f(line, 57);
    Decimation d;
    d.line = line;
    d.stage = small(f.integer(3, "stage sequence number", 2));
    d.input_rate = f.real(4, "input sample rate", 10);
    d.factor = small(f.integer(5, "decimation factor", 5));
    d.offset = small(f.integer(6, "decimation offset", 5));
    d.delay = f.real(7, "estimated delay", 11);
    d.correction = f.real(8, "correction applied", 11);
    f.done();
    return d;
}

Sensitivity parse_b058(const Line &line)
{
    FieldReader f(line, 58);
    Sensitivity s;
    s.line = line;
    s.stage = small(f.integer(3, "stage sequence number", 2));
    s.gain = f.real(4, "sensitivity/gain", 12);
    s.frequency = f.real(5, "frequency", 12);
    long n = f.integer(6, "number of history values", 2);
    for (long i = 0; i < n; ++i) {
        Calibration c;
        c.sensitivity = f.real(7, "sensitivity for calibration", 12);
        c.frequency = f.real(8, "frequency of calibration sensitivity", 12);
        c.time = f.time(9, "time of above calibration", false);
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
    long stages = f.integer(3, "number of stages", 2);
    for (long i = 0; i < stages; ++i) {
        Reference::Stage s;
        s.stage = small(f.integer(4, "stage sequence number", 2));
        long n = f.count(5, "number of responses", 2, 4);
        for (long k = 0; k < n; ++k) s.keys.push_back(small(f.integer(6, "response lookup key", 4)));
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
    b.stage = small(f.integer(3, "stage sequence number", 2));
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
    b.polynomial.transfer_type = f.character(3, "transfer function type", "P");
    b.stage = small(f.integer(4, "stage sequence number", 2));
    Polynomial &p = b.polynomial;
    p.input_units = small(f.integer(5, "stage signal input units", 3));
    p.output_units = small(f.integer(6, "stage signal output units", 3));
    p.approximation = f.character(7, "polynomial approximation type", "M");
    p.frequency_units = f.character(8, "valid frequency units", "AB");
    p.lower_frequency = f.real(9, "lower valid frequency bound", 12);
    p.upper_frequency = f.real(10, "upper valid frequency bound", 12);
    p.lower_bound = f.real(11, "lower bound of approximation", 12);
    p.upper_bound = f.real(12, "upper bound of approximation", 12);
    p.max_error = f.real(13, "maximum absolute error", 12);
    long n = f.count(14, "number of polynomial coefficients", 3, 24);
    for (long i = 0; i < n; ++i)
        p.coefficients.push_back(value_error(f, 15, "polynomial coefficient", "polynomial coefficient error"));
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
