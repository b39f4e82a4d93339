#include "seed/analysis/fdsn_rules.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <string_view>

#include "seed/analysis/finding_text.hpp"
#include "seed/reader/epochs.hpp"
#include "seed/analysis/response.hpp"
#include "seed/reader/unit_names.hpp"

namespace seed {

const std::vector<CheckRule> &fdsn_rules()
{
    static const std::vector<CheckRule> rules = {
        {"fdsn-101", Severity::error, "the network code is not 1 or 2 capital letters and digits"},
        {"fdsn-111", Severity::error, "two epochs of one station overlap"},
        {"fdsn-201", Severity::error, "the station code is not 1 to 5 capital letters and digits"},
        {"fdsn-210", Severity::error, "a station epoch does not end after it starts"},
        {"fdsn-211", Severity::error, "two epochs of one channel under one station epoch overlap"},
        {"fdsn-212", Severity::error,
         "a channel epoch reaches outside its station epoch (StationXML clips it; a volume keeps its dates)"},
        {"fdsn-222", Severity::warning, "the channel is more than 1 km from its station"},
        {"fdsn-223", Severity::warning, "the channel's elevation is more than 1 km from its station's"},
        {"fdsn-301", Severity::error, "the channel code is not 3 capital letters and digits"},
        {"fdsn-302", Severity::error, "the location code is not 0 to 2 capital letters and digits"},
        {"fdsn-303", Severity::error,
         "the calibration units are not a name validators accept (error), or only in another case (warning)"},
        {"fdsn-304", Severity::warning, "no sensor description with a letter or digit"},
        {"fdsn-305", Severity::warning, "a channel of sample rate 0 has a response"},
        {"fdsn-310", Severity::error, "a channel epoch does not end after it starts"},
        {"fdsn-321", Severity::warning,
         "a seismometer or accelerometer (instrument code H, L or N) does not take m/s... in and give counts out"},
        {"fdsn-332", Severity::warning, "an N component is not within 5 degrees of north or south and horizontal"},
        {"fdsn-333", Severity::warning, "an E component is not within 5 degrees of east or west and horizontal"},
        {"fdsn-334", Severity::warning, "a Z component is not within 5 degrees of vertical"},
        {"fdsn-401", Severity::error, "the stages are not numbered 1, 2, ... without gaps"},
        {"fdsn-402", Severity::error,
         "stage units are not a name validators accept (error), or only in another case (warning)"},
        {"fdsn-403", Severity::error, "a stage's input units are not the previous stage's output units"},
        {"fdsn-404", Severity::error, "a digital stage lacks its decimation or its gain"},
        {"fdsn-406", Severity::error, "the last stage does not give counts"},
        {"fdsn-410", Severity::error, "the stage-0 sensitivity is not above 0"},
        {"fdsn-411", Severity::warning, "the stage-0 frequency is not below the Nyquist frequency"},
        {"fdsn-412", Severity::error,
         "the gains, all at the stage-0 frequency, do not multiply to the stage-0 sensitivity within 5 %"},
        {"fdsn-413", Severity::error, "a stage has no gain, or one not above 0"},
        {"fdsn-414", Severity::error, "a poles-zeros stage with a zero at 0 has its gain, or stage 0, at 0 Hz"},
        {"fdsn-415", Severity::error, "a channel with a polynomial stage has a stage-0 sensitivity"},
        {"fdsn-416", Severity::error, "a channel without a polynomial stage has no stage-0 sensitivity"},
        {"fdsn-420", Severity::warning, "no stage has a decimation"},
        {"fdsn-421", Severity::error, "the last decimation does not give the channel's sample rate"},
        {"fdsn-422", Severity::error, "a decimation's input rate is not the previous decimation's output rate"},
        {"fdsn-423", Severity::error, "a stage has a decimation and a gain but no filter"},
        {"fdsn-424", Severity::error, "a stage with a decimation does not give counts"},
        {"fdsn-425", Severity::error, "an analog stage has a decimation"},
    };
    return rules;
}

namespace {

using finding_text::number;

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

using finding_text::stage_name;

bool capitals_and_digits(std::string_view code, std::size_t least, std::size_t most)
{
    return code.size() >= least && code.size() <= most && std::all_of(code.begin(), code.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

bool overlap(const Time &a_start, const Time &a_end, const Time &b_start, const Time &b_end)
{
    return a_start.value < b_end.value && b_start.value < a_end.value;
}

std::string span(const Time &start, const Time &end) { return full_time(start) + " to " + full_time(end); }

// The validator's state-of-health channel codes (restriction C1).
bool state_of_health_code(const std::string &code)
{
    static const std::set<std::string_view> codes = {
        "ACE", "ATC", "EX1", "EX2", "EX3", "EX4", "EX5", "EX6", "EX7", "EX8", "EX9", "GAN", "GEL", "GLA", "GLO",
        "GNS", "GPL", "GPS", "GST", "LDE", "LDN", "LDZ", "LEE", "LED", "LEO", "LEP", "LII", "LKI", "LOG", "LPL",
        "OAC", "OCF", "QBD", "QBP", "QDG", "QDL", "QDR", "QEF", "QG1", "QGD", "QID", "QLD", "QPD", "QRD", "QRT",
        "QTH", "QTP", "QWD", "SBT", "SDG", "SDL", "SDT", "SIO", "SMD", "SNI", "SOH", "SPK", "SPO", "SRD", "SSL",
        "SSQ", "STH", "SWR", "VAP", "VCE", "VCO", "VCQ", "VDT", "VFP", "VKI", "VPB"};
    if (codes.count(code)) return true;
    // Whole families: LCA to LCZ, SCA to SCZ, VEA to VEZ; TS and VM with a letter or digit.
    if (code.size() != 3) return false;
    std::string_view family = std::string_view(code).substr(0, 2);
    char last = code[2];
    bool letter = last >= 'A' && last <= 'Z', digit = last >= '0' && last <= '9';
    return ((family == "LC" || family == "SC" || family == "VE") && letter) ||
           ((family == "TS" || family == "VM") && (letter || digit));
}

// Restrictions C1 and C2: state-of-health codes, and channels flagged
// HEALTH, FLAG or MAINTENANCE.
bool exempt_channel(const ChannelEpoch &c)
{
    return state_of_health_code(c.id.channel) || c.id.flags.text.find_first_of("HFM") != std::string::npos;
}

bool has_response(const ChannelEpoch &c) { return !c.stages.empty() || c.sensitivity; }

const Filter *first_filter(const ChannelEpoch &c)
{
    for (const Stage &s : c.stages)
        if (!s.filters.empty()) return &s.filters.front();
    return nullptr;
}

const Filter *last_filter(const ChannelEpoch &c)
{
    for (auto s = c.stages.rbegin(); s != c.stages.rend(); ++s)
        if (!s->filters.empty()) return &s->filters.back();
    return nullptr;
}

const Source &stage_source(const Stage &s)
{
    if (!s.filters.empty()) return s.filters.front().lines.front().source;
    return s.decimation ? s.decimation->line.source : s.sensitivity->line.source;
}

bool analog(const Filter &f)
{
    if (const auto *pz = std::get_if<PolesZeros>(&f.response)) return pz->transfer_type == 'A' || pz->transfer_type == 'B';
    if (const auto *co = std::get_if<Coefficients>(&f.response)) return co->response_type == 'A' || co->response_type == 'B';
    return false;
}

std::string kind(const Filter &f)
{
    if (const auto *pz = std::get_if<PolesZeros>(&f.response))
        return std::string("poles and zeros of type ") + pz->transfer_type;
    if (const auto *co = std::get_if<Coefficients>(&f.response))
        return std::string("coefficients of type ") + co->response_type;
    if (std::holds_alternative<Fir>(f.response)) return "a FIR";
    return "a polynomial";
}

bool counts(const std::string &name) { return name == "count" || name == "counts"; }

// Great-circle distance in km on a sphere of the Earth's mean radius.
double distance_km(double lat1, double lon1, double lat2, double lon2)
{
    constexpr double radians = std::numbers::pi / 180, radius = 6371.0;
    double dlat = (lat2 - lat1) * radians, dlon = (lon2 - lon1) * radians;
    double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
               std::cos(lat1 * radians) * std::cos(lat2 * radians) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * radius * std::asin(std::min(1.0, std::sqrt(a)));
}

bool within(double value, double low, double high) { return value >= low && value <= high; }

}  // namespace

void FdsnRules::add(Severity severity, const char *rule, const ChannelEpoch &c, std::string message,
                    const Source &source)
{
    findings_.push_back(Finding{severity, rule, c.codes(), full_time(c.id.start), std::move(message), source});
}

// A unit's name as the document writes it.
std::string FdsnRules::unit(int key) const
{
    const UnitEntry *u = dictionary_.unit(key);
    return u ? stationxml_unit_name(u->name.text) : "unit " + std::to_string(key);
}

void FdsnRules::station(const StationEpoch &s)
{
    const StationId &id = s.id;
    auto finding = [&](const char *rule, std::string message) {
        findings_.push_back(
            Finding{Severity::error, rule, s.codes(), full_time(id.start), std::move(message), id.line.source});
    };
    if (!capitals_and_digits(id.network, 1, 2))
        finding("fdsn-101", "network code " + quoted(id.network) + " is not 1 or 2 capital letters and digits");
    if (!capitals_and_digits(id.station, 1, 5))
        finding("fdsn-201", "station code " + quoted(id.station) + " is not 1 to 5 capital letters and digits");
    if (!(id.start.value < id.end.value))
        finding("fdsn-210", "the station epoch ends at " + full_time(id.end) + ", not after its start");
    // Stations are ordered by network, station and start: the station's
    // earlier epochs come just before.
    for (auto other = stations_.begin() + (&s - stations_.data());
         other != stations_.begin();) {
        --other;
        if (other->id.network != id.network || other->id.station != id.station) break;
        if (overlap(other->id.start, other->id.end, id.start, id.end))
            finding("fdsn-111", "the station epoch " + span(id.start, id.end) + " overlaps the epoch " +
                                    span(other->id.start, other->id.end));
    }
}

void FdsnRules::channel_in_station(const StationEpoch &s, const ChannelEpoch &c)
{
    const ChannelId &id = c.id;
    for (const auto &other : s.channels) {
        if (other.get() == &c) break;
        if (other->id.location != id.location || other->id.channel != id.channel ||
            !overlap(other->id.start, other->id.end, id.start, id.end) || !overlaps_.emplace(other.get(), &c).second)
            continue;
        add(Severity::error, "fdsn-211", c,
            "the channel epoch " + span(id.start, id.end) + " overlaps the epoch " +
                span(other->id.start, other->id.end) + " under the station epoch from " + full_time(s.id.start),
            id.line.source);
    }
    if (id.start.value < s.id.start.value || id.end.value > s.id.end.value) {
        NestedDates nested = nested_dates(s.id, id);
        add(Severity::error, "fdsn-212", c,
            "the channel epoch " + span(id.start, id.end) + " reaches outside the station epoch " +
                span(s.id.start, s.id.end) + ": StationXML clips it to " + span(*nested.start, *nested.end) +
                ", but a volume keeps blockette 52's dates",
            id.line.source);
    }
    if (exempt_channel(c)) return;
    double km = distance_km(s.id.latitude.value, s.id.longitude.value, id.latitude.value, id.longitude.value);
    if (km > 1)
        add(Severity::warning, "fdsn-222", c,
            "the channel is " + number(km) + " km from its station epoch from " + full_time(s.id.start) +
                " (at most 1 km)",
            id.line.source);
    double apart = std::fabs(id.elevation.value - s.id.elevation.value);
    if (apart > 1000)
        add(Severity::warning, "fdsn-223", c,
            "the channel's elevation " + id.elevation.text + " m is " + number(apart) + " m from its station's " +
                s.id.elevation.text + " m (at most 1000 m)",
            id.line.source);
}

void FdsnRules::channel(const ChannelEpoch &c)
{
    const ChannelId &id = c.id;
    const Source &at = id.line.source;
    if (!capitals_and_digits(id.channel, 3, 3))
        add(Severity::error, "fdsn-301", c, "channel code " + quoted(id.channel) + " is not 3 capital letters and digits",
            at);
    if (!capitals_and_digits(id.location, 0, 2) && id.location != "--")
        add(Severity::error, "fdsn-302", c,
            "location code " + quoted(id.location) + " is not 0 to 2 capital letters and digits", at);
    if (id.calibration_units != 0 && dictionary_.unit(id.calibration_units)) {
        std::string name = unit(id.calibration_units);
        UnitNameStatus status = unit_name_status(name);
        if (status != UnitNameStatus::accepted)
            add(status == UnitNameStatus::unknown ? Severity::error : Severity::warning, "fdsn-303", c,
                "calibration units " + quoted(name) +
                    (status == UnitNameStatus::unknown ? " are not a unit name validators accept"
                                                       : " are a unit name validators accept only in another case"),
                at);
    }
    const Abbreviation *sensor = dictionary_.abbreviation(id.instrument);
    if (!sensor)
        add(Severity::warning, "fdsn-304", c, "no sensor description (B052 field 6, instrument identifier, is 0)", at);
    else if (std::none_of(sensor->description.text.begin(), sensor->description.text.end(),
                          [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)); }))
        add(Severity::warning, "fdsn-304", c,
            "the sensor description " + quoted(sensor->description.text) + " has no letter or digit", at);
    if (id.sample_rate.value == 0 && has_response(c))
        add(Severity::warning, "fdsn-305", c, "the sample rate is 0 but the channel has a response", at);
    if (!(id.start.value < id.end.value))
        add(Severity::error, "fdsn-310", c, "the channel epoch ends at " + full_time(id.end) + ", not after its start",
            at);
    if (exempt_channel(c)) return;

