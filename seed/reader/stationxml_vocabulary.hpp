// The StationXML words this tool set reads and writes, with the SEED codes
// they stand for, and the lexical forms of its values: one table for both
// directions (seedtree's writer and stationxml2sql's reader).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "seed/reader/inventory.hpp"

namespace seed {

constexpr const char *stationxml_namespace = "http://www.fdsn.org/xml/station/1";

// One StationXML word and the SEED code letter it stands for.
struct Term {
    char code;
    const char *word;
};
using Terms = std::span<const Term>;

// Blockette 52's channel flags as Channel Type, in StationXML's order.
extern const Terms channel_types;
// Blockette 53's transfer function types as PzTransferFunctionType.
extern const Terms pz_transfer_types;
// Blockette 54's response types as CfTransferFunctionType.
extern const Terms cf_transfer_types;
// Blockette 61's symmetry codes (A, B, C) as FIR Symmetry.
extern const Terms fir_symmetries;

// The word of code; nullptr when the table has none.
const char *word_of(Terms terms, char code);
// The code of word (exact spelling); 0 when the table has none.
char code_of(Terms terms, std::string_view word);
// "A, B and D" (last: " and ") or "T, C, H" (last: ", "), for messages.
std::string codes_listed(Terms terms, const char *last);
// "NONE, ODD, EVEN", for messages.
std::string words_listed(Terms terms);

// The number's text when it is an xs:double lexical form (the tree's
// texts are), else the value in shortest round-trip form; both
// independent of the locale.
std::string xml_double(const Number &number);
std::string xml_double(double value);
bool xsd_double_text(std::string_view text);
// A SEED time "YYYY,DDD[,HH[:MM[:SS[.FFFF]]]]" as xs:dateTime in UTC
// ("2003-07-01T00:00:00Z"); false when it has no such form (year 0, a
// leap second).
bool xml_date_time(const std::string &seed_time, std::string &out);
// "YYYY-MM-DDTHH:MM:SS[.fraction]Z" of the fields of a UTC time.
std::string xml_date_time_text(int year, int month, int day, int hour, int minute, int second,
                               const std::string &fraction);
// No end: an empty end, or a year of 2500 or later, as the database
// stores open epochs.
bool open_end(const Time &end);

}  // namespace seed
