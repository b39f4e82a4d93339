#include "seed/writers/stationxml.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <exception>
#include <map>
#include <new>
#include <numbers>
#include <set>
#include <tuple>

#include "seed/reader/epochs.hpp"
#include "seed/reader/unit_names.hpp"
#include "seed/reader/message_text.hpp"
#include "seed/reader/stationxml_vocabulary.hpp"
#include "seed/writers/xml_writer.hpp"

namespace seed {

std::string xml_text_problem(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f) return "it holds a control character";
        std::size_t length = c < 0x80 ? 1 : (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return "it is not UTF-8";
        char32_t code = length == 1 ? c : c & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) return "it is not UTF-8";
            code = (code << 6) | (next & 0x3f);
        }
        static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return "it is not UTF-8";
        if (code == 0xfffe || code == 0xffff) return "it holds a character XML does not allow";
        i += length;
    }
    return "";
}

namespace {

// The documents' writer (xml_writer.hpp).
using Xml = XmlWriter;

std::string date_time_from_unix(long long seconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (seconds < 0 || !gmtime_r(&t, &tm) || tm.tm_year + 1900 > 9999)
        throw Error("the document time is outside the years 1970 to 9999");
    return xml_date_time_text(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, "");
}

[[noreturn]] void refuse(const Line &line, int type, int field, const std::string &message)
{
    throw Error(line.source, field_label(type, field), message);
}

std::string quoted(const std::string &text) { return quoted_value(text); }

std::string place(const Source &s) { return s.file + ":" + std::to_string(s.line); }

// Where a filter's fields are: its own blockette, or the dictionary entry
// a blockette 60 refers to.
struct FilterPlace {
    const Line *line = nullptr;
    int type = 0;
    int input_field = 0;  // the output units field follows it
};

// The Description of each network: its stations' blockette 33 (through
// B050 field 10). Stations that name different ones are refused, since a
// network has one Description.
class NetworkNames {
public:
    explicit NetworkNames(const Dictionary &dictionary) : dictionary_(dictionary) {}

    void add(const StationId &id)
    {
        const Abbreviation *a = dictionary_.abbreviation(id.network_id);
        if (!a) return;  // key 0: none; a missing key is the reader's to report
        auto [it, inserted] = names_.emplace(id.network, std::make_pair(a->description.text, id.line.source));
        if (!inserted && it->second.first != a->description.text)
            refuse(id.line, 50, 10,
                   "network " + id.network + " is " + quoted(a->description.text) + " here but " +
                       quoted(it->second.first) + " at " + place(it->second.second) +
                       "; a StationXML Network has one Description");
    }

    std::string description(const std::string &network) const
    {
        auto it = names_.find(network);
        return it == names_.end() ? std::string() : it->second.first;
    }

private:
    const Dictionary &dictionary_;
    std::map<std::string, std::pair<std::string, Source>> names_;
};

class Writer {
public:
    Writer(Xml &xml, const Dictionary &dictionary, StationXmlSummary &summary, const StationXmlOptions &options)
        : xml_(xml), dictionary_(dictionary), summary_(summary), options_(options)
    {
    }

    void begin_document(const StationXmlOptions &options)
    {
        for (const std::string *text : {&options.source, &options.sender, &options.module}) {
            std::string problem = xml_text_problem(*text);
            if (!problem.empty()) throw Error(quoted(*text) + " cannot be written in the document: " + problem);
        }
        xml_.start("FDSNStationXML");
        xml_.attribute("xmlns", stationxml_namespace);
        xml_.attribute("schemaVersion", "1.2");
        xml_.element("Source", options.source);
        if (!options.sender.empty()) xml_.element("Sender", options.sender);
        if (!options.module.empty()) xml_.element("Module", options.module);
        xml_.element("Created", date_time_from_unix(options.created));
    }

    void begin_network(const std::string &code, const std::string &description)
    {
        xml_.start("Network");
        xml_.attribute("code", code);
        if (!description.empty()) xml_.element("Description", description);
        network_ = code;
        network_stations_.clear();
    }

