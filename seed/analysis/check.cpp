#include "seed/analysis/check.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "seed/analysis/finding_text.hpp"
#include "seed/reader/epochs.hpp"
#include "seed/analysis/fdsn_rules.hpp"
#include "seed/analysis/response.hpp"

namespace seed {

const char *severity_name(Severity severity) { return severity == Severity::error ? "error" : "warning"; }

namespace {

const std::vector<CheckRule> &own_rules()
{
    static const std::vector<CheckRule> rules = {
        {"text-length", Severity::warning, "a text is longer than its SEED field allows"},
        {"epoch-station", Severity::warning, "the channel epoch lies outside the station epoch it is listed under"},
        {"epoch-overlap", Severity::error, "two epochs of one channel overlap"},
        {"epoch-coverage", Severity::warning,
         "a channel has no epoch for part of a station epoch between epochs before and after"},
        {"epoch-order", Severity::error, "a station or channel epoch ends before it begins"},
        {"stage-sequence", Severity::error, "stages are not numbered 1, 2, ... without gaps, or stage 0 is not last"},
        {"sensitivity-missing", Severity::error, "no stage-0 sensitivity (a channel with a polynomial is exempt)"},
        {"unit-chain", Severity::error,
         "a stage's input units are not the previous stage's output units (the first: the channel's signal units)"},
        {"decimation-missing", Severity::error, "a digital stage (53 or 54 type D, FIR) has no blockette 57"},
        {"rate-chain", Severity::error,
         "a stage's input rate is not the previous decimation's output rate, or the last is not the channel's rate"},
        {"fir-unity", Severity::error, "a FIR's gain at 0 Hz (the sum of its coefficients) is not 1 within 2 %"},
        {"fir-symmetry", Severity::warning, "a FIR stored with symmetry A is symmetric (B or C would do)"},
        {"pz-normalization", Severity::error, "|A0 H(fn)| is not 1 within 2 % at the normalization frequency"},
        {"gain-product", Severity::error, "the stage gains do not multiply to the stage-0 sensitivity within 1 %"},
        {"response-sensitivity", Severity::error,
         "the response at the stage-0 frequency is not the stage-0 sensitivity within 1 % (error) or 0.1 % (warning)"},
        {"sensitivity-nyquist", Severity::warning, "the stage-0 frequency is above the channel's Nyquist frequency"},
    };
    return rules;
}

}  // namespace

const std::vector<CheckRule> &check_rules()
{
    static const std::vector<CheckRule> rules = [] {
        std::vector<CheckRule> all = own_rules();
        all.insert(all.end(), fdsn_rules().begin(), fdsn_rules().end());
        return all;
    }();
    return rules;
}

namespace {

using finding_text::number;

std::string percent(double relative)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3g %%", relative * 100);
    return text;
}

using finding_text::stage_name;

// The kind of a filter as the tree holds it, for messages.
std::string filter_kind(const Filter &filter)
{
    if (const auto *pz = std::get_if<PolesZeros>(&filter.response))
        return std::string("poles and zeros (type ") + pz->transfer_type + ")";
    if (const auto *c = std::get_if<Coefficients>(&filter.response))
        return std::string("coefficients (type ") + c->response_type + ")";
    if (const auto *fir = std::get_if<Fir>(&filter.response)) return "FIR " + fir->name.text;
    return "polynomial";
}

class Checker {
public:
    Checker(const Dictionary &dictionary, const std::vector<StationEpoch> &stations)
        : dictionary_(dictionary), stations_(stations)
    {
    }

    // Hands on each station epoch's findings as soon as it is checked.
    void run(bool with_dictionary, const std::function<void(const Finding &)> &each)
    {
        auto hand_on = [&] {
            for (const Finding &f : findings_) each(f);
            findings_.clear();
        };
        if (with_dictionary) dictionary_texts();
        FdsnRules fdsn(dictionary_, stations_, findings_);
        std::set<const ChannelEpoch *> checked;
        for (const StationEpoch &s : stations_) {
            station_texts(s);
            fdsn.station(s);
            station_order(s);
            const ChannelEpoch *previous = nullptr;
            for (const auto &c : s.channels) {
                within_station(s, *c);
                coverage(s, previous, *c);
                bool first = checked.insert(c.get()).second;
                if (first) channel(*c);
                previous = c.get();
                // The validator's findings after the tree's own.
                fdsn.channel_in_station(s, *c);
                if (first) fdsn.channel(*c);
            }
            hand_on();
        }
        hand_on();
    }

private:
    // Sinks for one epoch.
    void add(Severity severity, const char *rule, std::string codes, const Time *start, std::string message,
             const Source &source)
    {
        findings_.push_back(
            Finding{severity, rule, std::move(codes), start ? full_time(*start) : "", std::move(message), source});
    }
    void add(const ChannelEpoch &c, Severity severity, const char *rule, std::string message, const Source &source)
    {
        add(severity, rule, c.codes(), &c.id.start, std::move(message), source);
    }