    // Seismometers and accelerometers: instrument codes H, L and N.
    const Filter *first = first_filter(c), *last = last_filter(c);
    if (id.channel.size() == 3 && std::string_view("HLN").find(id.channel[1]) != std::string_view::npos && first) {
        std::string in = unit(input_units(*first)), out = unit(output_units(*last));
        if (in.compare(0, 3, "m/s") != 0 || out.compare(0, 5, "count") != 0)
            add(Severity::warning, "fdsn-321", c,
                std::string("instrument code ") + id.channel[1] + ": the response takes " + quoted(in) +
                    " and gives " + quoted(out) + ", where validators expect m/s (or m/s**2) in and counts out",
                first->lines.front().source);
    }
    if (!id.channel.empty()) {
        double azimuth = id.azimuth.value, dip = id.dip.value;
        bool north_south = azimuth >= 355 || azimuth <= 5 || within(azimuth, 175, 185);
        bool east_west = within(azimuth, 85, 95) || within(azimuth, 265, 275);
        bool horizontal = within(dip, -5, 5), vertical = within(dip, -90, -85) || within(dip, 85, 90);
        std::string where = "azimuth " + id.azimuth.text + " and dip " + id.dip.text + " are not those of ";
        switch (id.channel.back()) {
        case 'N':
            if (!north_south || !horizontal)
                add(Severity::warning, "fdsn-332", c,
                    where + "a north component (azimuth within 5 degrees of 0 or 180, dip within 5 of 0)", at);
            break;
        case 'E':
            if (!east_west || !horizontal)
                add(Severity::warning, "fdsn-333", c,
                    where + "an east component (azimuth within 5 degrees of 90 or 270, dip within 5 of 0)", at);
            break;
        case 'Z':
            if (!(azimuth >= 355 || azimuth <= 5) || !vertical)
                add(Severity::warning, "fdsn-334", c,
                    where + "a vertical component (azimuth within 5 degrees of 0, dip within 5 of -90 or 90)", at);
            break;
        }
    }
    if (has_response(c)) response(c);
}

void FdsnRules::response(const ChannelEpoch &c)
{
    for (std::size_t i = 0; i < c.stages.size(); ++i)
        if (c.stages[i].number != static_cast<int>(i) + 1) {
            std::string numbers;
            for (const Stage &s : c.stages) numbers += " " + std::to_string(s.number);
            add(Severity::error, "fdsn-401", c,
                "the stages are numbered" + numbers + ", not 1 to " + std::to_string(c.stages.size()),
                stage_source(c.stages[i]));
            break;
        }
    units(c);

    bool polynomial = has_polynomial(c);
    if (polynomial && c.sensitivity)
        add(Severity::error, "fdsn-415", c,
            "a polynomial stage and a stage-0 sensitivity: StationXML describes the channel by an "
            "InstrumentPolynomial, without an InstrumentSensitivity",
            c.sensitivity->line.source);
    if (!polynomial && !c.sensitivity)
        add(Severity::error, "fdsn-416", c, "no stage-0 sensitivity (blockette 58 of stage 0) and no polynomial stage",
            c.id.line.source);

    for (const Stage &s : c.stages) {
        const Filter *filter = s.filters.empty() ? nullptr : &s.filters.front();
        if (filter && is_digital(*filter) && (!s.decimation || !s.sensitivity))
            add(Severity::error, "fdsn-404", c,
                stage_name(s.number) + " is digital (" + kind(*filter) + ") and has no " +
                    (!s.decimation ? (!s.sensitivity ? "decimation (57) and no gain (58)" : "decimation (57)")
                                   : "gain (58)"),
                stage_source(s));
        if (filter && s.decimation && !counts(unit(output_units(s.filters.back()))))
            add(Severity::error, "fdsn-424", c,
                stage_name(s.number) + " has a decimation but gives " + quoted(unit(output_units(s.filters.back()))) +
                    ", not counts",
                stage_source(s));
        if (filter && s.decimation && analog(*filter))
            add(Severity::error, "fdsn-425", c,
                stage_name(s.number) + " is analog (" + kind(*filter) + ") and has a decimation",
                s.decimation->line.source);
    }
    if (const Filter *last = last_filter(c); last && !counts(unit(output_units(*last))))
        add(Severity::error, "fdsn-406", c, "the last stage gives " + quoted(unit(output_units(*last))) + ", not counts",
            last->lines.front().source);

    // The validator leaves the gains and decimations of InstrumentPolynomial channels alone.
    if (polynomial) return;
    gains(c);
    decimations(c);
}

// 402: each name once per channel epoch, where a stage first uses it;
// 403: each stage's input against the previous stage's output.
void FdsnRules::units(const ChannelEpoch &c)
{
    std::map<std::string, std::vector<std::string>> uses;
    std::map<std::string, Source> first_use;
    const Filter *previous = nullptr;
    int previous_stage = 0;
    for (const Stage &s : c.stages)
        for (const Filter &f : s.filters) {
            for (const auto &[key, side] : {std::pair{input_units(f), "input"}, std::pair{output_units(f), "output"}}) {
                if (!dictionary_.unit(key)) continue;  // no units at all: the writer refuses it
                std::string name = unit(key);
                uses[name].push_back(stage_name(s.number) + " " + side);
                first_use.emplace(name, f.lines.front().source);
            }
            if (previous && unit(input_units(f)) != unit(output_units(*previous)))
                add(Severity::error, "fdsn-403", c,
                    stage_name(s.number) + " takes " + quoted(unit(input_units(f))) + " but " +
                        stage_name(previous_stage) + " gives " + quoted(unit(output_units(*previous))),
                    f.lines.front().source);
            previous = &f;
            previous_stage = s.number;
        }
    for (const auto &[name, where] : uses) {
        UnitNameStatus status = unit_name_status(name);
        if (status == UnitNameStatus::accepted) continue;
        std::string list;
        for (const std::string &w : where) list += (list.empty() ? "" : ", ") + w;
        add(status == UnitNameStatus::unknown ? Severity::error : Severity::warning, "fdsn-402", c,
            "units " + quoted(name) + " (" + list + ") " +
                (status == UnitNameStatus::unknown ? "are not a unit name validators accept"
                                                   : "are a unit name validators accept only in another case"),
            first_use.at(name));
    }
}

void FdsnRules::gains(const ChannelEpoch &c)
{
    const std::optional<Sensitivity> &s0 = c.sensitivity;
    if (s0 && !(s0->gain.value > 0))
        add(Severity::error, "fdsn-410", c, "the stage-0 sensitivity is " + s0->gain.text + ", not above 0",
            s0->line.source);
    double limit = nyquist(c);
    if (s0 && limit > 0 && !(s0->frequency.value < limit))
        add(Severity::warning, "fdsn-411", c,
            "the stage-0 frequency " + number(s0->frequency.value) + " Hz is not below the Nyquist frequency " +
                number(limit) + " Hz",
            s0->line.source);

    bool same_frequency = s0 && !c.stages.empty();
    double product = 1;
    for (const Stage &s : c.stages) {
        if (!s.sensitivity) {
            add(Severity::error, "fdsn-413", c, stage_name(s.number) + " has no gain (blockette 58)", stage_source(s));
            same_frequency = false;
            continue;
        }
        if (!(s.sensitivity->gain.value > 0))
            add(Severity::error, "fdsn-413", c,
                stage_name(s.number) + " has gain " + s.sensitivity->gain.text + ", not above 0",
                s.sensitivity->line.source);
        product *= s.sensitivity->gain.value;
        same_frequency = same_frequency && s.sensitivity->frequency.value == s0->frequency.value;
    }
    // Only comparable when every gain is given where the sensitivity is.
    if (same_frequency && !(std::fabs(product - s0->gain.value) <= 0.05 * std::fabs(s0->gain.value)))
        add(Severity::error, "fdsn-412", c,
            "the stage gains, all at " + number(s0->frequency.value) + " Hz, multiply to " + number(product) +
                " but the stage-0 sensitivity is " + number(s0->gain.value) + " (more than 5 % apart)",
            s0->line.source);

    for (const Stage &s : c.stages)
        for (const Filter &f : s.filters) {
            const auto *pz = std::get_if<PolesZeros>(&f.response);
            if (!pz || std::none_of(pz->zeros.begin(), pz->zeros.end(), [](const ComplexRoot &z) {
                    return z.real.value == 0 && z.imaginary.value == 0;
                }))
                continue;
            bool stage_at_0 = s.sensitivity && s.sensitivity->frequency.value == 0, channel_at_0 = s0 && s0->frequency.value == 0;
            if (stage_at_0 || channel_at_0)
                add(Severity::error, "fdsn-414", c,
                    stage_name(s.number) + " has a zero at 0, where the response is 0, but " +
                        (stage_at_0 ? (channel_at_0 ? "its gain and the stage-0 sensitivity are" : "its gain is")
                                    : "the stage-0 sensitivity is") +
                        " given at 0 Hz",
                    f.lines.front().source);
        }
}

void FdsnRules::decimations(const ChannelEpoch &c)
{
    const Decimation *previous = nullptr;
    int previous_stage = 0;
    for (const Stage &s : c.stages) {
        if (s.decimation && s.sensitivity && s.filters.empty())
            add(Severity::error, "fdsn-423", c, stage_name(s.number) + " has a decimation and a gain but no filter",
                s.decimation->line.source);
        if (!s.decimation) continue;
        const Decimation &d = *s.decimation;
        if (previous && previous->factor != 0) {
            double given = previous->input_rate.value / previous->factor;
            if (!(std::fabs(d.input_rate.value - given) <= rate_tolerance * std::fabs(given)))
                add(Severity::error, "fdsn-422", c,
                    stage_name(s.number) + " takes " + number(d.input_rate.value) + " samples/s but " +
                        stage_name(previous_stage) + " gives " + number(given),
                    d.line.source);
        }
        previous = &d;
        previous_stage = s.number;
    }
    if (!previous) {
        add(Severity::warning, "fdsn-420", c, "no stage has a decimation (blockette 57)", c.id.line.source);
        return;
    }
    double rate = c.id.sample_rate.value;
    if (previous->factor != 0 && rate > 0) {
        double given = previous->input_rate.value / previous->factor;
        if (!(std::fabs(given - rate) <= rate_tolerance * rate))
            add(Severity::error, "fdsn-421", c,
                "the last decimation (" + stage_name(previous_stage) + ") gives " + number(given) +
                    " samples/s but the channel's sample rate is " + number(rate),
                previous->line.source);
    }
}

}  // namespace seed