    // At network level the counts close the element: they follow the
    // Description and stand where the Station elements would.
    void end_network()
    {
        if (options_.level == StationXmlLevel::network) {
            auto total = options_.total_stations.find(network_);
            if (total != options_.total_stations.end())
                xml_.element("TotalNumberStations", std::to_string(total->second));
            xml_.element("SelectedNumberStations", std::to_string(network_stations_.size()));
        }
        xml_.end();
    }

    void end_document() { xml_.end(); }

    void station(const StationEpoch &s)
    {
        const StationId &id = s.id;
        network_stations_.insert(id.station);
        if (options_.level == StationXmlLevel::network) return;
        xml_.start("Station");
        xml_.attribute("code", id.station);
        dates(id.line, 50, id.start, id.end);
        for (const Comment &c : s.comments) comment(c, 51);
        coordinates(id.line, 50, id.latitude, id.longitude, id.elevation);
        xml_.start("Site");
        xml_.element("Name", id.site.text);
        xml_.end();
        if (options_.level != StationXmlLevel::station)
            for (const auto &c : s.channels) channel(s, *c);
        xml_.end();
        ++summary_.stations;
    }

private:
    void dates(const Line &line, int type, const Time &start, const Time &end)
    {
        int field = type == 50 ? 13 : 22;
        std::string problem = epoch_order_problem(start, end);
        if (!problem.empty())
            refuse(line, type, field + 1,
                   std::string(type == 50 ? "the station epoch " : "the channel epoch ") + problem);
        xml_.attribute("startDate", date(line, type, field, start));
        if (!open_end(end))
            xml_.attribute("endDate", date(line, type, field + 1, end));
    }

    std::string date(const Line &line, int type, int field, const Time &time)
    {
        std::string out;
        if (!xml_date_time(time.text, out))
            refuse(line, type, field, quoted(time.text) + " has no xs:dateTime form (year 0 or a leap second)");
        return out;
    }

    void comment(const Comment &c, int type)
    {
        auto it = dictionary_.comments.find(c.key);
        if (it == dictionary_.comments.end())
            refuse(c.line, type, 5,
                   "comment key " + std::to_string(c.key) + " has no blockette 31 in H.A; StationXML needs its text");
        xml_.start("Comment");
        xml_.attribute("id", std::to_string(c.key));
        xml_.element("Value", it->second.description.text);
        xml_.element("BeginEffectiveTime", date(c.line, type, 3, c.start));
        if (!open_end(c.end)) xml_.element("EndEffectiveTime", date(c.line, type, 4, c.end));
        xml_.end();
    }

    // A value with the range StationXML gives its element.
    void ranged(const char *element, const Number &n, double low, double high, bool high_included, const Line &line,
                int type, int field)
    {
        if (n.value < low || n.value > high || (!high_included && n.value == high))
            refuse(line, type, field,
                   quoted(n.text) + " is outside the range of StationXML's " + element + ", " + xml_double(low) +
                       (high_included ? " to " : " to under ") + xml_double(high));
        xml_.element(element, xml_double(n));
    }

    void coordinates(const Line &line, int type, const Number &latitude, const Number &longitude,
                     const Number &elevation)
    {
        int first = type == 50 ? 4 : 10;
        ranged("Latitude", latitude, -90, 90, false, line, type, first);
        ranged("Longitude", longitude, -180, 180, true, line, type, first + 1);
        xml_.element("Elevation", xml_double(elevation));
    }