    void text(const Text &t, int type, int field, std::string codes, const Time *start, const Source &source)
    {
        if (t.too_long())
            add(Severity::warning, "text-length", std::move(codes), start,
                field_label(type, field) + " has " + std::to_string(t.text.size()) + " characters, at most " +
                    std::to_string(t.max),
                source);
    }

    void dictionary_texts()
    {
        const Dictionary &d = dictionary_;
        for (const auto &[key, e] : d.formats) text(e.name, 30, 3, "H.A", nullptr, e.line.source);
        for (const auto &[key, e] : d.comments)
            text(e.description, 31, 5, "H.A", nullptr, e.line.source);
        for (const auto &[key, e] : d.abbreviations)
            text(e.description, 33, 4, "H.A", nullptr, e.line.source);
        for (const auto &[key, e] : d.units) {
            text(e.name, 34, 4, "H.A", nullptr, e.line.source);
            text(e.description, 34, 5, "H.A", nullptr, e.line.source);
        }
        for (const auto &[key, e] : d.firs)
            text(e.fir.name, 41, 4, "H.A", nullptr, e.lines.front().source);
        for (const auto &[key, e] : d.polynomials)
            text(e.polynomial.name, 42, 4, "H.A", nullptr, e.line.source);
    }

    void station_texts(const StationEpoch &s)
    {
        text(s.id.site, 50, 9, s.codes(), &s.id.start, s.id.line.source);
    }

    void station_order(const StationEpoch &s)
    {
        std::string problem = epoch_order_problem(s.id.start, s.id.end);
        if (!problem.empty())
            add(Severity::error, "epoch-order", s.codes(), &s.id.start, "the station epoch " + problem,
                s.id.line.source);
    }

    void epoch_order(const ChannelEpoch &c)
    {
        std::string problem = epoch_order_problem(c.id.start, c.id.end);
        if (!problem.empty()) add(c, Severity::error, "epoch-order", "the channel epoch " + problem, c.id.line.source);
    }

    void within_station(const StationEpoch &s, const ChannelEpoch &c)
    {
        if (c.id.start.value < s.id.start.value || c.id.end.value > s.id.end.value)
            add(c, Severity::warning, "epoch-station",
                "the channel epoch " + full_time(c.id.start) + " to " + full_time(c.id.end) +
                    " is not inside the station epoch " + full_time(s.id.start) + " to " + full_time(s.id.end) +
                    " it is listed under",
                c.id.line.source);
    }

    // The station epoch's channels come by location, channel and start, so
    // a channel's epochs are neighbours; both overlap the station epoch, so
    // a gap between them lies inside it. An end and the next start one
    // second later leave none (the tree's epochs hold both ends).
    void coverage(const StationEpoch &s, const ChannelEpoch *previous, const ChannelEpoch &c)
    {
        constexpr std::int64_t one_second = 10000;
        if (!previous || previous->codes() != c.codes() || previous->id.end.open()) return;
        if (c.id.start.value - previous->id.end.value <= one_second) return;
        add(c, Severity::warning, "epoch-coverage",
            "no epoch of the channel from " + full_time(previous->id.end) + " to " + full_time(c.id.start) +
                " inside the station epoch " + full_time(s.id.start) + " to " + full_time(s.id.end),
            c.id.line.source);
    }

    void channel(const ChannelEpoch &c)
    {
        channel_texts(c);
        overlap(c);
        epoch_order(c);
        stage_sequence(c);
        sensitivity_missing(c);
        unit_chain(c);
        decimation_missing(c);
        rate_chain(c);
        fir_unity(c);
        fir_symmetry(c);
        pz_normalization(c);
        gain_product(c);
        response_sensitivity(c);
        sensitivity_nyquist(c);
    }

