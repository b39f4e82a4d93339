#include "seed/analysis/response.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <numbers>

namespace seed {

namespace {

using Complex = std::complex<double>;
constexpr double two_pi = 2 * std::numbers::pi;

const Line &first_line(const Filter &filter) { return filter.lines.front(); }

std::string stage_text(int stage) { return "stage " + std::to_string(stage); }

std::string frequency_text(double f)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.9e", f);
    return text;
}

void need_rate(const Filter &filter, double rate, const char *what)
{
    if (!(rate > 0))
        throw ResponseError(first_line(filter).source,
                            std::string(what) + " is digital and its stage has no positive input sample rate "
                                                "(blockette 57) to evaluate it at");
}

// The Laplace variable of an analog filter, or z for a digital one.
Complex variable(char type, double f, double rate)
{
    switch (type) {
    case 'A': return {0.0, two_pi * f};
    case 'B': return {0.0, f};
    default: return std::polar(1.0, two_pi * f / rate);
    }
}

// sum(c_k x^k); an empty list counts 1.
Complex power_series(const std::vector<ValueError> &c, Complex x)
{
    if (c.empty()) return 1.0;
    Complex sum = 0.0, power = 1.0;
    for (const ValueError &v : c) {
        sum += v.value.value * power;
        power *= x;
    }
    return sum;
}

// sum(c_k exp(-i w k)), each term's phase taken afresh so that long
// filters do not accumulate rounding.
Complex delay_series(const std::vector<double> &c, double w)
{
    Complex sum = 0.0;
    for (std::size_t k = 0; k < c.size(); ++k) sum += c[k] * std::polar(1.0, -w * static_cast<double>(k));
    return sum;
}

std::vector<double> values(const std::vector<ValueError> &c)
{
    std::vector<double> out;
    out.reserve(c.size());
    for (const ValueError &v : c) out.push_back(v.value.value);
    return out;
}


// The expanded coefficients of the FIRs of one stage, made once however
// many frequencies the stage is evaluated at.
class Taps {
public:
    const std::vector<double> &of(const Fir &fir)
    {
        for (const auto &[made_of, taps] : made_)
            if (made_of == &fir) return taps;
        made_.emplace_back(&fir, expanded_coefficients(fir));
        return made_.back().second;
    }

private:
    std::deque<std::pair<const Fir *, std::vector<double>>> made_;  // a deque: references stay valid
};

Complex filter_response(const Filter &filter, double f, double rate, Taps &taps);

}  // namespace

bool is_digital(const Filter &filter)
{
    if (const auto *pz = std::get_if<PolesZeros>(&filter.response)) return pz->transfer_type == 'D';
    if (const auto *c = std::get_if<Coefficients>(&filter.response)) return c->response_type == 'D';
    return std::holds_alternative<Fir>(filter.response);
}

bool is_polynomial(const Filter &filter) { return std::holds_alternative<Polynomial>(filter.response); }

bool has_polynomial(const ChannelEpoch &epoch)
{
    for (const Stage &s : epoch.stages)
        for (const Filter &f : s.filters)
            if (is_polynomial(f)) return true;
    return false;
}

std::vector<double> expanded_coefficients(const Fir &fir)
{
    std::vector<double> out;
    const std::size_t n = fir.coefficients.size();
    out.reserve(2 * n);
    fir.coefficients.append_values(out);
    if (n == 0) return out;
    if (fir.symmetry == 'B')
        for (std::size_t k = n - 1; k-- > 0;) out.push_back(out[k]);
    else if (fir.symmetry == 'C')
        for (std::size_t k = n; k-- > 0;) out.push_back(out[k]);
    return out;
}

Complex poles_zeros_response(const PolesZeros &pz, double f, double rate)
{
    Complex s = variable(pz.transfer_type, f, rate);
    Complex numerator = 1.0, denominator = 1.0;
    for (const ComplexRoot &z : pz.zeros) numerator *= s - Complex(z.real.value, z.imaginary.value);
    for (const ComplexRoot &p : pz.poles) denominator *= s - Complex(p.real.value, p.imaginary.value);
    return pz.normalization.value * numerator / denominator;
}

Complex filter_response(const Filter &filter, double f, double rate)
{
    Taps taps;
    return filter_response(filter, f, rate, taps);
}