    // Under each station epoch it overlaps, with its dates clipped to that
    // epoch: validators refuse a channel epoch that reaches outside its
    // station's.
    void channel(const StationEpoch &s, const ChannelEpoch &c)
    {
        const ChannelId &id = c.id;
        const Line &line = id.line;
        xml_.start("Channel");
        xml_.attribute("code", id.channel);
        xml_.attribute("locationCode", id.location);
        NestedDates nested = nested_dates(s.id, id);
        dates(line, 52, *nested.start, *nested.end);
        if (!id.remark.text.empty()) xml_.element("Description", id.remark.text);
        for (const Comment &m : c.comments) comment(m, 59);
        coordinates(line, 52, id.latitude, id.longitude, id.elevation);
        xml_.element("Depth", xml_double(id.depth));
        ranged("Azimuth", id.azimuth, 0, 360, false, line, 52, 14);
        ranged("Dip", id.dip, -90, 90, true, line, 52, 15);
        types(id);
        if (std::string problem = sample_rate_problem(id.sample_rate); !problem.empty())
            refuse(line, 52, 18, problem + "; StationXML's SampleRate is 0 or more");
        xml_.element("SampleRate", xml_double(id.sample_rate));
        if (id.clock_drift.value < 0)
            refuse(line, 52, 19,
                   quoted(id.clock_drift.text) + " is negative; StationXML's ClockDrift is a tolerance of 0 or more");
        xml_.element("ClockDrift", xml_double(id.clock_drift));
        if (id.calibration_units != 0) {
            std::string where = "channel " + c.codes() + " from " + id.start.text;
            units("CalibrationUnits", unit(id.calibration_units, line, 52, 9, where));
        }
        if (const Abbreviation *a = dictionary_.abbreviation(id.instrument)) {
            xml_.start("Sensor");
            xml_.element("Description", a->description.text);
            xml_.end();
        }
        if (options_.level == StationXmlLevel::response) response(c);
        xml_.end();
        ++summary_.channels;
    }

    // One Type per flag letter, in the order of StationXML's list.
    void types(const ChannelId &id)
    {
        for (char flag : id.flags.text)
            if (flag != ' ' && !word_of(channel_types, flag))
                refuse(id.line, 52, 21,
                       "flag " + quoted(std::string(1, flag)) + " is not one of " + codes_listed(channel_types, ", "));
        for (const Term &t : channel_types)
            if (id.flags.text.find(t.code) != std::string::npos) xml_.element("Type", t.word);
    }

    const UnitEntry &unit(int key, const Line &line, int type, int field, const std::string &where)
    {
        const UnitEntry *u = dictionary_.unit(key);
        if (!u)
            refuse(line, type, field,
                   where + ": unit key " + std::to_string(key) + " has no blockette 34 in H.A; StationXML needs the unit");
        return *u;
    }

    void units(const char *element, const UnitEntry &u)
    {
        xml_.start(element);
        xml_.element("Name", stationxml_unit_name(u.name.text));
        if (!u.description.text.empty()) xml_.element("Description", u.description.text);
        xml_.end();
    }

    FilterPlace place_of(const Filter &f) const
    {
        if (const auto *p = std::get_if<PolesZeros>(&f.response)) return {&p->line, 53, 5};
        if (const auto *c = std::get_if<Coefficients>(&f.response)) return {&c->line, 54, 5};
        if (std::holds_alternative<Fir>(f.response))
            return f.lookup_key ? FilterPlace{&dictionary_.firs.at(*f.lookup_key).lines.front(), 41, 6}
                                : FilterPlace{&f.lines.front(), 61, 6};
        return f.lookup_key ? FilterPlace{&dictionary_.polynomials.at(*f.lookup_key).line, 42, 6}
                            : FilterPlace{&f.lines.front(), 62, 5};
    }

    std::pair<int, int> unit_keys(const Filter &f) const
    {
        return std::visit([](const auto &r) { return std::make_pair(r.input_units, r.output_units); }, f.response);
    }

    const UnitEntry &input_unit(const Filter &f, const std::string &where)
    {
        FilterPlace p = place_of(f);
        return unit(unit_keys(f).first, *p.line, p.type, p.input_field, where);
    }

    const UnitEntry &output_unit(const Filter &f, const std::string &where)
    {
        FilterPlace p = place_of(f);
        return unit(unit_keys(f).second, *p.line, p.type, p.input_field + 1, where);
    }

