#include "seed/writers/xml_writer.hpp"

#include <cstdio>
#include <stdexcept>

namespace seed {
namespace {

// Character data: the markup characters, and the quote as the documents
// always had it.
void escape_text(std::string &out, std::string_view value)
{
    std::size_t from = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char *entity = nullptr;
        switch (value[i]) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case '\r': entity = "&#13;"; break;
        default: continue;
        }
        out.append(value.substr(from, i - from));
        out += entity;
        from = i + 1;
    }
    out.append(value.substr(from));
}

// An attribute value in double quotes: white space other than the blank
// as references, so that a reader gets it back and not normalized; bytes
// beyond ASCII as the character references of their UTF-8.
void escape_attribute(std::string &out, std::string_view value)
{
    for (std::size_t i = 0; i < value.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        switch (c) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        case '"': out += "&quot;"; continue;
        case '\n': out += "&#10;"; continue;
        case '\r': out += "&#13;"; continue;
        case '\t': out += "&#9;"; continue;
        default: break;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        std::size_t length = (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 0;
        if (length == 0 || i + length > value.size()) throw std::invalid_argument("attribute value is not UTF-8");
        unsigned long code = c & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(value[i + k]) & 0x3f);
        char reference[16];
        std::snprintf(reference, sizeof reference, "&#x%lX;", code);
        out += reference;
        i += length - 1;
    }
}

}  // namespace

XmlWriter::XmlWriter(Sink sink) : sink_(std::move(sink))
{
    out_.reserve(block + 4096);
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
}

void XmlWriter::close_tag()
{
    if (!open_.empty() && open_.back().tag_open) {
        out_ += ">\n";
        open_.back().tag_open = false;
    }
}

void XmlWriter::indent()
{
    for (std::size_t k = 1; k < open_.size(); ++k) out_ += "  ";
}

void XmlWriter::start(const char *name)
{
    close_tag();
    open_.push_back({name, true});
    indent();
    out_ += '<';
    out_ += name;
}

void XmlWriter::attribute(const char *name, std::string_view value)
{
    if (open_.empty() || !open_.back().tag_open) throw std::logic_error("an attribute after its element's content");
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    escape_attribute(out_, value);
    out_ += '"';
}

void XmlWriter::text(std::string_view value)
{
    if (open_.empty()) throw std::logic_error("text outside the document element");
    if (open_.back().tag_open) {
        out_ += '>';
        open_.back().tag_open = false;
    }
    indent_end_ = false;
    escape_text(out_, value);
}

void XmlWriter::end()
{
    if (open_.empty()) throw std::logic_error("an end without its start");
    if (open_.back().tag_open) {
        out_ += "/>";
    } else {
        if (indent_end_) indent();
        out_ += "</";
        out_ += open_.back().name;
        out_ += '>';
    }
    indent_end_ = true;
    out_ += '\n';
    open_.pop_back();
    flush_if_full();
}

void XmlWriter::flush()
{
    if (out_.empty()) return;
    sink_(out_);
    out_.clear();
}

void XmlWriter::finish()
{
    while (!open_.empty()) end();
    flush();
}

}  // namespace seed