namespace {

Complex filter_response(const Filter &filter, double f, double rate, Taps &taps)
{
    if (const auto *pz = std::get_if<PolesZeros>(&filter.response)) {
        if (pz->transfer_type == 'C')
            throw ResponseError(first_line(filter).source,
                                stage_text(pz->stage) + ": poles and zeros of the composite type C have no defined response");
        if (pz->transfer_type == 'D') need_rate(filter, rate, ("the poles and zeros of " + stage_text(pz->stage)).c_str());
        return poles_zeros_response(*pz, f, rate);
    }
    if (const auto *c = std::get_if<Coefficients>(&filter.response)) {
        if (c->response_type == 'C')
            throw ResponseError(first_line(filter).source,
                                stage_text(c->stage) + ": coefficients of the composite type C have no defined response");
        if (c->response_type != 'D')
            return power_series(c->numerators, variable(c->response_type, f, rate)) /
                   power_series(c->denominators, variable(c->response_type, f, rate));
        need_rate(filter, rate, ("the coefficients of " + stage_text(c->stage)).c_str());
        double w = two_pi * f / rate;
        Complex numerator = c->numerators.empty() ? Complex(1.0) : delay_series(values(c->numerators), w);
        Complex denominator = c->denominators.empty() ? Complex(1.0) : delay_series(values(c->denominators), w);
        return numerator / denominator;
    }
    if (const auto *fir = std::get_if<Fir>(&filter.response)) {
        need_rate(filter, rate, ("the FIR " + fir->name.text).c_str());
        if (fir->coefficients.empty()) return 1.0;
        return delay_series(taps.of(*fir), two_pi * f / rate);
    }
    throw ResponseError(first_line(filter).source, "a polynomial is not a frequency response");
}

const Fir *symmetric_fir(const Filter &filter)
{
    const auto *fir = std::get_if<Fir>(&filter.response);
    return fir && (fir->symmetry == 'B' || fir->symmetry == 'C') && !fir->coefficients.empty() ? fir : nullptr;
}

// What evalresp reads as an asymmetric FIR.
bool asymmetric_fir(const Filter &filter)
{
    if (const auto *fir = std::get_if<Fir>(&filter.response))
        return fir->symmetry == 'A' && !fir->coefficients.empty();
    const auto *c = std::get_if<Coefficients>(&filter.response);
    return c && c->response_type == 'D' && !c->numerators.empty() && c->denominators.empty();
}

// sum(h_k cos(w (k - centre))): the FIR about its centre, real.
double zero_phase(const std::vector<double> &taps, double w)
{
    double centre = static_cast<double>(taps.size() - 1) / 2, sum = 0;
    for (std::size_t k = 0; k < taps.size(); ++k) sum += taps[k] * std::cos(w * (static_cast<double>(k) - centre));
    return sum;
}

Complex stage_response(const Stage &stage, double f, DelayConvention convention, Taps &taps)
{
    double rate = stage.decimation ? stage.decimation->input_rate.value : 0.0;
    Complex h = stage.sensitivity ? stage.sensitivity->gain.value : 1.0;
    bool corrected = convention == DelayConvention::corrected, advance = false;
    for (const Filter &filter : stage.filters) {
        if (is_polynomial(filter)) continue;
        if (is_digital(filter) && !stage.decimation)
            throw ResponseError(first_line(filter).source,
                                stage_text(stage.number) + " is digital and has no blockette 57: no input sample rate "
                                                           "to evaluate it at");
        const Fir *symmetric = corrected ? symmetric_fir(filter) : nullptr;
        if (symmetric) {
            need_rate(filter, rate, ("the FIR " + symmetric->name.text).c_str());
            h *= zero_phase(taps.of(*symmetric), two_pi * f / rate);
        } else {
            h *= filter_response(filter, f, rate, taps);
        }
        advance = advance || (corrected && asymmetric_fir(filter));
    }
    // Once for the stage: a second FIR of a stage continues the first.
    if (advance) h *= std::polar(1.0, two_pi * f * stage.decimation->correction.value);
    if (!std::isfinite(h.real()) || !std::isfinite(h.imag())) {
        const Line &line = !stage.filters.empty() ? first_line(stage.filters.front())
                           : stage.sensitivity    ? stage.sensitivity->line
                                                  : stage.decimation->line;
        throw ResponseError(line.source, stage_text(stage.number) + ": the response at " + frequency_text(f) +
                                             " Hz is not a finite number");
    }
    return h;
}

}  // namespace

Complex stage_response(const Stage &stage, double f, DelayConvention convention)
{
    Taps taps;
    return stage_response(stage, f, convention, taps);
}