    static bool is_polynomial(const Stage &s)
    {
        return !s.filters.empty() && std::holds_alternative<Polynomial>(s.filters.front().response);
    }

    static const Line &first_line(const Stage &s)
    {
        if (!s.filters.empty()) return s.filters.front().lines.front();
        return s.decimation ? s.decimation->line : s.sensitivity->line;
    }

    void response(const ChannelEpoch &c)
    {
        if (c.stages.empty() && !c.sensitivity) return;
        std::string where = "channel " + c.codes() + " from " + c.id.start.text;
        const Stage *polynomial = nullptr;
        // The filters that give the channel's units, and where they are.
        const Filter *first = nullptr, *last = nullptr;
        std::string first_at, last_at;
        for (const Stage &s : c.stages) {
            std::string at = where + ", stage " + std::to_string(s.number);
            if (s.filters.size() > 1)
                throw Error(s.filters[1].lines.front().source,
                            at + " holds " + std::to_string(s.filters.size()) +
                                " responses; a StationXML stage holds one");
            if (!s.filters.empty()) {
                if (!first) std::tie(first, first_at) = std::make_pair(&s.filters.front(), at);
                std::tie(last, last_at) = std::make_pair(&s.filters.front(), at);
            }
            if (is_polynomial(s)) {
                if (polynomial)
                    throw Error(s.filters.front().lines.front().source,
                                at + " is a second polynomial stage; StationXML describes a channel by one polynomial");
                if (&s != &c.stages.front())
                    throw Error(s.filters.front().lines.front().source,
                                at + " is a polynomial after other stages; StationXML's polynomial is the first stage");
                if (s.decimation)
                    refuse(s.decimation->line, 57, 3,
                           at + " is a polynomial; a StationXML polynomial stage has no Decimation");
                if (s.sensitivity)
                    refuse(s.sensitivity->line, 58, 3,
                           at + " is a polynomial; a StationXML polynomial stage has no StageGain");
                polynomial = &s;
            } else if (!s.sensitivity) {
                throw Error(first_line(s).source,
                            at + " has no blockette 58; StationXML gives every stage but a polynomial a StageGain");
            }
            if (s.sensitivity) summary_.calibrations += s.sensitivity->history.size();
        }
        if (c.sensitivity) summary_.calibrations += c.sensitivity->history.size();
        if (polynomial && c.sensitivity)
            refuse(c.sensitivity->line, 58, 3,
                   where + " has a polynomial stage and a stage-0 sensitivity; StationXML holds an InstrumentPolynomial "
                           "or an InstrumentSensitivity, not both");
        if (c.sensitivity && !first)
            refuse(c.sensitivity->line, 58, 3,
                   where + " has a stage-0 sensitivity but no stage with a response to give its units");

        xml_.start("Response");
        if (c.sensitivity) {
            xml_.start("InstrumentSensitivity");
            xml_.element("Value", xml_double(c.sensitivity->gain));
            xml_.element("Frequency", xml_double(c.sensitivity->frequency));
            units("InputUnits", input_unit(*first, first_at));
            units("OutputUnits", output_unit(*last, last_at));
            xml_.end();
        } else if (polynomial) {
            instrument_polynomial(c, *polynomial, first_at, *last, last_at);
        }
        for (const Stage &s : c.stages) stage(s, where + ", stage " + std::to_string(s.number));
        xml_.end();
    }

    // The polynomial of the whole channel: in from the first stage's input,
    // out in the last stage's output units, so each coefficient a_k of the
    // stage becomes a_k / G^k, G being the gain of all the other stages.
    void instrument_polynomial(const ChannelEpoch &c, const Stage &stage, const std::string &where,
                               const Filter &last, const std::string &last_at)
    {
        double gain = 1;
        for (const Stage &s : c.stages)
            if (&s != &stage) gain *= s.sensitivity->gain.value;
        const Filter &f = stage.filters.front();
        if (gain == 0 || !std::isfinite(gain))
            throw Error(f.lines.front().source,
                        where + ": the stages after the polynomial have a gain of " + xml_double(gain) +
                            ", which gives no InstrumentPolynomial");
        const Polynomial &p = std::get<Polynomial>(f.response);
        xml_.start("InstrumentPolynomial");
        if (!p.name.text.empty()) xml_.attribute("name", p.name.text);
        units("InputUnits", input_unit(f, where));
        units("OutputUnits", output_unit(last, last_at));
        polynomial_body(p, place_of(f), gain);
        xml_.end();
    }