    void channel_texts(const ChannelEpoch &c)
    {
        const Time *start = &c.id.start;
        text(c.id.remark, 52, 7, c.codes(), start, c.id.line.source);
        text(c.id.flags, 52, 21, c.codes(), start, c.id.line.source);
        for (const Stage &s : c.stages)
            for (const Filter &f : s.filters)
                if (const auto *fir = std::get_if<Fir>(&f.response); fir && !f.lookup_key)
                    text(fir->name, 61, 4, c.codes(), start, f.lines.front().source);
    }

    // Epochs of one channel, met in inventory order; a later one that
    // overlaps one met before is reported.
    void overlap(const ChannelEpoch &c)
    {
        auto &seen = epochs_by_codes_[c.codes()];
        for (const ChannelEpoch *other : seen) {
            const ChannelEpoch *first = other->id.start.value <= c.id.start.value ? other : &c;
            const ChannelEpoch *second = first == &c ? other : &c;
            if (second->id.start.value < first->id.end.value)
                add(*second, Severity::error, "epoch-overlap",
                    "the channel epoch " + full_time(second->id.start) + " to " + full_time(second->id.end) +
                        " overlaps the epoch " + full_time(first->id.start) + " to " + full_time(first->id.end),
                    second->id.line.source);
        }
        seen.push_back(&c);
    }

    void stage_sequence(const ChannelEpoch &c)
    {
        for (std::size_t i = 0; i < c.stages.size(); ++i)
            if (c.stages[i].number != static_cast<int>(i) + 1) {
                const Stage &s = c.stages[i];
                std::string message = "stage " + std::to_string(i + 1) + " is missing: the stages are numbered";
                for (const Stage &t : c.stages) message += " " + std::to_string(t.number);
                const Source &where = s.filters.empty() ? (s.decimation ? s.decimation->line.source
                                                                         : s.sensitivity->line.source)
                                                        : s.filters.front().lines.front().source;
                add(c, Severity::error, "stage-sequence", message, where);
                break;
            }
        // The tree's order: stages ascending, stage 0 last.
        std::vector<std::pair<int, int>> lines;  // line number, stage
        for (const Stage &s : c.stages) {
            for (const Filter &f : s.filters)
                for (const Line &l : f.lines) lines.emplace_back(l.source.line, s.number);
            if (s.decimation) lines.emplace_back(s.decimation->line.source.line, s.number);
            if (s.sensitivity) lines.emplace_back(s.sensitivity->line.source.line, s.number);
        }
        if (c.sensitivity) lines.emplace_back(c.sensitivity->line.source.line, 0);
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        // A blockette 60 may refer for several stages at once: it has no one place in the order.
        std::map<int, int> stages_on_line;
        for (const auto &[line, stage] : lines) ++stages_on_line[line];
        std::erase_if(lines, [&](const auto &entry) { return stages_on_line[entry.first] > 1; });
        for (std::size_t i = 1; i < lines.size(); ++i) {
            auto [line, stage] = lines[i];
            int before = lines[i - 1].second;
            if (before == 0 || (stage != 0 && stage < before)) {
                Source where{c.id.line.source.file, line};
                add(c, Severity::error, "stage-sequence",
                    before == 0 ? "stage 0 is not last: " + stage_name(stage) + " follows the stage-0 sensitivity"
                                : stage_name(stage) + " follows " + stage_name(before),
                    where);
                break;
            }
        }
    }

    void sensitivity_missing(const ChannelEpoch &c)
    {
        if (!c.sensitivity && !has_polynomial(c))
            add(c, Severity::error, "sensitivity-missing", "no stage-0 sensitivity (blockette 58 of stage 0)",
                c.id.line.source);
    }

    void unit_chain(const ChannelEpoch &c)
    {
        const Dictionary &d = dictionary_;
        int previous = c.id.signal_units;
        std::string after = "the channel's signal units";
        for (const Stage &s : c.stages)
            for (const Filter &f : s.filters) {
                if (input_units(f) != previous)
                    add(c, Severity::error, "unit-chain",
                        stage_name(s.number) + " takes " + unit_name(d, input_units(f)) + " but " + after + " are " +
                            unit_name(d, previous),
                        f.lines.front().source);
                previous = output_units(f);
                after = "the output units of " + stage_name(s.number);
            }
    }

    void decimation_missing(const ChannelEpoch &c)
    {
        for (const Stage &s : c.stages) {
            if (s.decimation) continue;
            for (const Filter &f : s.filters)
                if (is_digital(f)) {
                    add(c, Severity::error, "decimation-missing",
                        stage_name(s.number) + " is digital (" + filter_kind(f) + ") and has no blockette 57",
                        f.lines.front().source);
                    break;
                }
        }
    }

