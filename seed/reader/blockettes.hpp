// The blockettes of a header tree, field by field, and their parsers: the
// order of the fields in a line; their names and sizes are the field table's
// (common/seed/field_table.hpp), shared with the generator. Each struct keeps its line
// (text and source) so that writers copy it as it stands and checks cite
// where it came from. Field numbers in comments and errors are SEED's.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "seed/reader/fields.hpp"
#include "seed/reader/shared_list.hpp"

namespace seed {

struct ValueError {
    Number value, error;
};

struct ComplexRoot {
    Number real, imaginary, real_error, imaginary_error;
};

// 30: data format dictionary
struct FormatEntry {
    Line line;
    Text name;
    int code = 0;
    int family = 0;
    std::vector<Text> keys;
};

// 31: comment description
struct CommentEntry {
    Line line;
    int key = 0;
    char class_code = 0;
    Text description;
    int level_units = 0;
};

// 33: generic abbreviation
struct Abbreviation {
    Line line;
    int key = 0;
    Text description;
};

// 34: units abbreviation
struct UnitEntry {
    Line line;
    int key = 0;
    Text name;
    Text description;
};

// The response of a FIR, as blockette 61 in a response or 41 in the
// dictionary holds it (a long one merged from consecutive blockettes).
// Copies share the coefficients: a 41 referred to many times is held once;
// their texts are read from the blockette lines, which the model keeps.
struct Fir {
    Text name;
    char symmetry = 0;
    int input_units = 0, output_units = 0;
    NumberList coefficients;
};

// A polynomial response, as blockette 62 or 42 holds it.
struct Polynomial {
    Text name;  // 42 only
    char transfer_type = 0;
    int input_units = 0, output_units = 0;
    char approximation = 0;
    char frequency_units = 0;
    Number lower_frequency, upper_frequency, lower_bound, upper_bound, max_error;
    SharedList<ValueError> coefficients;  // shared by copies, as a FIR's
};

// 41: FIR dictionary; 42: polynomial dictionary
struct FirBlockette {
    Line line;
    int key = 0;    // 41: response lookup key
    int stage = 0;  // 61: stage sequence number
    Fir fir;
};

struct PolynomialBlockette {
    Line line;
    int key = 0;    // 42
    int stage = 0;  // 62
    Polynomial polynomial;
};

// 50: station identifier
struct StationId {
    Line line;
    std::string station;        // trimmed
    std::string station_field;  // the 5 characters as written
    Number latitude, longitude, elevation;
    int channel_count = 0;
    int comment_count = 0;
    Text site;
    int network_id = 0;
    std::string word_order_32, word_order_16;
    Time start, end;
    char update = 0;
    std::string network;  // trimmed
};

// 51 and 59: station and channel comments
struct Comment {
    Line line;
    Time start, end;
    int key = 0;
    long level = 0;
};

// 52: channel identifier
struct ChannelId {
    Line line;
    std::string location_field;  // the 2 characters as written
    std::string location;        // trimmed
    std::string channel;
    int subchannel = 0;
    int instrument = 0;
    Text remark;
    int signal_units = 0, calibration_units = 0;
    Number latitude, longitude, elevation, depth, azimuth, dip;
    int format = 0;
    int record_length_exponent = 0;
    Number sample_rate, clock_drift;
    int comment_count = 0;
    Text flags;
    Time start, end;
    char update = 0;
};

// 53: poles and zeros
struct PolesZeros {
    Line line;
    char transfer_type = 0;
    int stage = 0;
    int input_units = 0, output_units = 0;
    Number normalization, frequency;
    std::vector<ComplexRoot> zeros, poles;
};

// 54: coefficients
struct Coefficients {
    Line line;
    char response_type = 0;
    int stage = 0;
    int input_units = 0, output_units = 0;
    std::vector<ValueError> numerators, denominators;
};

// 57: decimation
struct Decimation {
    Line line;
    int stage = 0;
    Number input_rate;
    int factor = 0, offset = 0;
    Number delay, correction;
};

// 58: sensitivity/gain
struct Calibration {
    Number sensitivity, frequency;
    Time time;
};
struct Sensitivity {
    Line line;
    int stage = 0;
    Number gain, frequency;
    std::vector<Calibration> history;
};

// 60: response reference
struct Reference {
    struct Stage {
        int stage = 0;
        std::vector<int> keys;
    };
    Line line;
    std::vector<Stage> stages;
};

using Blockette = std::variant<FormatEntry, CommentEntry, Abbreviation, UnitEntry, FirBlockette,
                               PolynomialBlockette, StationId, Comment, ChannelId, PolesZeros, Coefficients,
                               Decimation, Sensitivity, Reference>;

// Every type the header tree holds: 30, 31, 33, 34, 41, 42 (H.A), 50
// (B050), 51 (B051), 52, 53, 54, 57, 58, 60, 61, 62 (B052), 59 (B059).
bool known_type(int type);

// Parses a line of any known type (framing first); 51 and 59 both give a
// Comment, 41 and 61 a FirBlockette, 42 and 62 a PolynomialBlockette.
Blockette parse_blockette(const Line &line);

// A dictionary entry as the response blockette of a stage, for readers
// that do not follow blockette 60: a 41 (one line of it) as a 61 of that
// stage, a 42 as its 62, which has no name field. The fields are the
// entry's text as it stands; the line one the reader has read. Stage 1 to 99.
std::string b061_from_b041(const Line &b041, int stage);
std::string b062_from_b042(const Line &b042, int stage);

FormatEntry parse_b030(const Line &line);
CommentEntry parse_b031(const Line &line);
Abbreviation parse_b033(const Line &line);
UnitEntry parse_b034(const Line &line);
FirBlockette parse_b041(const Line &line);
PolynomialBlockette parse_b042(const Line &line);
StationId parse_b050(const Line &line);
Comment parse_b051(const Line &line);
ChannelId parse_b052(const Line &line);
PolesZeros parse_b053(const Line &line);
Coefficients parse_b054(const Line &line);
Decimation parse_b057(const Line &line);
Sensitivity parse_b058(const Line &line);
Comment parse_b059(const Line &line);
Reference parse_b060(const Line &line);
FirBlockette parse_b061(const Line &line);
PolynomialBlockette parse_b062(const Line &line);

}  // namespace seed
