#include "common/db/statement_text.hpp"

#include <cctype>
#include <stdexcept>

namespace rdb {
namespace {

bool is_word_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

bool word_at(const std::string &s, std::size_t pos, const char *word)
{
    std::size_t n = 0;
    for (; word[n]; ++n) {
        if (pos + n >= s.size() ||
            std::tolower(static_cast<unsigned char>(s[pos + n])) != word[n])
            return false;
    }
    if (pos > 0 && is_word_char(s[pos - 1])) return false;
    if (pos + n < s.size() && is_word_char(s[pos + n])) return false;
    return true;
}

// Length of ":bN" at pos, or 0.
std::size_t placeholder_at(const std::string &s, std::size_t pos)
{
    if (pos + 2 >= s.size() || s[pos] != ':' || s[pos + 1] != 'b') return 0;
    std::size_t n = pos + 2;
    while (n < s.size() && std::isdigit(static_cast<unsigned char>(s[n]))) ++n;
    return n > pos + 2 ? n - pos : 0;
}

}  // namespace

int count_placeholders(const std::string &sql)
{
    int count = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (c == '\'') {
            quoted = !quoted;  // a doubled quote toggles twice
        } else if (!quoted && c == ':' && i + 1 < sql.size() &&
                   (std::isalpha(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '_') &&
                   (i == 0 || sql[i - 1] != ':')) {
            ++count;
            ++i;
            while (i + 1 < sql.size() && is_word_char(sql[i + 1])) ++i;
        }
    }
    return count;
}

ParsedStatement parse_statement(const std::string &text)
{
    ParsedStatement parsed;
    bool quoted = false;
    std::size_t into = std::string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'') quoted = !quoted;
        if (!quoted && word_at(text, i, "into")) {
            std::size_t p = i + 4;
            while (p < text.size() && text[p] == ' ') ++p;
            if (placeholder_at(text, p)) {
                into = i;
                break;
            }
        }
    }
    if (into == std::string::npos) {
        parsed.sql = text;
        parsed.inputs = count_placeholders(text);
        return parsed;
    }

    std::size_t p = into + 4;
    while (p < text.size() && text[p] == ' ') ++p;
    for (;;) {
        std::size_t n = placeholder_at(text, p);
        if (!n) throw std::invalid_argument("malformed INTO list in: " + text);
        p += n;
        std::size_t m = placeholder_at(text, p);
        parsed.into_indicator.push_back(m != 0);
        p += m;
        if (p < text.size() && text[p] == ',') {
            ++p;
            continue;
        }
        break;
    }
    parsed.sql = text.substr(0, into) + text.substr(p);
    parsed.inputs = count_placeholders(parsed.sql);
    return parsed;
}

std::string adapt_to_dialect(const std::string &sql, Dialect dialect)
{
    std::string out;
    out.reserve(sql.size() + 16);
    bool quoted = false;        // inside a 'literal'
    bool identifier = false;    // inside a "quoted identifier"
    bool like_pattern = false;  // the next literal is a LIKE pattern
    for (std::size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (c == '\'' && !identifier) {
            out += c;
            // A doubled quote inside a literal is a quote, not its end.
            if (quoted && i + 1 < sql.size() && sql[i + 1] == '\'') {
                out += sql[++i];
                continue;
            }
            quoted = !quoted;
            // PostgreSQL's LIKE takes a backslash as its escape unless told
            // otherwise; SQLite's has none. Without one, a backslash in a
            // pattern matches a backslash on both.
            if (!quoted && like_pattern && dialect == Dialect::postgresql) out += " ESCAPE ''";
            if (!quoted) like_pattern = false;
            continue;
        }
        if (c == '"' && !quoted) identifier = !identifier;
        const bool bare = !quoted && !identifier;
        if (bare && word_at(sql, i, "like")) like_pattern = true;
        if (bare && dialect == Dialect::sqlite && word_at(sql, i, "truetime") && i + 8 < sql.size() &&
            sql[i + 8] == '.') {
            i += 8;  // drop "TRUETIME." and keep the function's own name
            continue;
        }
        // The column is "offset" in lower case however the text spells the
        // bare word: PostgreSQL folds unquoted names to lower case.
        if (bare && dialect == Dialect::postgresql && word_at(sql, i, "offset")) {
            out += "\"offset\"";
            i += 5;
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace rdb
