// The markup of the network site: one escaping routine, a writer that
// escapes every text and attribute value through it and checks nesting,
// and the names and links of the site's files.
//
// Pages are HTML5 written so that they are well-formed XML as well
// (every element closed, void elements as <meta />, only the entities
// XML knows): any XML or HTML parser reads them the same way.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace seed::html {

// The one escaping routine of the site: &, <, >, " and ' as character
// references, for text and attribute values alike.
std::string escape(std::string_view text);

// A relative link from a path of the site's files: every byte but letters,
// digits, "-", ".", "_", "~" and "/" percent-encoded, so that no name can
// turn into a query, a fragment or a scheme.
std::string url_path(std::string_view path);

// A file name made of any text: letters, digits, "-" and "_" are kept, a
// "." unless it comes first or after another "."; every other byte
// becomes "_". Never empty, never "." or "..", no "/", no leading dot, at
// most 120 bytes.
std::string file_name(std::string_view text);

// The link from the page at path `from` to the file at path `to`, both
// relative to the site's root ("HILL.XY/index.html" to "style.css" is
// "../style.css").
std::string relative_link(std::string_view from, std::string_view to);

using Attributes = std::vector<std::pair<std::string_view, std::string>>;

// Builds markup: tag and attribute names come from the program, every
// text and attribute value goes through escape(). close() must name the
// element that is open (std::logic_error otherwise), so that a page is
// either well nested or not written at all.
class Writer {
public:
    void open(std::string_view tag, const Attributes &attributes = {});
    void close(std::string_view tag);
    // An element without content, <tag ... />: void elements (meta, link,
    // img, br, ...) and SVG shapes only.
    void empty(std::string_view tag, const Attributes &attributes = {});
    // <tag ...>text</tag>
    void element(std::string_view tag, std::string_view text, const Attributes &attributes = {});
    void text(std::string_view text);
    void line() { out_ += '\n'; }
    // Markup written before, by another Writer (whose elements are closed).
    void append(const Writer &other);

    // The markup; std::logic_error when an element is still open.
    const std::string &str() const;

private:
    void start(std::string_view tag, const Attributes &attributes);
    std::string out_;
    std::vector<std::string> open_;
};

}  // namespace seed::html
