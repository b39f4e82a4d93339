#include "seed/site/site_html.hpp"

#include <stdexcept>

namespace seed::html {

std::string escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

namespace {

bool letter_or_digit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

std::string url_path(std::string_view path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : path) {
        if (letter_or_digit(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += c;
        } else {
            auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

std::string file_name(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (out.size() >= 120) break;
        if (letter_or_digit(c) || c == '-' || c == '_')
            out += c;
        else if (c == '.' && !out.empty() && out.back() != '.')
            out += c;
        else
            out += '_';
    }
    return out.empty() ? "_" : out;
}

std::string relative_link(std::string_view from, std::string_view to)
{
    // Directories that from and to share are left out; each other
    // directory of from is one step up.
    std::size_t common = 0;
    for (std::size_t i = 0; i < from.size() && i < to.size() && from[i] == to[i]; ++i)
        if (from[i] == '/') common = i + 1;
    std::string up;
    for (std::size_t i = common; i < from.size(); ++i)
        if (from[i] == '/') up += "../";
    return url_path(up + std::string(to.substr(common)));
}

void Writer::start(std::string_view tag, const Attributes &attributes)
{
    out_ += '<';
    out_ += tag;
    for (const auto &[name, value] : attributes) {
        out_ += ' ';
        out_ += name;
        out_ += "=\"";
        out_ += escape(value);
        out_ += '"';
    }
}

void Writer::open(std::string_view tag, const Attributes &attributes)
{
    start(tag, attributes);
    out_ += '>';
    open_.emplace_back(tag);
}

void Writer::close(std::string_view tag)
{
    if (open_.empty() || open_.back() != tag)
        throw std::logic_error("markup: </" + std::string(tag) + "> closes " +
                               (open_.empty() ? std::string("nothing") : "<" + open_.back() + ">"));
    open_.pop_back();
    out_ += "</";
    out_ += tag;
    out_ += '>';
}

void Writer::empty(std::string_view tag, const Attributes &attributes)
{
    // HTML reads "<div />" as an open <div>: only void and SVG elements end in "/>".
    static const std::string_view allowed[] = {"meta", "link", "img",  "br",   "hr",      "wbr",
                                               "line", "rect", "circle", "path", "polyline", "polygon"};
    bool known = false;
    for (std::string_view a : allowed) known = known || a == tag;
    if (!known) throw std::logic_error("markup: <" + std::string(tag) + " /> is not an element without content");
    start(tag, attributes);
    out_ += " />";
}

void Writer::element(std::string_view tag, std::string_view text, const Attributes &attributes)
{
    open(tag, attributes);
    out_ += escape(text);
    close(tag);
}

void Writer::text(std::string_view text) { out_ += escape(text); }

void Writer::append(const Writer &other) { out_ += other.str(); }

const std::string &Writer::str() const
{
    if (!open_.empty()) throw std::logic_error("markup: <" + open_.back() + "> is not closed");
    return out_;
}

}  // namespace seed::html
