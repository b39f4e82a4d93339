#include "importer/importer.hpp"

#include <algorithm>
#include <cmath>

#include "seed/reader/message_text.hpp"
#include "common/seed/field_table.hpp"
#include "importer/seed_fields.hpp"

namespace importer {

namespace {

std::string quoted(const std::string &s) { return seed::quoted_value(s); }

std::string number_text(double v)
{
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    return sql_real(v);
}

// The checks of one epoch, each refusal naming it (and the stage).
class Checker {
public:
    Checker(const Place &at, std::string where) : at_(at), where_(std::move(where)) {}

    [[noreturn]] void refuse(const Place &at, const std::string &what) const
    {
        throw Unsupported(at, where_ + ": " + what);
    }

    void real(const Place &at, const char *element, double v, const RealField &f) const
    {
        if (!std::isfinite(static_cast<float>(v)))
            refuse(at, std::string(element) + " " + number_text(v) + " is not a finite single-precision number, which " +
                           f.name + " needs");
        if (v != 0 && static_cast<float>(v) == 0)
            refuse(at, std::string(element) + " " + number_text(v) + " is 0 in single precision, which " + f.name +
                           " holds: the generator would write 0");
        if (!seed_real(v, f))
            refuse(at, std::string(element) + " " + number_text(v) + " does not fit " + f.name + ": " +
                           quoted(seed_text(v, f.format)) + " is wider than its " + std::to_string(f.width) +
                           " characters");
    }

    // A value outside what StationXML allows it (its schema's range): the
    // document is wrong, whatever --skip-unsupported says.
    void range(const Place &at, const char *element, double v, double low, double high, bool high_included) const
    {
        if (v >= low && (v < high || (high_included && v == high))) return;
        throw InputError(at, where_ + ": " + element + " " + number_text(v) +
                                 (std::isinf(high) ? " is less than " + number_text(low)
                                                   : " is outside " + number_text(low) +
                                                         (high_included ? " to " : " to under ") + number_text(high)));
    }

    void text(const Place &at, const char *element, const std::string &t, std::size_t min, std::size_t max,
              const char *field) const
    {
        std::string problem = text_problem(t, min, max);
        if (!problem.empty()) refuse(at, std::string(element) + " " + quoted(t) + " " + problem + " (" + field + ")");
    }

    void code(const char *element, const std::string &t, std::size_t min, std::size_t max) const
    {
        std::string problem = code_problem(t, min, max);
        if (!problem.empty()) refuse(at_, std::string(element) + " " + quoted(t) + " " + problem);
    }

    void integer(const Place &at, const char *element, long long v, const std::string &field) const
    {
        if (v < -9999 || v > 99999)
            refuse(at, std::string(element) + " " + std::to_string(v) + " does not fit " + field + ", 5 digits");
    }

    void unit(const Unit &u) const
    {
        text(u.at, "unit Name", u.name, 1, 20, "B034 field 4, unit name");
        if (u.description) text(u.at, "unit Description", *u.description, 0, 50, "B034 field 5, unit description");
    }

    void comments(const std::vector<Comment> &list) const
    {
        for (const Comment &c : list) text(c.at, "Comment Value", c.value, 1, 70, "B031 field 5, description of comment");
    }