    void stage(const Stage &s, const std::string &where)
    {
        xml_.start("Stage");
        xml_.attribute("number", std::to_string(s.number));
        if (!s.filters.empty()) {
            const Filter &f = s.filters.front();
            if (const auto *p = std::get_if<PolesZeros>(&f.response)) poles_zeros(*p, f, where);
            if (const auto *c = std::get_if<Coefficients>(&f.response)) coefficients(*c, f, where);
            if (const auto *r = std::get_if<Fir>(&f.response)) fir(*r, f, where);
            if (const auto *p = std::get_if<Polynomial>(&f.response)) {
                xml_.start("Polynomial");
                if (!p->name.text.empty()) xml_.attribute("name", p->name.text);
                filter_units(f, where);
                polynomial_body(*p, place_of(f), 1);
                xml_.end();
            }
        }
        if (s.decimation) {
            const Decimation &d = *s.decimation;
            xml_.start("Decimation");
            xml_.element("InputSampleRate", xml_double(d.input_rate));
            xml_.element("Factor", std::to_string(d.factor));
            xml_.element("Offset", std::to_string(d.offset));
            xml_.element("Delay", xml_double(d.delay));
            xml_.element("Correction", xml_double(d.correction));
            xml_.end();
        }
        if (s.sensitivity) {
            xml_.start("StageGain");
            xml_.element("Value", xml_double(s.sensitivity->gain));
            xml_.element("Frequency", xml_double(s.sensitivity->frequency));
            xml_.end();
        }
        xml_.end();
    }

    void filter_units(const Filter &f, const std::string &where)
    {
        units("InputUnits", input_unit(f, where));
        units("OutputUnits", output_unit(f, where));
    }

    // A value with its error, as SEED gives it: the same both ways.
    void with_error(const char *element, const Number &value, const Number &error, const char *index_name = nullptr,
                    std::size_t index = 0)
    {
        xml_.start(element);
        if (index_name) xml_.attribute(index_name, std::to_string(index));
        xml_.attribute("plusError", xml_double(error));
        xml_.attribute("minusError", xml_double(error));
        xml_.text(xml_double(value));
        xml_.end();
    }

    void poles_zeros(const PolesZeros &p, const Filter &f, const std::string &where)
    {
        const char *type = word_of(pz_transfer_types, p.transfer_type);
        if (!type)
            refuse(p.line, 53, 3,
                   where + ": type " + quoted(std::string(1, p.transfer_type)) +
                       " has no StationXML PzTransferFunctionType (" + codes_listed(pz_transfer_types, " and ") +
                       " have)");
        xml_.start("PolesZeros");
        filter_units(f, where);
        xml_.element("PzTransferFunctionType", type);
        xml_.element("NormalizationFactor", xml_double(p.normalization));
        xml_.element("NormalizationFrequency", xml_double(p.frequency));
        for (const auto &[element, roots] : {std::pair{"Zero", &p.zeros}, std::pair{"Pole", &p.poles}})
            for (std::size_t i = 0; i < roots->size(); ++i) {
                const ComplexRoot &r = (*roots)[i];
                xml_.start(element);
                xml_.attribute("number", std::to_string(i));
                with_error("Real", r.real, r.real_error);
                with_error("Imaginary", r.imaginary, r.imaginary_error);
                xml_.end();
            }
        xml_.end();
    }

