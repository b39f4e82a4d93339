#include "seed/site/site_pages.hpp"

namespace seed::site_pages {

using html::Attributes;
using html::Writer;

std::string lower(std::string text)
{
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A name not yet in used (compared without case, for file systems that
// ignore it): base, else base-2, base-3, ...
std::string unique_name(const std::string &base, std::set<std::string> &used)
{
    std::string name = base;
    for (int n = 2; !used.insert(lower(name)).second; ++n) name = base + "-" + std::to_string(n);
    return name;
}

// "2003,182,00:00:00" -> "2003-182"; the time of day and fraction only
// when there are any, so that names stay short and stay apart.
std::string start_tag(const Time &start)
{
    std::string t = full_time(start), out = t.substr(0, 4) + "-" + t.substr(5, 3);
    if (t.size() >= 17 && t.compare(9, 8, "00:00:00") != 0)
        out += "-" + t.substr(9, 2) + t.substr(12, 2) + t.substr(15, 2);
    if (t.size() > 17) out += t.substr(17);
    return out;
}

// Numbers as people read them: plain between 0.0001 and ten million,
// else in exponent form; the shortest digits that give the value back.
std::string number_text(double value)
{
    char text[64];
    double a = std::fabs(value);
    auto format = value == 0 || (a >= 1e-4 && a < 1e7) ? std::chars_format::fixed : std::chars_format::scientific;
    auto result = std::to_chars(text, text + sizeof text, value, format);
    return std::string(text, result.ec == std::errc() ? result.ptr : text);
}

// "2003-07-01", "2003-06-30 23:59:59", or "open".
std::string when(const Time &t)
{
    if (open_end(t)) return "open";
    std::string seed = full_time(t), iso;
    if (!xml_date_time(seed, iso) || iso.size() < 20) return seed;
    std::string date = iso.substr(0, 10), clock = iso.substr(11, iso.size() - 12);
    return clock == "00:00:00" ? date : date + " " + clock;
}

std::string relative_source(const Source &source, const std::string &root)
{
    std::string file = source.file;
    if (file.compare(0, root.size() + 1, root + "/") == 0) file = file.substr(root.size() + 1);
    return source.line > 0 ? file + ":" + std::to_string(source.line) : file;
}

std::string plural(std::size_t n, const std::string &one, const std::string &many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string utc_text(long long seconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64] = "";
    if (gmtime_r(&t, &parts)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
    return text;
}


void badge(Writer &out, const Tally &t)
{
    if (t.errors == 0 && t.warnings == 0) {
        out.element("span", "ok", {{"class", "badge ok"}});
        return;
    }
    std::string text;
    if (t.errors) text = plural(t.errors, "error", "errors");
    if (t.warnings) text += (text.empty() ? "" : ", ") + plural(t.warnings, "warning", "warnings");
    out.element("span", text, {{"class", "badge " + t.worst()}});
}

const char *transfer_kind(char type)
{
    switch (type) {
    case 'A': return "Laplace, rad/s";
    case 'B': return "Laplace, Hz";
    case 'C': return "composite";
    case 'D': return "digital";
    default: return "unknown type";
    }
}

std::string filter_type(const Filter &f)
{
    std::string out;
    if (const auto *pz = std::get_if<PolesZeros>(&f.response))
        out = std::string("Poles and zeros (") + transfer_kind(pz->transfer_type) + ")";
    else if (const auto *c = std::get_if<Coefficients>(&f.response))
        out = std::string("Coefficients (") + transfer_kind(c->response_type) + ")";
    else if (const auto *fir = std::get_if<Fir>(&f.response))
        out = std::string("FIR (") +
              (fir->symmetry == 'B' ? "odd symmetry" : fir->symmetry == 'C' ? "even symmetry" : "no symmetry") + ")";
    else
        out = "Polynomial (Maclaurin)";
    if (f.lookup_key) out += ", dictionary key " + std::to_string(*f.lookup_key);
    return out;
}

// The filter's name and size: what tells two filters apart at a glance.
std::string filter_detail(const Filter &f)
{
    if (const auto *pz = std::get_if<PolesZeros>(&f.response))
        return plural(pz->zeros.size(), "zero", "zeros") + ", " + plural(pz->poles.size(), "pole", "poles") +
               "; A0 " + number_text(pz->normalization.value) + " at " + number_text(pz->frequency.value) + " Hz";
    if (const auto *c = std::get_if<Coefficients>(&f.response))
        return plural(c->numerators.size(), "numerator", "numerators") + ", " +
               plural(c->denominators.size(), "denominator", "denominators");
    if (const auto *fir = std::get_if<Fir>(&f.response)) {
        std::size_t taps = expanded_coefficients(*fir).size();
        std::string out = fir->name.text.empty() ? "" : fir->name.text + ": ";
        out += plural(taps, "tap", "taps");
        if (taps != fir->coefficients.size()) out += " (" + std::to_string(fir->coefficients.size()) + " stored)";
        return out;
    }
    const auto &p = std::get<Polynomial>(f.response);
    return (p.name.text.empty() ? "" : p.name.text + ": ") + plural(p.coefficients.size(), "coefficient", "coefficients");
}

}  // namespace seed::site_pages