    const Place &at() const { return at_; }
    const std::string &where() const { return where_; }

private:
    Place at_;
    std::string where_;
};

void check_stage(const Checker &epoch, const Stage &s)
{
    Checker k(s.at, epoch.where() + ", stage " + std::to_string(s.number));
    if (s.input) k.unit(*s.input);
    if (s.output) k.unit(*s.output);
    switch (s.kind) {
    case Stage::Kind::response_list:
        k.refuse(s.at, "a ResponseList (amplitudes and phases at frequencies) has no place in the response tables");
    case Stage::Kind::poles_zeros: {
        const PolesZeros &p = s.poles_zeros;
        k.real(s.at, "NormalizationFactor", p.normalization, field::normalization);
        k.real(s.at, "NormalizationFrequency", p.frequency, field::normalization_frequency);
        for (const auto *roots : {&p.zeros, &p.poles})
            for (const Root &r : *roots)
                for (const ValueError *v : {&r.real, &r.imaginary}) {
                    k.real(s.at, "a Zero or Pole", v->value, field::pole_zero);
                    k.real(s.at, "the error of a Zero or Pole", v->error, field::pole_zero);
                }
        std::size_t fit = max_poles_and_zeros();
        if (p.zeros.size() + p.poles.size() > fit || p.zeros.size() > 999 || p.poles.size() > 999)
            k.refuse(s.at, std::to_string(p.zeros.size()) + " zeros and " + std::to_string(p.poles.size()) +
                               " poles: at most " + std::to_string(fit) + " fit in one blockette 53");
        break;
    }
    case Stage::Kind::coefficients:
        if (s.has_denominators)
            k.refuse(s.at, "a Coefficients filter with Denominators has no place in the response tables: a "
                           "coefficient set (DC) is written as a FIR, numerators only");
        if (s.coefficients && s.coefficients_type != 'D')
            k.refuse(s.at, "an analog Coefficients filter (CfTransferFunctionType " +
                               std::string(s.coefficients_type == 'A' ? "ANALOG (RADIANS/SECOND)" : "ANALOG (HERTZ)") +
                               ") with Numerators has no place in the response tables: a coefficient set (DC) is "
                               "written as a digital FIR");
        if (s.coefficients) {
            if (s.coefficients->name)
                k.text(s.at, "FIR name", generated_fir_name(*s.coefficients->name), 1, 25,
                       "B061 field 4, response name");
            for (const ValueError &v : s.coefficients->coefficients)
                k.real(s.at, "a FIR coefficient", v.value, field::fir_coefficient);
        }
        break;
    case Stage::Kind::polynomial: {
        const Polynomial &p = s.polynomial;
        if (p.name) k.text(s.at, "Polynomial name", *p.name, 1, 25, "B042 field 4, response name");
        std::size_t fit = max_polynomial_coefficients(p.name ? p.name->size() : 0);
        if (p.coefficients.size() > fit)
            k.refuse(s.at, "a Polynomial of " + std::to_string(p.coefficients.size()) + " coefficients: at most " +
                               std::to_string(fit) + " fit in one blockette 62 or 42");
        k.real(s.at, "ApproximationLowerBound", p.lower_bound, field::polynomial_bound);
        k.real(s.at, "ApproximationUpperBound", p.upper_bound, field::polynomial_bound);
        k.real(s.at, "MaximumError", p.max_error, field::polynomial_error);
        for (double v : p.coefficients) k.real(s.at, "a polynomial Coefficient", v, field::polynomial_coefficient);
        break;
    }
    case Stage::Kind::gain_only:
        break;
    }
    if (s.decimation) {
        const Decimation &d = *s.decimation;
        k.range(s.at, "Decimation Factor", static_cast<double>(d.factor), 1, HUGE_VAL, false);
        k.range(s.at, "Decimation Offset", static_cast<double>(d.offset), 0, HUGE_VAL, false);
        k.real(s.at, "InputSampleRate", d.input_rate, field::decimation_rate);
        k.integer(s.at, "Factor", d.factor, seed_field::label(57, 5));
        k.integer(s.at, "Offset", d.offset, seed_field::label(57, 6));
        k.real(s.at, "Delay", d.delay, field::delay);
        k.real(s.at, "Correction", d.correction, field::correction);
    }
    if (s.gain) {
        k.real(s.at, "StageGain Value", s.gain->value, field::gain);
        k.real(s.at, "StageGain Frequency", s.gain->frequency, field::gain_frequency);
    }
}

std::string epoch_name(const char *what, const std::string &codes, Instant start)
{
    return std::string(what) + " " + codes + " from " + database_date(start);
}

// The first place two canonical texts part, for messages.
std::string first_difference(const std::string &here, const std::string &there)
{
    std::size_t at = 0;
    while (at < here.size() && at < there.size() && here[at] == there[at]) ++at;
    std::size_t from = here.rfind('|', at == 0 ? 0 : at - 1);
    from = from == std::string::npos ? 0 : from + 1;
    auto token = [from](const std::string &t) {
        std::size_t end = t.find('|', from);
        std::string out = t.substr(from, end == std::string::npos ? std::string::npos : end - from);
        for (char &ch : out)
            if (static_cast<unsigned char>(ch) < 0x20) ch = '?';
        return out.size() > 60 ? out.substr(0, 60) + "..." : out;
    };
    return "first difference: " + quoted(token(here)) + " here, " + quoted(token(there)) + " there";
}

}  // namespace

void check_station(const StationEpoch &s)
{
    Checker k(s.at, epoch_name("station", s.codes(), s.start));
    k.code("Station code", s.station, 1, 5);
    k.code("Network code", s.network, 1, 2);
    k.range(s.at, "Latitude", s.latitude, -90, 90, false);
    k.range(s.at, "Longitude", s.longitude, -180, 180, true);
    k.real(s.at, "Latitude", s.latitude, field::station_latitude);
    k.real(s.at, "Longitude", s.longitude, field::station_longitude);
    k.real(s.at, "Elevation", s.elevation, field::station_elevation);
    k.text(s.at, "Site Name", s.site, 1, 50, "B050 field 9, site name, as the generator holds it");
    if (s.network_description)
        k.text(s.at, "Network Description", *s.network_description, 1, 50, "B033 field 4, abbreviation description");
    k.comments(s.comments);
}

void check_channel(const ChannelEpoch &c)
{
    Checker k(c.at, epoch_name("channel", c.codes(), c.start));
    k.code("Station code", c.station, 1, 5);
    k.code("Network code", c.network, 1, 2);
    k.code("Channel code", c.channel, 1, 3);
    k.code("locationCode", c.location, 0, 2);
    k.range(c.at, "Latitude", c.latitude, -90, 90, false);
    k.range(c.at, "Longitude", c.longitude, -180, 180, true);
    k.range(c.at, "Azimuth", c.azimuth, 0, 360, false);
    k.range(c.at, "Dip", c.dip, -90, 90, true);
    k.real(c.at, "Latitude", c.latitude, field::latitude);
    k.real(c.at, "Longitude", c.longitude, field::longitude);
    k.real(c.at, "Elevation", c.elevation, field::elevation);
    k.real(c.at, "Depth", c.depth, field::depth);
    k.real(c.at, "Azimuth", c.azimuth, field::azimuth);
    k.real(c.at, "Dip", c.dip, field::dip);
    k.real(c.at, "SampleRate", c.sample_rate, field::sample_rate);
    k.real(c.at, "ClockDrift", c.clock_drift, field::clock_drift);
    k.text(c.at, "Description", c.remark, 0, 30, "B052 field 7, optional comment");
    if (c.sensor) k.text(c.at, "Sensor Description", *c.sensor, 1, 50, "B033 field 4, abbreviation description");
    if (c.calibration) k.unit(*c.calibration);
    if (c.signal) k.unit(*c.signal);
    k.comments(c.comments);
    bool polynomial = std::any_of(c.stages.begin(), c.stages.end(),
                                  [](const Stage &s) { return s.kind == Stage::Kind::polynomial; });
    if (c.instrument_polynomial && !polynomial)
        k.refuse(c.at, "an InstrumentPolynomial without a Polynomial stage has no place in the response tables "
                       "(the polynomial of a channel is held as its stage)");
    for (const Stage &s : c.stages) check_stage(k, s);
    if (c.sensitivity) {
        k.real(c.at, "InstrumentSensitivity Value", c.sensitivity->value, field::gain);
        k.real(c.at, "InstrumentSensitivity Frequency", c.sensitivity->frequency, field::gain_frequency);
    }
}

Importer::Importer(const Options &options, const EpochIndex &index, ExistingDatabase *existing, SqlOutput &out,
                   std::vector<std::string> &messages)
    : options_(options), index_(index), existing_(existing), out_(out),
      dictionary_(existing ? &existing->dictionaries() : nullptr, out), messages_(messages)
{
}

bool Importer::first_of_repeats(const std::string &key, Instant start, const std::string &text, const Place &at,
                                const char *what)
{
    const std::string id = key + "@" + std::to_string(start);
    auto [it, added] = repeated_.emplace(id, std::make_pair(text, at));
    if (added) return true;
    if (it->second.first != text)
        throw Failure(at.text() + ": " + epoch_name(what, key, start) + " differs from the same epoch at " +
                      it->second.second.text() + "; the generator would find both (" +
                      first_difference(text, it->second.first) + ")");
    ++repeats_;
    return false;
}

void Importer::station(const StationEpoch &s)
{
    check_station(s);
    const std::string text = canonical(s);
    if (index_.repeated(s.codes(), s.start) && !first_of_repeats(s.codes(), s.start, text, s.at, "station"))
        return;
    if (existing_) {
        std::vector<StationEpoch> found = existing_->station_epochs(s.network, s.station, s.start, s.end);
        if (!found.empty()) {
            const StationEpoch &e = found.front();
            std::string there = canonical(e);
            const std::string name = epoch_name("station", s.codes(), s.start) + " to " + database_date(s.end);
            const std::string other = "the database's epoch from " + database_date(e.start) + " to " +
                                      database_date(e.end) + " (station_data)";
            if (found.size() == 1 && e.start == s.start && e.end == s.end && there == text) {
                messages_.push_back("note: " + s.at.text() + ": " + name +
                                    " is in the database as it is here: left as it is");
                return;
            }
            if (e.start == s.start && e.end == s.end)
                throw Failure(s.at.text() + ": " + name + " differs from " + other + " (" +
                              first_difference(text, there) + "); the generator would find both");
            throw Failure(s.at.text() + ": " + name + " overlaps " + other + "; the generator would find both");
        }
    }

    const std::string lddate = sql_text(options_.load_date);
    const std::string on = sql_text(database_date(s.start)), off = sql_text(database_date(s.end));
    int net_id = s.network_description ? dictionary_.abbreviation(*s.network_description) : 0;
    Rows station("station_data", "sta, net, lat, lon, elev, staname, net_id, word_32, word_16, ondate, offdate, lddate");
    station.add({sql_text(s.station), sql_text(s.network), sql_real(s.latitude), sql_real(s.longitude),
                 sql_real(s.elevation), sql_text(s.site), sql_integer(net_id), sql_integer(3210), sql_integer(10), on,
                 off, lddate});
    Rows comments("Station_Comment", "sta, net, ondate, offdate, comment_id, comment_level, lddate");
    for (const Comment &c : s.comments)
        comments.add({sql_text(s.station), sql_text(s.network), sql_text(database_date(c.begin)),
                      sql_text(database_date(c.end)), sql_integer(dictionary_.comment('S', c.value)), sql_integer(0),
                      lddate});
    out_.write(station);
    out_.write(comments);
}

namespace {

// The database's epoch as the document would say it: a name the document
// leaves out counts as the same.
ChannelEpoch as_the_document_says(ChannelEpoch there, const ChannelEpoch &here)
{
    for (Stage &t : there.stages)
        for (const Stage &h : here.stages)
            if (t.number == h.number) {
                if (t.coefficients && h.coefficients && !h.coefficients->name) t.coefficients->name.reset();
                if (!h.polynomial.name) t.polynomial.name.reset();
            }
    return there;
}

}  // namespace

void Importer::channel(const ChannelEpoch &c)
{
    check_channel(c);
    const std::string text = canonical(c);
    if (index_.repeated(c.codes(), c.start) && !first_of_repeats(c.codes(), c.start, text, c.at, "channel"))
        return;
    if (existing_ && in_database(c, text)) return;
    write_channel(c);
}

bool Importer::in_database(const ChannelEpoch &c, const std::string &text)
{
    std::vector<ChannelEpoch> found = existing_->channel_epochs(c);
    if (found.empty()) return false;
    const std::string name = epoch_name("channel", c.codes(), c.start) + " to " + database_date(c.end);
    const ChannelEpoch e = as_the_document_says(found.front(), c);
    std::string there = canonical(e);
    const std::string other = "the database's epoch from " + database_date(e.start) + " to " + database_date(e.end) +
                              " (channel_data)";
    if (found.size() == 1 && e.start == c.start && e.end == c.end && there == text) {
        messages_.push_back("note: " + c.at.text() + ": " + name + " is in the database as it is here: left as it is");
        return true;
    }
    if (e.start == c.start && e.end == c.end)
        throw Failure(c.at.text() + ": " + name + " differs from " + other + " (" + first_difference(text, there) +
                      "); the generator would find both");
    throw Failure(c.at.text() + ": " + name + " overlaps " + other + "; the generator would find both");
}

// The key columns every row of a channel epoch begins with, as literals.
struct Importer::ChannelKeys {
    std::string sta, net, cha, loc, on, off, lddate;
};

void Importer::write_channel(const ChannelEpoch &c)
{
    const ChannelKeys k{sql_text(c.station),
                        sql_text(c.network),
                        sql_text(c.channel),
                        sql_text(c.location.empty() ? "  " : c.location),
                        sql_text(database_date(c.start)),
                        sql_text(database_date(c.end)),
                        sql_text(options_.load_date)};
    Rows channel("channel_data",
                 "sta, net, seedchan, channel, channelsrc, location, inid, remark, unit_signal, unit_calib, lat, lon, "
                 "elev, edepth, azimuth, dip, format_id, record_length, samprate, clock_drift, flags, ondate, offdate, "
                 "lddate");
    channel.add({k.sta, k.net, k.cha, k.cha, sql_text("FDSNXML"), k.loc,
                 sql_integer(c.sensor ? dictionary_.abbreviation(*c.sensor) : 0), sql_text(c.remark),
                 sql_integer(unit_key(c.signal)), sql_integer(unit_key(c.calibration)), sql_real(c.latitude),
                 sql_real(c.longitude), sql_real(c.elevation), sql_real(c.depth), sql_real(c.azimuth), sql_real(c.dip),
                 sql_integer(dictionary_.format()), sql_integer(12), sql_real(c.sample_rate), sql_real(c.clock_drift),
                 sql_text(c.flags), k.on, k.off, k.lddate});
    Rows comments("Channel_Comment", "sta, net, seedchan, location, ondate, offdate, comment_id, comment_level, lddate");
    for (const Comment &m : c.comments)
        comments.add({k.sta, k.net, k.cha, k.loc, sql_text(database_date(m.begin)), sql_text(database_date(m.end)),
                      sql_integer(dictionary_.comment('C', m.value)), sql_integer(0), k.lddate});
    out_.write(channel);
    out_.write(comments);
    write_stages(c, k);
}

int Importer::unit_key(const std::optional<Unit> &u) { return u ? dictionary_.unit(*u) : 0; }

void Importer::write_stages(const ChannelEpoch &c, const ChannelKeys &k)
{
    const char *head = "sta, net, seedchan, location, ondate, offdate, stage_seq, ";
    Rows poles_zeros("Poles_Zeros", std::string(head) + "pz_key, tf_type, unit_in, unit_out, AO, AF, lddate");
    Rows coefficients("Coefficients", std::string(head) + "dc_key, unit_in, unit_out, tf_type, lddate");
    Rows polynomials("Polynomial", std::string(head) + "pn_key, tf_type, unit_in, unit_out, lddate");
    Rows decimations("Decimation", std::string(head) + "dm_key, lddate");
    Rows gains("Sensitivity", std::string(head) + "sensitivity, frequency, lddate");
    for (const Stage &s : c.stages) {
        const std::string seq = sql_integer(s.number);
        switch (s.kind) {
        case Stage::Kind::poles_zeros:
            poles_zeros.add({k.sta, k.net, k.cha, k.loc, k.on, k.off, seq,
                             sql_integer(dictionary_.poles_zeros(s.poles_zeros)),
                             sql_text(std::string(1, s.poles_zeros.transfer)), sql_integer(unit_key(s.input)),
                             sql_integer(unit_key(s.output)), sql_real(s.poles_zeros.normalization),
                             sql_real(s.poles_zeros.frequency), k.lddate});
            break;
        case Stage::Kind::coefficients:
            coefficients.add({k.sta, k.net, k.cha, k.loc, k.on, k.off, seq,
                              s.coefficients ? sql_integer(dictionary_.coefficient_set(*s.coefficients)) : sql_null,
                              sql_integer(unit_key(s.input)), sql_integer(unit_key(s.output)),
                              sql_text(std::string(1, s.coefficients ? 'D' : s.coefficients_type)), k.lddate});
            break;
        case Stage::Kind::polynomial:
            polynomials.add({k.sta, k.net, k.cha, k.loc, k.on, k.off, seq,
                             sql_integer(dictionary_.polynomial(s.polynomial)), sql_text("P"),
                             sql_integer(unit_key(s.input)), sql_integer(unit_key(s.output)), k.lddate});
            break;
        case Stage::Kind::gain_only:
        case Stage::Kind::response_list:
            break;
        }
        if (s.decimation)
            decimations.add({k.sta, k.net, k.cha, k.loc, k.on, k.off, seq,
                             sql_integer(dictionary_.decimation(*s.decimation)), k.lddate});
        if (s.gain)
            gains.add({k.sta, k.net, k.cha, k.loc, k.on, k.off, seq, sql_real(s.gain->value),
                       sql_real(s.gain->frequency), k.lddate});
    }
    if (c.sensitivity)
        gains.add({k.sta, k.net, k.cha, k.loc, k.on, k.off, sql_integer(0), sql_real(c.sensitivity->value),
                   sql_real(c.sensitivity->frequency), k.lddate});
    for (const Rows *rows : {&polynomials, &coefficients, &decimations, &poles_zeros, &gains}) out_.write(*rows);
}

void Importer::unsupported_station(const Unsupported &e)
{
    if (!options_.skip_unsupported) throw e;
    messages_.push_back(std::string("warning: ") + e.what() + "; the station epoch is left out with its channels");
}

void Importer::unsupported_channel(const Unsupported &e)
{
    if (!options_.skip_unsupported) throw e;
    messages_.push_back(std::string("warning: ") + e.what() + "; the channel epoch is left out");
}

void Importer::finish()
{
    dictionary_.finish();
    for (const std::string &n : dictionary_.notes()) messages_.push_back("note: " + n);
    if (repeats_ > 0)
        messages_.push_back("note: " + std::to_string(repeats_) +
                            " epoch(s) given again identically in the documents, written once");
}

}  // namespace importer