    static bool close(double a, double b, double tolerance)
    {
        return std::fabs(a - b) <= tolerance * std::max(std::fabs(a), std::fabs(b));
    }

    void rate_chain(const ChannelEpoch &c)
    {
        double previous = 0;
        int previous_stage = 0;
        for (const Stage &s : c.stages) {
            if (!s.decimation) continue;
            const Decimation &d = *s.decimation;
            if (!(d.input_rate.value > 0) || d.factor == 0) {
                add(c, Severity::error, "rate-chain",
                    stage_name(s.number) + " has input rate " + number(d.input_rate.value) + " and decimation factor " +
                        std::to_string(d.factor) + ": no output rate",
                    d.line.source);
                previous = 0;
                continue;
            }
            if (previous > 0 && !close(d.input_rate.value, previous, rate_tolerance))
                add(c, Severity::error, "rate-chain",
                    stage_name(s.number) + " takes " + number(d.input_rate.value) + " samples/s but " +
                        stage_name(previous_stage) + " gives " + number(previous),
                    d.line.source);
            previous = d.input_rate.value / d.factor;
            previous_stage = s.number;
        }
        double rate = c.id.sample_rate.value;
        if (previous > 0 && !close(previous, rate, rate_tolerance))
            add(c, Severity::error, "rate-chain",
                "the last decimation (" + stage_name(previous_stage) + ") gives " + number(previous) +
                    " samples/s but the channel's sample rate is " + number(rate),
                c.id.line.source);
    }

    // Numerator-only digital coefficients are a FIR too.
    static bool fir_taps(const Filter &f, std::vector<double> &taps, std::string &name)
    {
        if (const auto *fir = std::get_if<Fir>(&f.response)) {
            taps = expanded_coefficients(*fir);
            name = "FIR " + fir->name.text;
            return !taps.empty();
        }
        if (const auto *co = std::get_if<Coefficients>(&f.response);
            co && co->response_type == 'D' && co->denominators.empty() && !co->numerators.empty()) {
            taps.clear();
            for (const ValueError &v : co->numerators) taps.push_back(v.value.value);
            name = "FIR (coefficients)";
            return true;
        }
        return false;
    }

    void fir_unity(const ChannelEpoch &c)
    {
        for (const Stage &s : c.stages)
            for (const Filter &f : s.filters) {
                std::vector<double> taps;
                std::string name;
                if (!fir_taps(f, taps, name)) continue;
                double sum = 0;
                for (double t : taps) sum += t;
                if (!(std::fabs(sum - 1) <= fir_unity_tolerance))
                    add(c, Severity::error, "fir-unity",
                        stage_name(s.number) + " " + name + " has gain " + number(sum) + " at 0 Hz (the sum of its " +
                            std::to_string(taps.size()) + " coefficients), not 1",
                        f.lines.front().source);
            }
    }

    void fir_symmetry(const ChannelEpoch &c)
    {
        for (const Stage &s : c.stages)
            for (const Filter &f : s.filters) {
                const auto *fir = std::get_if<Fir>(&f.response);
                if (!fir || fir->symmetry != 'A' || fir->coefficients.size() < 2) continue;
                const auto &k = fir->coefficients;
                bool symmetric = true;
                for (std::size_t i = 0, j = k.size() - 1; i < j && symmetric; ++i, --j)
                    symmetric = k.value(i) == k.value(j);
                if (symmetric)
                    add(c, Severity::warning, "fir-symmetry",
                        stage_name(s.number) + " FIR " + fir->name.text + " is symmetric (" +
                            std::to_string(k.size()) + " coefficients) but stored with symmetry A: " +
                            (k.size() % 2 ? "B" : "C") + " would store half",
                        f.lines.front().source);
            }
    }

    void pz_normalization(const ChannelEpoch &c)
    {
        for (const Stage &s : c.stages)
            for (const Filter &f : s.filters) {
                const auto *pz = std::get_if<PolesZeros>(&f.response);
                if (!pz || pz->transfer_type == 'C') continue;
                double rate = s.decimation ? s.decimation->input_rate.value : 0;
                if (pz->transfer_type == 'D' && !(rate > 0)) continue;  // decimation-missing or rate-chain
                double value = std::abs(poles_zeros_response(*pz, pz->frequency.value, rate));
                if (!(std::fabs(value - 1) <= normalization_tolerance))
                    add(c, Severity::error, "pz-normalization",
                        stage_name(s.number) + ": |A0 H(fn)| is " + number(value) + " at the normalization frequency " +
                            number(pz->frequency.value) + " Hz, not 1",
                        f.lines.front().source);
            }
    }