    void coefficients(const Coefficients &c, const Filter &f, const std::string &where)
    {
        const char *type = word_of(cf_transfer_types, c.response_type);
        if (!type)
            refuse(c.line, 54, 3,
                   where + ": type " + quoted(std::string(1, c.response_type)) +
                       " has no StationXML CfTransferFunctionType (" + codes_listed(cf_transfer_types, " and ") +
                       " have)");
        xml_.start("Coefficients");
        filter_units(f, where);
        xml_.element("CfTransferFunctionType", type);
        for (std::size_t i = 0; i < c.numerators.size(); ++i)
            with_error("Numerator", c.numerators[i].value, c.numerators[i].error, "number", i);
        for (std::size_t i = 0; i < c.denominators.size(); ++i)
            with_error("Denominator", c.denominators[i].value, c.denominators[i].error, "number", i);
        xml_.end();
    }

    void fir(const Fir &r, const Filter &f, const std::string &where)
    {
        xml_.start("FIR");
        xml_.attribute("name", r.name.text);
        filter_units(f, where);
        // The reader admits A, B and C only.
        xml_.element("Symmetry", word_of(fir_symmetries, r.symmetry));
        for (std::size_t i = 0; i < r.coefficients.size(); ++i) {
            xml_.start("NumeratorCoefficient");
            xml_.attribute("i", std::to_string(i));
            xml_.text(xml_double(r.coefficients[i]));
            xml_.end();
        }
        xml_.end();
    }

    // A value computed from the tree's (from), as the document writes it:
    // one that is not finite, or that underflowed from a value that is not
    // 0, would be schema-valid and wrong.
    std::string computed(double value, double from, const FilterPlace &at, int offset, const std::string &what)
    {
        bool underflow = from != 0 && std::isfinite(from) && !std::isnormal(value) && std::isfinite(value);
        if (!std::isfinite(value) || underflow)
            refuse(*at.line, at.type, at.input_field + offset,
                   what + " is " + xml_double(value) + (underflow ? " (it underflows)" : "") +
                       ": the document cannot hold it");
        return xml_double(value);
    }

    // ApproximationType to the coefficients. Coefficient k is divided by
    // gain^k (1: the stage's own, as written).
    void polynomial_body(const Polynomial &p, const FilterPlace &at, double gain)
    {
        if (p.coefficients.empty())
            refuse(*at.line, at.type, at.input_field + 9,
                   "no coefficients; a StationXML polynomial has at least one");
        xml_.element("ApproximationType", "MACLAURIN");  // the reader admits M only
        // Valid frequencies: B is hertz, as StationXML has them; A is radians per second.
        // The bounds are 4 and 5 fields after the input units.
        for (const auto &[element, bound, offset] :
             {std::tuple{"FrequencyLowerBound", &p.lower_frequency, 4}, std::tuple{"FrequencyUpperBound", &p.upper_frequency, 5}})
            xml_.element(element, p.frequency_units == 'B'
                                      ? xml_double(*bound)
                                      : computed(bound->value / (2 * std::numbers::pi), bound->value, at, offset, element));
        xml_.element("ApproximationLowerBound", xml_double(p.lower_bound));
        xml_.element("ApproximationUpperBound", xml_double(p.upper_bound));
        xml_.element("MaximumError", xml_double(p.max_error));
        double scale = 1;
        for (std::size_t k = 0; k < p.coefficients.size(); ++k, scale *= gain) {
            const ValueError &c = p.coefficients[k];
            if (scale == 1) {
                with_error("Coefficient", c.value, c.error, "number", k);
                continue;
            }
            std::string what = "coefficient " + std::to_string(k) + " / " + xml_double(gain) + "^" + std::to_string(k);
            std::string error = computed(c.error.value / scale, c.error.value, at, 11, "the error of " + what);
            std::string value = computed(c.value.value / scale, c.value.value, at, 10, what);
            xml_.start("Coefficient");
            xml_.attribute("number", std::to_string(k));
            xml_.attribute("plusError", error);
            xml_.attribute("minusError", error);
            xml_.text(value);
            xml_.end();
        }
    }

