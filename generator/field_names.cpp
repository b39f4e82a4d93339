// The names of the blockette fields the generator writes, for messages that
// name a value's field.
#include "generator/record.hpp"

namespace quorvex {
namespace {

struct FieldName {
    int blockette;
    int field;
    const char *name;
};

const FieldName names[] = {
    {30, 3, "short descriptive name"}, {30, 4, "data format identifier code"}, {30, 5, "data family type"},
    {30, 6, "number of decoder keys"}, {30, 7, "decoder keys"},
    {31, 3, "comment code key"}, {31, 4, "comment class code"}, {31, 5, "description of comment"},
    {31, 6, "units of comment level"},
    {33, 3, "abbreviation lookup code"}, {33, 4, "abbreviation description"},
    {34, 3, "unit lookup code"}, {34, 4, "unit name"}, {34, 5, "unit description"},
    {41, 3, "response lookup key"}, {41, 4, "response name"}, {41, 5, "symmetry code"},
    {41, 6, "signal in units"}, {41, 7, "signal out units"}, {41, 8, "number of factors"},
    {41, 9, "FIR coefficient"},
    {42, 3, "response lookup key"}, {42, 4, "response name"}, {42, 5, "transfer function type"},
    {42, 6, "stage signal input units"}, {42, 7, "stage signal output units"},
    {42, 8, "polynomial approximation type"}, {42, 9, "valid frequency units"},
    {42, 10, "lower valid frequency bound"}, {42, 11, "upper valid frequency bound"},
    {42, 12, "lower bound of approximation"}, {42, 13, "upper bound of approximation"},
    {42, 14, "maximum absolute error"}, {42, 15, "number of polynomial coefficients"},
    {42, 16, "polynomial coefficient"}, {42, 17, "polynomial coefficient error"},
    {50, 3, "station call letters"}, {50, 4, "latitude"}, {50, 5, "longitude"}, {50, 6, "elevation"},
    {50, 7, "number of channels"}, {50, 8, "number of station comments"}, {50, 9, "site name"},
    {50, 10, "network identifier code"}, {50, 11, "32 bit word order"}, {50, 12, "16 bit word order"},
    {50, 13, "start effective date"}, {50, 14, "end effective date"}, {50, 15, "update flag"},
    {50, 16, "network code"},
    {51, 3, "beginning effective time"}, {51, 4, "end effective time"}, {51, 5, "comment code key"},
    {51, 6, "comment level"},
    {52, 3, "location identifier"}, {52, 4, "channel identifier"}, {52, 5, "subchannel identifier"},
    {52, 6, "instrument identifier"}, {52, 7, "optional comment"}, {52, 8, "units of signal response"},
    {52, 9, "units of calibration input"}, {52, 10, "latitude"}, {52, 11, "longitude"},
    {52, 12, "elevation"}, {52, 13, "local depth"}, {52, 14, "azimuth"}, {52, 15, "dip"},
    {52, 16, "data format identifier code"}, {52, 17, "data record length"}, {52, 18, "sample rate"},
    {52, 19, "max clock drift"}, {52, 20, "number of comments"}, {52, 21, "channel flags"},
    {52, 22, "start date"}, {52, 23, "end date"}, {52, 24, "update flag"},
    {53, 3, "transfer function type"}, {53, 4, "stage sequence number"}, {53, 5, "stage signal input units"},
    {53, 6, "stage signal output units"}, {53, 7, "AO normalization factor"},
    {53, 8, "normalization frequency"}, {53, 9, "number of complex zeros"}, {53, 10, "real zero"},
    {53, 11, "imaginary zero"}, {53, 12, "real zero error"}, {53, 13, "imaginary zero error"},
    {53, 14, "number of complex poles"}, {53, 15, "real pole"}, {53, 16, "imaginary pole"},
    {53, 17, "real pole error"}, {53, 18, "imaginary pole error"},
    {54, 3, "response type"}, {54, 4, "stage sequence number"}, {54, 5, "signal input units"},
    {54, 6, "signal output units"}, {54, 7, "number of numerators"}, {54, 10, "number of denominators"},
    {57, 3, "stage sequence number"}, {57, 4, "input sample rate"}, {57, 5, "decimation factor"},
    {57, 6, "decimation offset"}, {57, 7, "estimated delay"}, {57, 8, "correction applied"},
    {58, 3, "stage sequence number"}, {58, 4, "sensitivity/gain"}, {58, 5, "frequency"},
    {58, 6, "number of history values"},
    {59, 3, "beginning of effective time"}, {59, 4, "end effective time"}, {59, 5, "comment code key"},
    {59, 6, "comment level"},
    {60, 3, "number of stages"}, {60, 4, "stage sequence number"}, {60, 5, "number of responses"},
    {60, 6, "response lookup key"},
    {61, 3, "stage sequence number"}, {61, 4, "response name"}, {61, 5, "symmetry code"},
    {61, 6, "signal in units"}, {61, 7, "signal out units"}, {61, 8, "number of coefficients"},
    {61, 9, "FIR coefficient"},
    {62, 3, "transfer function type"}, {62, 4, "stage sequence number"}, {62, 5, "stage signal input units"},
    {62, 6, "stage signal output units"}, {62, 7, "polynomial approximation type"},
    {62, 8, "valid frequency units"}, {62, 9, "lower valid frequency bound"},
    {62, 10, "upper valid frequency bound"}, {62, 11, "lower bound of approximation"},
    {62, 12, "upper bound of approximation"}, {62, 13, "maximum absolute error"},
    {62, 14, "number of polynomial coefficients"}, {62, 15, "polynomial coefficient"},
    {62, 16, "polynomial coefficient error"},
};

}  // namespace

const char *field_name(int blockette, int field)
{
    if (field == 1) return "blockette type";
    if (field == 2) return "length of blockette";
    for (const FieldName &n : names)
        if (n.blockette == blockette && n.field == field) return n.name;
    return "";
}

}  // namespace quorvex
