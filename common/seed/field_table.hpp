// The fields of the SEED control blockettes the tool set writes and reads:
// number, name and size of each, one table for the generator's field
// checks, the tree reader's layouts and messages, and the checks' labels.
// Names are SEED's, in lower case; fields 1 (type) and 2 (length) are the
// framing every blockette shares.
//
// A fixed field has a width; a variable field ends with "~" and takes
// between its fewest and most characters (times are variable fields of up
// to 22, the fewest 0 when the time may be open).
#pragma once

#include <cstddef>
#include <string>

namespace seed_field {

struct Field {
    int blockette;
    int field;
    const char *name;
    int width;       // a fixed field's characters; a variable field's most
    int least = -1;  // a variable field's fewest characters; -1: fixed
    constexpr bool variable() const { return least >= 0; }
};

// Blockette by blockette, each from field 3 on without gaps.
inline constexpr Field table[] = {
    {30, 3, "short descriptive name", 50, 1}, {30, 4, "data format identifier code", 4},
    {30, 5, "data family type", 3}, {30, 6, "number of decoder keys", 2}, {30, 7, "decoder keys", 9999, 0},

    {31, 3, "comment code key", 4}, {31, 4, "comment class code", 1}, {31, 5, "description of comment", 70, 1},
    {31, 6, "units of comment level", 3},

    {33, 3, "abbreviation lookup code", 3}, {33, 4, "abbreviation description", 50, 1},

    {34, 3, "unit lookup code", 3}, {34, 4, "unit name", 20, 1}, {34, 5, "unit description", 50, 0},

    {41, 3, "response lookup key", 4}, {41, 4, "response name", 25, 1}, {41, 5, "symmetry code", 1},
    {41, 6, "signal in units", 3}, {41, 7, "signal out units", 3}, {41, 8, "number of factors", 4},
    {41, 9, "FIR coefficient", 14},

    {42, 3, "response lookup key", 4}, {42, 4, "response name", 25, 1}, {42, 5, "transfer function type", 1},
    {42, 6, "stage signal input units", 3}, {42, 7, "stage signal output units", 3},
    {42, 8, "polynomial approximation type", 1}, {42, 9, "valid frequency units", 1},
    {42, 10, "lower valid frequency bound", 12}, {42, 11, "upper valid frequency bound", 12},
    {42, 12, "lower bound of approximation", 12}, {42, 13, "upper bound of approximation", 12},
    {42, 14, "maximum absolute error", 12}, {42, 15, "number of polynomial coefficients", 3},
    {42, 16, "polynomial coefficient", 12}, {42, 17, "polynomial coefficient error", 12},

    {50, 3, "station call letters", 5}, {50, 4, "latitude", 10}, {50, 5, "longitude", 11},
    {50, 6, "elevation", 7}, {50, 7, "number of channels", 4}, {50, 8, "number of station comments", 3},
    {50, 9, "site name", 60, 1}, {50, 10, "network identifier code", 3}, {50, 11, "32 bit word order", 4},
    {50, 12, "16 bit word order", 2}, {50, 13, "start effective date", 22, 1},
    {50, 14, "end effective date", 22, 0}, {50, 15, "update flag", 1}, {50, 16, "network code", 2},

    {51, 3, "beginning effective time", 22, 1}, {51, 4, "end effective time", 22, 0},
    {51, 5, "comment code key", 4}, {51, 6, "comment level", 6},

    {52, 3, "location identifier", 2}, {52, 4, "channel identifier", 3}, {52, 5, "subchannel identifier", 4},
    {52, 6, "instrument identifier", 3}, {52, 7, "optional comment", 30, 0},
    {52, 8, "units of signal response", 3}, {52, 9, "units of calibration input", 3}, {52, 10, "latitude", 10},
    {52, 11, "longitude", 11}, {52, 12, "elevation", 7}, {52, 13, "local depth", 5}, {52, 14, "azimuth", 5},
    {52, 15, "dip", 5}, {52, 16, "data format identifier code", 4}, {52, 17, "data record length", 2},
    {52, 18, "sample rate", 10}, {52, 19, "max clock drift", 10}, {52, 20, "number of comments", 4},
    {52, 21, "channel flags", 26, 0}, {52, 22, "start date", 22, 1}, {52, 23, "end date", 22, 0},
    {52, 24, "update flag", 1},

    {53, 3, "transfer function type", 1}, {53, 4, "stage sequence number", 2},
    {53, 5, "stage signal input units", 3}, {53, 6, "stage signal output units", 3},
    {53, 7, "A0 normalization factor", 12}, {53, 8, "normalization frequency", 12},
    {53, 9, "number of complex zeros", 3}, {53, 10, "real zero", 12}, {53, 11, "imaginary zero", 12},
    {53, 12, "real zero error", 12}, {53, 13, "imaginary zero error", 12}, {53, 14, "number of complex poles", 3},
    {53, 15, "real pole", 12}, {53, 16, "imaginary pole", 12}, {53, 17, "real pole error", 12},
    {53, 18, "imaginary pole error", 12},

    {54, 3, "response type", 1}, {54, 4, "stage sequence number", 2}, {54, 5, "signal input units", 3},
    {54, 6, "signal output units", 3}, {54, 7, "number of numerators", 4}, {54, 8, "numerator coefficient", 12},
    {54, 9, "numerator error", 12}, {54, 10, "number of denominators", 4},
    {54, 11, "denominator coefficient", 12}, {54, 12, "denominator error", 12},

    {57, 3, "stage sequence number", 2}, {57, 4, "input sample rate", 10}, {57, 5, "decimation factor", 5},
    {57, 6, "decimation offset", 5}, {57, 7, "estimated delay", 11}, {57, 8, "correction applied", 11},

    {58, 3, "stage sequence number", 2}, {58, 4, "sensitivity/gain", 12}, {58, 5, "frequency", 12},
    {58, 6, "number of history values", 2}, {58, 7, "sensitivity for calibration", 12},
    {58, 8, "frequency of calibration sensitivity", 12}, {58, 9, "time of above calibration", 22, 1},

    {59, 3, "beginning of effective time", 22, 1}, {59, 4, "end effective time", 22, 0},
    {59, 5, "comment code key", 4}, {59, 6, "comment level", 6},

    {60, 3, "number of stages", 2}, {60, 4, "stage sequence number", 2}, {60, 5, "number of responses", 2},
    {60, 6, "response lookup key", 4},

    {61, 3, "stage sequence number", 2}, {61, 4, "response name", 25, 1}, {61, 5, "symmetry code", 1},
    {61, 6, "signal in units", 3}, {61, 7, "signal out units", 3}, {61, 8, "number of coefficients", 4},
    {61, 9, "FIR coefficient", 14},

    {62, 3, "transfer function type", 1}, {62, 4, "stage sequence number", 2},
    {62, 5, "stage signal input units", 3}, {62, 6, "stage signal output units", 3},
    {62, 7, "polynomial approximation type", 1}, {62, 8, "valid frequency units", 1},
    {62, 9, "lower valid frequency bound", 12}, {62, 10, "upper valid frequency bound", 12},
    {62, 11, "lower bound of approximation", 12}, {62, 12, "upper bound of approximation", 12},
    {62, 13, "maximum absolute error", 12}, {62, 14, "number of polynomial coefficients", 3},
    {62, 15, "polynomial coefficient", 12}, {62, 16, "polynomial coefficient error", 12},
};

inline constexpr Field framing[] = {{0, 1, "blockette type", 3}, {0, 2, "length of blockette", 4}};

// The entry of a blockette's field, or nullptr when the table has none.
// Constant time: the reader asks for every field it takes.
const Field *find(int blockette, int field);
// The same at compile time, for layouts that must agree with the table: a
// copy of the entry, blockette 0 when there is none (a copy, not a pointer:
// the sanitizers' checks of pointers are not constant expressions).
constexpr Field find_constant(int blockette, int field)
{
    for (const Field &f : table)
        if (f.blockette == blockette && f.field == field) return f;
    return Field{0, field, "", 0};
}

// "local depth"; "" for a field the table does not have.
const char *name(int blockette, int field);

// "B052 field 13 (local depth)"
std::string label(int blockette, int field);

// The number of the field of a blockette with this name (the stage sequence
// number is field 3 of some blockettes and 4 of others), or 0.
int number(int blockette, const char *name);

}  // namespace seed_field