Complex channel_response(const ChannelEpoch &epoch, double f, DelayConvention convention)
{
    Complex h = 1.0;
    for (const Stage &s : epoch.stages) h *= stage_response(s, f, convention);
    if (!std::isfinite(h.real()) || !std::isfinite(h.imag()))
        throw ResponseError(epoch.id.line.source, "the product of the stages at " + frequency_text(f) +
                                                      " Hz is not a finite number");
    return h;
}

namespace {

// What a stage's response depends on: its filters' lines (a dictionary
// filter by its key), its decimation and gain, the convention and the
// frequencies.
std::string stage_key(const Stage &stage, const std::vector<double> &frequencies, DelayConvention convention)
{
    std::string key(1, convention == DelayConvention::causal ? 'c' : 'z');
    key.append(reinterpret_cast<const char *>(frequencies.data()), frequencies.size() * sizeof(double));
    for (const Filter &f : stage.filters) {
        if (f.lookup_key) {
            key += "\nK" + std::to_string(*f.lookup_key);
            continue;
        }
        for (const Line &line : f.lines) key += "\n" + line.text;
    }
    key += "\nD";
    if (stage.decimation) key += stage.decimation->line.text;
    key += "\nS";
    if (stage.sensitivity) key += stage.sensitivity->line.text;
    return key;
}

}  // namespace

std::vector<Complex> ResponseMemo::channel(const ChannelEpoch &epoch, const std::vector<double> &frequencies,
                                           DelayConvention convention)
{
    std::vector<Complex> out(frequencies.size(), Complex(1.0));
    try {
        for (const Stage &s : epoch.stages) {
            std::string key = stage_key(s, frequencies, convention);
            auto it = stages_.find(key);
            if (it == stages_.end()) {
                // Memory stays bounded however many distinct stages a network has.
                if (stages_.size() >= max_stages) stages_.clear();
                std::vector<Complex> values;
                values.reserve(frequencies.size());
                Taps taps;
                for (double f : frequencies) values.push_back(stage_response(s, f, convention, taps));
                it = stages_.emplace(std::move(key), std::move(values)).first;
            }
            for (std::size_t i = 0; i < out.size(); ++i) out[i] *= it->second[i];
        }
        for (const Complex &h : out)
            if (!std::isfinite(h.real()) || !std::isfinite(h.imag())) throw ResponseError(Source{}, "");
    } catch (const ResponseError &) {
        // The fault as channel_response finds it, frequency by frequency.
        out.clear();
        for (double f : frequencies) out.push_back(channel_response(epoch, f, convention));
    }
    return out;
}

std::vector<double> log_frequencies(double fmin, double fmax, int points)
{
    std::vector<double> out;
    if (points < 1) return out;
    auto rounded = [](double f) {
        char text[64];
        std::snprintf(text, sizeof text, "%.9e", f);
        return std::strtod(text, nullptr);
    };
    if (points == 1) return {rounded(fmin)};
    double step = std::log(fmax / fmin) / (points - 1);
    for (int i = 0; i < points; ++i) {
        double f = i == 0 ? fmin : i == points - 1 ? fmax : fmin * std::exp(step * i);
        out.push_back(rounded(f));
    }
    return out;
}

std::string unit_name(const Dictionary &dictionary, int key)
{
    if (const UnitEntry *u = dictionary.unit(key)) return u->name.text;
    return "unit " + std::to_string(key);
}

int input_units(const Filter &filter)
{
    return std::visit([](const auto &r) { return r.input_units; }, filter.response);
}

int output_units(const Filter &filter)
{
    return std::visit([](const auto &r) { return r.output_units; }, filter.response);
}

namespace {

std::string per(const std::string &out, const std::string &in)
{
    bool compound = in.find_first_of("/* ") != std::string::npos;
    return out + "/" + (compound ? "(" + in + ")" : in);
}

}  // namespace

std::string response_units(const ChannelEpoch &epoch, const Dictionary &dictionary)
{
    int out = epoch.id.signal_units;
    for (const Stage &s : epoch.stages)
        for (const Filter &f : s.filters) out = output_units(f);
    return per(unit_name(dictionary, out), unit_name(dictionary, epoch.id.signal_units));
}

std::string stage_units(const Stage &stage, const Dictionary &dictionary)
{
    if (stage.filters.empty()) return "gain";
    return per(unit_name(dictionary, output_units(stage.filters.back())),
               unit_name(dictionary, input_units(stage.filters.front())));
}

double nyquist(const ChannelEpoch &epoch)
{
    double rate = epoch.id.sample_rate.value;
    return rate > 0 ? rate / 2 : 0.0;
}

}  // namespace seed
