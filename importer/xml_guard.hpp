// A first look at a document's bytes before libxml2 is given them, for
// what its parser would spend memory or time on before anything else sees
// it:
//
//   - a DTD with declarations of its own, or an external one: StationXML
//     needs none, and an entity declared there and used thousands of times
//     expands to gigabytes (libxml2's guard against nested entities does
//     not catch one big entity used often);
//   - an element with more attributes than max_attributes: libxml2 compares
//     each attribute of an element with every other;
//   - a NUL byte, or a first character that is not "<": not XML in UTF-8
//     (or another encoding that keeps ASCII as it is), which is what
//     StationXML documents are and what this look can read.
//
// The bytes come in pieces, as they are read; a bare <!DOCTYPE name> is
// let through.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace importer {

class XmlGuard {
public:
    static constexpr std::size_t max_attributes = 1000;

    // The next bytes of the document; false from the first that is
    // refused on (problem() says why, line() where).
    bool feed(std::string_view bytes);
    const std::string &problem() const { return problem_; }
    long line() const { return line_; }

private:
    enum class State {
        start,      // before the first markup (a BOM, blanks)
        text,
        open,       // after "<"
        bang,       // after "<!": a comment, CDATA or a DOCTYPE
        comment,    // <!-- ... -->
        cdata,      // <![CDATA[ ... ]]>
        pi,         // <? ... ?>
        doctype,    // <!DOCTYPE ... >
        end_tag,    // </ ... >
        tag,        // a start tag, between its attributes
        quoted,     // an attribute value
    };

    bool refuse(std::string why);
    bool step(char c);

    State state_ = State::start;
    std::string word_;  // what follows "<!", or the current word of a DOCTYPE
    std::size_t bom_ = 0;
    std::size_t attributes_ = 0;
    char quote_ = 0;
    int ends_ = 0;  // end characters of a comment, CDATA or PI seen in a row
    long line_ = 1;
    std::string problem_;
};

}  // namespace importer
