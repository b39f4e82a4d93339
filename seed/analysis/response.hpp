// The complex response of a channel's stages at a frequency, as SEED
// defines each blockette:
//
//   53  A0 * prod(s - zero) / prod(s - pole); s = 2 pi i f (type A, rad/s),
//       s = i f (type B, Hz), or z = exp(2 pi i f / rate) in place of s (D)
//   54  sum(n_k x^k) / sum(d_k x^k); x = s for the analog types A and B,
//       x = z^-1 for the digital type D; an empty list counts 1
//   61  sum(h_k z^-k) over the coefficients, symmetry B and C expanded
//       from the stored first half (41 through a blockette 60 the same)
//   58  the stage gain, multiplied in
//   62  a polynomial (42 too): no frequency response; left out
//
// A digital filter is evaluated at its stage's input rate (blockette 57),
// as stored and causal: a FIR's phase holds its whole delay and the
// blockette 57 delay and correction are not applied. The corrected
// convention is evalresp's: a FIR stored symmetric (B, C) is evaluated
// about its centre, with zero phase, and a stage of an asymmetric FIR (A,
// or a 54 of type D with numerators only) is advanced by its blockette 57
// correction; other stages stay as stored.
#pragma once

#include <complex>
#include <string>
#include <unordered_map>
#include <vector>
#include <string>
#include <vector>

#include "seed/reader/inventory.hpp"

namespace seed {

// A response that cannot be evaluated: the place is the filter's line.
class ResponseError : public Error {
public:
    using Error::Error;
};

// 53 type D, 54 type D, and FIRs: evaluated at a sample rate.
bool is_digital(const Filter &filter);
bool is_polynomial(const Filter &filter);
// Some stage of the channel holds a polynomial.
bool has_polynomial(const ChannelEpoch &epoch);

// A FIR's coefficients with symmetry B (odd) and C (even) expanded.
std::vector<double> expanded_coefficients(const Fir &fir);

// One filter at f Hz; rate is the input rate of its stage (digital
// filters only). Throws ResponseError for a polynomial, a composite
// (type C) filter or a digital filter without a positive rate.
std::complex<double> filter_response(const Filter &filter, double f, double rate);

// The 53's own transfer function times A0 (no stage gain).
std::complex<double> poles_zeros_response(const PolesZeros &pz, double f, double rate);

enum class DelayConvention { causal, corrected };

// A stage: its filters (polynomials left out) times its gain (58; none
// counts 1). Throws ResponseError when a filter cannot be evaluated.
std::complex<double> stage_response(const Stage &stage, double f,
                                    DelayConvention convention = DelayConvention::causal);

// The product of every stage's response.
std::complex<double> channel_response(const ChannelEpoch &epoch, double f,
                                      DelayConvention convention = DelayConvention::causal);

// Responses of many channel epochs at the same frequencies, for drawing a
// network: each distinct stage (the same blockette lines, or dictionary
// keys, at the same frequencies) is evaluated once, since a network's
// epochs share their digitizers' FIRs. Gives what channel_response gives
// at each frequency, bit for bit, and throws what it throws.
class ResponseMemo {
public:
    std::vector<std::complex<double>> channel(const ChannelEpoch &epoch, const std::vector<double> &frequencies,
                                              DelayConvention convention = DelayConvention::causal);

    // Stages kept at most: past it the memo starts afresh.
    static constexpr std::size_t max_stages = 256;

private:
    std::unordered_map<std::string, std::vector<std::complex<double>>> stages_;
};

// points frequencies from fmin to fmax, log-spaced, both ends included
// exactly; each rounded to 10 significant digits, so that a frequency as
// printed is the frequency evaluated.
std::vector<double> log_frequencies(double fmin, double fmax, int points);

// A unit's name from the dictionary ("M/S"), or "unit KEY" without one.
std::string unit_name(const Dictionary &dictionary, int key);

// Units of the response, output per input: "COUNTS/(M/S)". The input is
// the channel's signal units (52), the output the last filter's.
std::string response_units(const ChannelEpoch &epoch, const Dictionary &dictionary);
std::string stage_units(const Stage &stage, const Dictionary &dictionary);

// Input and output units of a filter.
int input_units(const Filter &filter);
int output_units(const Filter &filter);

// 20.0 -> 10: half the channel's sample rate (0 when the rate is not positive).
double nyquist(const ChannelEpoch &epoch);

}  // namespace seed