    void gain_product(const ChannelEpoch &c)
    {
        if (!c.sensitivity) return;
        double product = 1;
        for (const Stage &s : c.stages)
            if (s.sensitivity) product *= s.sensitivity->gain.value;
        double sensitivity = c.sensitivity->gain.value;
        double relative = std::fabs(std::fabs(product) - std::fabs(sensitivity)) / std::fabs(sensitivity);
        if (!(relative <= gain_product_tolerance))
            add(c, Severity::error, "gain-product",
                "the stage gains multiply to " + number(product) + " but the stage-0 sensitivity is " +
                    number(sensitivity) + (std::isfinite(relative) ? " (" + percent(relative) + " apart)" : ""),
                c.sensitivity->line.source);
    }

    // Digital stages that cannot be evaluated for want of a rate are
    // reported by decimation-missing and rate-chain.
    static bool rates_known(const ChannelEpoch &c)
    {
        for (const Stage &s : c.stages)
            for (const Filter &f : s.filters)
                if (is_digital(f) && !(s.decimation && s.decimation->input_rate.value > 0)) return false;
        return true;
    }

    void response_sensitivity(const ChannelEpoch &c)
    {
        if (!c.sensitivity || has_polynomial(c) || !rates_known(c)) return;
        const Sensitivity &s0 = *c.sensitivity;
        double amplitude = 0;
        try {
            amplitude = std::abs(channel_response(c, s0.frequency.value));
        } catch (const ResponseError &e) {
            add(c, Severity::error, "response-sensitivity", "the response cannot be evaluated: " + e.message(),
                e.source());
            return;
        }
        double sensitivity = std::fabs(s0.gain.value);
        double relative = std::fabs(amplitude - sensitivity) / sensitivity;
        if (relative <= sensitivity_warning_tolerance) return;
        Severity severity = relative <= sensitivity_error_tolerance ? Severity::warning : Severity::error;
        add(c, severity, "response-sensitivity",
            "the response is " + number(amplitude) + " at " + number(s0.frequency.value) +
                " Hz but the stage-0 sensitivity is " + number(s0.gain.value) +
                (std::isfinite(relative) ? " (" + percent(relative) + " apart)" : ""),
            s0.line.source);
    }

    void sensitivity_nyquist(const ChannelEpoch &c)
    {
        double limit = nyquist(c);
        if (c.sensitivity && limit > 0 && c.sensitivity->frequency.value > limit)
            add(c, Severity::warning, "sensitivity-nyquist",
                "the stage-0 frequency " + number(c.sensitivity->frequency.value) +
                    " Hz is above the Nyquist frequency " + number(limit) + " Hz",
                c.sensitivity->line.source);
    }

    const Dictionary &dictionary_;
    const std::vector<StationEpoch> &stations_;
    std::vector<Finding> findings_;
    std::map<std::string, std::vector<const ChannelEpoch *>> epochs_by_codes_;
};

// Every finding of a run, in order.
std::vector<Finding> collected(Checker checker, bool with_dictionary)
{
    std::vector<Finding> out;
    checker.run(with_dictionary, [&](const Finding &f) { out.push_back(f); });
    return out;
}

}  // namespace

void check_inventory(const Inventory &inventory, const std::function<void(const Finding &)> &each)
{
    Checker(inventory.dictionary, inventory.stations).run(true, each);
}

std::vector<Finding> check_dictionary(const Dictionary &dictionary)
{
    static const std::vector<StationEpoch> none;
    return collected(Checker(dictionary, none), true);
}

std::vector<Finding> check_station_directory(const Dictionary &dictionary, const std::vector<StationEpoch> &stations)
{
    return collected(Checker(dictionary, stations), false);
}

std::string format_finding(const Finding &f, const std::string &root)
{
    std::string out = std::string(severity_name(f.severity)) + " " + f.rule + " " + f.codes;
    if (!f.start.empty()) out += " " + f.start;
    out += ": " + f.message;
    if (!f.source.file.empty()) {
        std::string file = f.source.file;
        if (!root.empty() && file.compare(0, root.size() + 1, root + "/") == 0) file = file.substr(root.size() + 1);
        out += " [" + file + (f.source.line > 0 ? ":" + std::to_string(f.source.line) : "") + "]";
    }
    return out;
}

}  // namespace seed
