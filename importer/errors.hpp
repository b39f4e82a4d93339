// What can stop an import, by what the program does about it.
//
//   InputError   the document is not what it must be (not XML, not
//                StationXML, schema-invalid, a date or number that does
//                not parse): always fatal, with file and line
//   Unsupported  a value the response tables or their SEED fields cannot
//                hold: fatal, or with --skip-unsupported a warning and
//                the channel (or station) left out
//   Failure      everything else (the database, the output, a unit
//                described two ways, overlapping epochs): fatal
//
// what() is the whole message, without the program's name.
#pragma once

#include <stdexcept>
#include <string>

namespace importer {

// Where something is in an input document.
struct Place {
    std::string file;
    long line = 0;

    std::string text() const { return line > 0 ? file + ":" + std::to_string(line) : file; }
};

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class InputError : public Failure {
public:
    InputError(const Place &place, const std::string &message) : Failure(place.text() + ": " + message) {}
};

class Unsupported : public Failure {
public:
    Unsupported(const Place &place, const std::string &message) : Failure(place.text() + ": " + message) {}
};

}  // namespace importer
