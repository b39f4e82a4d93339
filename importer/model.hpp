// One station epoch or one channel epoch as the import holds it: what a
// StationXML element says, in the terms of the response tables. The reader
// fills it from the document, the existing database's rows fill the same
// structures, so that both compare by one rule (seed_fields.hpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "importer/dates.hpp"
#include "importer/errors.hpp"

namespace importer {

// A unit as StationXML names it (D_Unit: name and description).
struct Unit {
    std::string name;
    std::optional<std::string> description;  // none: the document gives none
    Place at;
};

struct Comment {
    std::string value;
    Instant begin = 0, end = 0;  // as stored: the epoch's when the document gives none
    Place at;
};

// A value with its one SEED error: the larger of plusError and minusError.
struct ValueError {
    double value = 0, error = 0;
};

struct Root {
    ValueError real, imaginary;
};

// Poles_Zeros with its PZ_Data entry.
struct PolesZeros {
    char transfer = 'A';  // A rad/s, B Hz, D z-transform
    double normalization = 1, frequency = 0;
    std::vector<Root> zeros, poles;
};

// A DC/DC_Data coefficient set: a FIR, or a Coefficients stage of
// numerators only. Symmetry as DC stores it: A none, O odd, E even.
struct CoefficientSet {
    std::optional<std::string> name;  // none: the document gives none
    char symmetry = 'A';
    std::vector<ValueError> coefficients;
};

// PN/PN_Data.
struct Polynomial {
    std::optional<std::string> name;
    char approximation = 'M';
    double lower_bound = 0, upper_bound = 0, max_error = 0;
    std::vector<double> coefficients;
};

// DM.
struct Decimation {
    double input_rate = 0;
    long long factor = 0, offset = 0;
    double delay = 0, correction = 0;
};

struct Gain {
    double value = 0, frequency = 0;
};

struct Stage {
    enum class Kind { gain_only, poles_zeros, coefficients, polynomial, response_list };
    int number = 0;
    Kind kind = Kind::gain_only;
    // Coefficients: no set (dc_key NULL) when the stage has no numerators.
    char coefficients_type = 'D';  // as StationXML gives it (A, B, D)
    bool has_denominators = false;
    PolesZeros poles_zeros;
    std::optional<CoefficientSet> coefficients;
    Polynomial polynomial;
    std::optional<Unit> input, output;  // the filter's units; none for a gain-only stage
    std::optional<Decimation> decimation;
    std::optional<Gain> gain;
    Place at;
};

struct ChannelEpoch {
    std::string network, station, location, channel;
    Instant start = 0, end = 0;
    bool open_start = false, open_end = false;  // startDate or endDate absent
    double latitude = 0, longitude = 0, elevation = 0, depth = 0, azimuth = 0, dip = 0;
    double sample_rate = 0, clock_drift = 0;
    std::string flags;
    std::string remark;                 // Channel Description
    std::optional<std::string> sensor;  // Sensor Description
    std::optional<Unit> calibration;
    std::optional<Unit> signal;         // the response's input units
    std::vector<Comment> comments;
    std::vector<Stage> stages;
    std::optional<Gain> sensitivity;  // InstrumentSensitivity: stage 0
    // Found in the document, held nowhere: an InstrumentPolynomial without a
    // Polynomial stage is refused.
    bool instrument_polynomial = false;
    Place at;

    std::string codes() const { return network + "." + station + "." + location + "." + channel; }
    // For an epoch read from the database: what of its rows no document can
    // give (a key without its entry, a NULL text), so that it equals no
    // document's epoch; nullopt for an epoch of a document.
    std::optional<std::string> unmatched;
};

struct StationEpoch {
    std::string network, station;
    Instant start = 0, end = 0;
    bool open_start = false, open_end = false;
    double latitude = 0, longitude = 0, elevation = 0;
    std::string site;
    std::optional<std::string> network_description;
    std::vector<Comment> comments;
    Place at;

    std::string codes() const { return network + "." + station; }
    // For an epoch read from the database: what of its rows no document can
    // give (a key without its entry, a NULL text), so that it equals no
    // document's epoch; nullopt for an epoch of a document.
    std::optional<std::string> unmatched;
};

}  // namespace importer