    Xml &xml_;
    const Dictionary &dictionary_;
    StationXmlSummary &summary_;
    const StationXmlOptions &options_;
    std::string network_;
    std::set<std::string> network_stations_;  // of the open Network
};

}  // namespace

StationXmlSummary write_stationxml(const Inventory &inventory, const std::vector<const StationEpoch *> &stations,
                                   const StationXmlOptions &options, const XmlSink &sink)
{
    if (stations.empty()) throw Error(Source{inventory.root, 0}, "no station epochs: nothing to write");
    NetworkNames names(inventory.dictionary);
    for (const StationEpoch *s : stations) names.add(s->id);
    StationXmlSummary summary;
    summary.dropped_repeats = inventory.dropped_repeats;
    Xml xml(sink);
    Writer writer(xml, inventory.dictionary, summary, options);
    writer.begin_document(options);
    const std::string *network = nullptr;
    for (const StationEpoch *s : stations) {
        if (!network || *network != s->id.network) {
            if (network) writer.end_network();
            network = &s->id.network;
            writer.begin_network(*network, names.description(*network));
        }
        writer.station(*s);
    }
    writer.end_network();
    writer.end_document();
    xml.finish();
    return summary;
}

struct StationXmlStream::Impl {
    Impl(const Dictionary &d, const StationXmlOptions &o, const XmlSink &s)
        : dictionary(d), options(o), descriptions(d), sink(s), xml(sink)
    {
    }
    const Dictionary &dictionary;
    StationXmlOptions options;
    NetworkNames descriptions;
    StationXmlSummary summary;
    XmlSink sink;
    Xml xml;
    std::unique_ptr<Writer> writer;
    std::string network;
};

StationXmlStream::StationXmlStream(const Dictionary &dictionary, const StationXmlOptions &options,
                                   const XmlSink &sink)
    : impl_(std::make_unique<Impl>(dictionary, options, sink))
{
}

StationXmlStream::~StationXmlStream() = default;

void StationXmlStream::add_station_line(const Line &line)
{
    if (framed_type(line) != 50) return;
    impl_->descriptions.add(parse_b050(line));
    ++station_epochs_;
}

void StationXmlStream::station_directory(const std::vector<StationEpoch> &epochs)
{
    Impl &d = *impl_;
    if (!d.writer) {
        d.writer = std::make_unique<Writer>(d.xml, d.dictionary, d.summary, d.options);
        d.writer->begin_document(d.options);
    }
    for (const StationEpoch &s : epochs) {
        if (s.id.network != d.network) {
            if (!d.network.empty()) d.writer->end_network();
            d.network = s.id.network;
            d.writer->begin_network(d.network, d.descriptions.description(d.network));
        }
        d.writer->station(s);
    }
}

StationXmlSummary StationXmlStream::finish()
{
    Impl &d = *impl_;
    if (!d.writer || d.network.empty()) throw Error("no station epochs: nothing to write");
    d.writer->end_network();
    d.writer->end_document();
    d.xml.finish();
    return d.summary;
}

StationXmlSummary write_stationxml_tree(const std::string &root_path, const std::vector<std::string> &stations,
                                        const StationXmlOptions &options, const XmlSink &sink)
{
    std::string root = root_path;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    Dictionary dictionary = read_tree_dictionary(root);
    std::vector<std::string> names = station_directories_in_order(root, stations);

    StationXmlStream document(dictionary, options, sink);
    // The blockettes 50 first, read on their own; the rest waits for each
    // station's turn.
    for (const std::string &name : names)
        for (const Line &line : read_lines(root + "/" + name + "/B050", false)) document.add_station_line(line);
    if (document.station_epochs() == 0) throw Error(Source{root, 0}, "no station epochs in the tree: nothing to write");
    std::size_t dropped = 0;
    for (const std::string &name : names)
        document.station_directory(read_station_directory(root, name, dictionary, dropped));
    StationXmlSummary summary = document.finish();
    summary.dropped_repeats = dropped;
    return summary;
}

}  // namespace seed
