#include "importer/xml_guard.hpp"

namespace importer {

bool XmlGuard::refuse(std::string why)
{
    problem_ = std::move(why);
    return false;
}

bool XmlGuard::feed(std::string_view bytes)
{
    if (!problem_.empty()) return false;
    for (char c : bytes)
        if (!step(c)) return false;
    return true;
}

bool XmlGuard::step(char c)
{
    if (c == '\0') return refuse("holds a NUL byte: not XML in UTF-8, which StationXML documents are");
    bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    switch (state_) {
    case State::start:
        if (bom_ < 3 && c == "\xef\xbb\xbf"[bom_]) {
            ++bom_;
            break;
        }
        if (c == '<' && (bom_ == 0 || bom_ == 3)) {
            state_ = State::open;
        } else if (!blank || (bom_ != 0 && bom_ != 3)) {
            return refuse("not well-formed XML: it does not begin with \"<\" in UTF-8, which StationXML documents are");
        }
        bom_ = 3;
        break;
    case State::text:
        if (c == '<') state_ = State::open;
        break;
    case State::open:
        word_.clear();
        ends_ = 0;
        attributes_ = 0;
        state_ = c == '!' ? State::bang : c == '?' ? State::pi : c == '/' ? State::end_tag : State::tag;
        break;
    case State::bang: {
        word_ += c;
        if (word_ == "--") state_ = State::comment;
        else if (word_ == "[CDATA[") state_ = State::cdata;
        else if (word_ == "DOCTYPE") state_ = State::doctype, word_.clear();
        else if (std::string_view("--").rfind(word_, 0) != 0 && std::string_view("[CDATA[").rfind(word_, 0) != 0 &&
                 std::string_view("DOCTYPE").rfind(word_, 0) != 0)
            state_ = State::text;  // not XML: the parser says so
        break;
    }
    case State::comment:
    case State::cdata: {
        char closing = state_ == State::comment ? '-' : ']';
        if (c == '>' && ends_ >= 2) state_ = State::text;
        ends_ = c == closing ? ends_ + 1 : 0;
        break;
    }
    case State::pi:
        if (c == '>' && ends_ == 1) state_ = State::text;
        ends_ = c == '?' ? 1 : 0;
        break;
    case State::doctype:
        if (c == '[')
            return refuse("has a DTD with declarations of its own: StationXML needs none, and entities declared "
                          "there are not expanded");
        if (blank || c == '>' || c == '"' || c == '\'') {
            if (word_ == "SYSTEM" || word_ == "PUBLIC" || c == '"' || c == '\'')
                return refuse("names an external DTD: StationXML needs none, and it is not read");
            word_.clear();
            if (c == '>') state_ = State::text;
        } else if (word_.size() < 16) {
            word_ += c;
        }
        break;
    case State::end_tag:
        if (c == '>') state_ = State::text;
        break;
    case State::tag:
        if (c == '"' || c == '\'') {
            quote_ = c;
            state_ = State::quoted;
        } else if (c == '=' && ++attributes_ > max_attributes) {
            return refuse("an element with more than " + std::to_string(max_attributes) +
                          " attributes: no StationXML element carries so many");
        } else if (c == '>') {
            state_ = State::text;
        }
        break;
    case State::quoted:
        if (c == quote_) state_ = State::tag;
        break;
    }
    if (c == '\n') ++line_;
    return true;
}

}  // namespace importer
