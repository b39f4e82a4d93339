#include "importer/xml_input.hpp"

#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlschemas.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "seed/reader/message_text.hpp"
#include "seed/reader/stationxml_vocabulary.hpp"
#include "generator/seed_layout.hpp"
#include "importer/xml_guard.hpp"

namespace importer {

namespace {

constexpr int reader_options = XML_PARSE_NONET | XML_PARSE_BIG_LINES;

// libxml2's generic messages (I/O, schema compilation) stay off standard
// error while a reader or schema parser lives; errors come through the
// structured handlers below.
class QuietGeneric {
public:
    QuietGeneric()
    {
        saved_handler_ = xmlGenericError;
        saved_context_ = xmlGenericErrorContext;
        xmlSetGenericErrorFunc(nullptr, quiet);
    }
    ~QuietGeneric() { xmlSetGenericErrorFunc(saved_context_, saved_handler_); }
    QuietGeneric(const QuietGeneric &) = delete;
    QuietGeneric &operator=(const QuietGeneric &) = delete;

private:
    static void quiet(void *, const char *, ...) {}
    xmlGenericErrorFunc saved_handler_ = nullptr;
    void *saved_context_ = nullptr;
};

// The first error libxml2 reports, with its line.
struct FirstError {
    bool set = false;
    bool validity = false;
    long line = 0;
    std::string message;

    static void record(void *context, xmlErrorPtr error)
    {
        auto *self = static_cast<FirstError *>(context);
        if (self->set || !error || error->level < XML_ERR_ERROR) return;
        self->set = true;
        self->validity = error->domain == XML_FROM_SCHEMASV || error->domain == XML_FROM_VALID;
        self->line = error->line;
        std::string m = error->message ? error->message : "unknown error";
        while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
        // libxml2 quotes what it read: a name or text may be long.
        if (m.size() > 200) m = m.substr(0, 200) + "...";
        self->message = m;
    }
};

std::string trim(std::string_view s)
{
    const char *blank = " \t\r\n";
    std::size_t from = s.find_first_not_of(blank);
    if (from == std::string_view::npos) return "";
    std::size_t to = s.find_last_not_of(blank);
    return std::string(s.substr(from, to - from + 1));
}

std::string quoted(const std::string &s) { return seed::quoted_value(s); }

// A file that can be read, before libxml2 tries it (its I/O messages are
// less clear).
void check_readable(const std::string &path)
{
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) throw Failure(path + ": cannot read the file: " + std::strerror(errno));
    std::fclose(f);
}

class Reader {
public:
    // libxml2 gets the file's bytes through read_bytes, past the guard.
    explicit Reader(const InputFile &file) : file_(file), path_(file.path())
    {
        reader_ = xmlReaderForIO(&Reader::read_bytes, nullptr, this, path_.c_str(), nullptr, reader_options);
        if (!reader_) throw Failure(path_ + ": cannot read the file");
        xmlTextReaderSetStructuredErrorHandler(reader_, FirstError::record, &error_);
    }
    ~Reader() { xmlFreeTextReader(reader_); }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    void set_schema(const Schema &schema)
    {
        if (xmlTextReaderSetSchema(reader_, static_cast<xmlSchemaPtr>(schema.handle())) != 0)
            throw Failure(schema.path() + ": the schema cannot be used for validation");
    }

    // The next node; false at the end. InputError when the document breaks.
    bool read()
    {
        int r = xmlTextReaderRead(reader_);
        if (r < 0 || error_.set) fail();
        return r == 1;
    }

    // Past the current node's subtree; false at the end.
    bool next()
    {
        int r = xmlTextReaderNext(reader_);
        if (r < 0 || error_.set) fail();
        return r == 1;
    }

    xmlNodePtr expand()
    {
        xmlNodePtr node = xmlTextReaderExpand(reader_);
        if (!node || error_.set) fail();
        return node;
    }

    [[noreturn]] void fail()
    {
        if (!guard_.problem().empty()) throw InputError(Place{path_, guard_.line()}, guard_.problem());
        if (read_error_) throw Failure(path_ + ": cannot read the file: " + std::strerror(read_error_));
        if (!error_.set) throw InputError(place(), "not well-formed XML (libxml2 stopped here)");
        Place at{path_, error_.line > 0 ? error_.line : line()};
        if (error_.validity) throw InputError(at, "does not validate against the schema: " + error_.message);
        throw InputError(at, "not well-formed XML: " + error_.message);
    }

    void check_validity()
    {
        if (error_.set) fail();
    }

    bool element() const { return xmlTextReaderNodeType(reader_) == XML_READER_TYPE_ELEMENT; }
    bool end_element() const { return xmlTextReaderNodeType(reader_) == XML_READER_TYPE_END_ELEMENT; }
    int depth() const { return xmlTextReaderDepth(reader_); }
    bool empty_element() const { return xmlTextReaderIsEmptyElement(reader_) == 1; }

    std::string local_name() const
    {
        const xmlChar *n = xmlTextReaderConstLocalName(reader_);
        return n ? reinterpret_cast<const char *>(n) : "";
    }

    bool fdsn() const
    {
        const xmlChar *ns = xmlTextReaderConstNamespaceUri(reader_);
        return ns && std::strcmp(reinterpret_cast<const char *>(ns), seed::stationxml_namespace) == 0;
    }

    std::string namespace_uri() const
    {
        const xmlChar *ns = xmlTextReaderConstNamespaceUri(reader_);
        return ns ? reinterpret_cast<const char *>(ns) : "";
    }

    std::optional<std::string> attribute(const char *name) const
    {
        xmlChar *v = xmlTextReaderGetAttribute(reader_, BAD_CAST name);
        if (!v) return std::nullopt;
        std::string out = reinterpret_cast<const char *>(v);
        xmlFree(v);
        return out;
    }

    long line() const
    {
        xmlNodePtr node = xmlTextReaderCurrentNode(reader_);
        long l = node ? xmlGetLineNo(node) : -1;
        return l > 0 ? l : xmlTextReaderGetParserLineNumber(reader_);
    }

    Place place() const { return {path_, line()}; }
    const std::string &path() const { return path_; }

private:
    static int read_bytes(void *context, char *buffer, int length)
    {
        Reader *self = static_cast<Reader *>(context);
        ssize_t n = self->file_.read(buffer, static_cast<std::size_t>(length), self->offset_);
        if (n < 0) {
            self->read_error_ = errno;
            return -1;
        }
        self->offset_ += n;
        if (!self->guard_.feed(std::string_view(buffer, static_cast<std::size_t>(n)))) return -1;
        return static_cast<int>(n);
    }

    const InputFile &file_;
    std::string path_;
    off_t offset_ = 0;
    int read_error_ = 0;
    XmlGuard guard_;
    xmlTextReaderPtr reader_ = nullptr;
    FirstError error_;
};

// The root element: FDSNStationXML of the FDSN namespace, schemaVersion 1.0
// to 1.2.
void check_root(const Reader &r)
{
    if (r.local_name() != "FDSNStationXML" || !r.fdsn())
        throw InputError(r.place(), "not FDSN StationXML: the root element is " + quoted(r.local_name()) +
                                        (r.namespace_uri().empty() ? " without namespace"
                                                                   : " of namespace " + quoted(r.namespace_uri())) +
                                        ", not FDSNStationXML of " + quoted(seed::stationxml_namespace));
    std::string version = trim(r.attribute("schemaVersion").value_or(""));
    if (version != "1.0" && version != "1.1" && version != "1.2")
        throw InputError(r.place(), "FDSNStationXML schemaVersion " + quoted(version) +
                                        ": stationxml2sql reads StationXML 1.0 to 1.2");
}

Instant date_attribute(const std::optional<std::string> &text, const Place &at, const std::string &what,
                       const char *name, Instant absent)
{
    if (!text) return absent;
    std::optional<Instant> t = parse_xml_date_time(trim(*text));
    if (!t)
        throw InputError(at, what + " " + name + " " + quoted(*text) +
                                 " is not a date and time (xs:dateTime, years 1 to 9999)");
    return *t;
}

struct Dates {
    Instant start, end;
    bool open_start, open_end;
};

Dates dates_of(const std::optional<std::string> &start, const std::optional<std::string> &end, const Place &at,
               const std::string &what)
{
    Dates d{date_attribute(start, at, what, "startDate", default_start()),
            date_attribute(end, at, what, "endDate", open_end()), !start, !end};
    if (d.end < d.start)
        throw InputError(at, what + " ends (" + database_date(d.end) + ") before it starts (" +
                                 database_date(d.start) + ")");
    return d;
}

// ---- The DOM of one expanded element ------------------------------------

bool is_fdsn(const xmlNode *n, const char *name)
{
    return n && n->type == XML_ELEMENT_NODE && n->ns && n->ns->href &&
           std::strcmp(reinterpret_cast<const char *>(n->ns->href), seed::stationxml_namespace) == 0 &&
           (!name || std::strcmp(reinterpret_cast<const char *>(n->name), name) == 0);
}

std::vector<const xmlNode *> children(const xmlNode *n, const char *name)
{
    std::vector<const xmlNode *> out;
    for (const xmlNode *c = n->children; c; c = c->next)
        if (is_fdsn(c, name)) out.push_back(c);
    return out;
}

const xmlNode *child(const xmlNode *n, const char *name)
{
    for (const xmlNode *c = n->children; c; c = c->next)
        if (is_fdsn(c, name)) return c;
    return nullptr;
}

std::string content(const xmlNode *n)
{
    xmlChar *c = xmlNodeGetContent(n);
    std::string out = c ? reinterpret_cast<const char *>(c) : "";
    xmlFree(c);
    return trim(out);
}

std::optional<std::string> attribute(const xmlNode *n, const char *name)
{
    xmlChar *v = xmlGetNoNsProp(n, BAD_CAST name);
    if (!v) return std::nullopt;
    std::string out = reinterpret_cast<const char *>(v);
    xmlFree(v);
    return out;
}

class Dom {
public:
    explicit Dom(std::string file) : file_(std::move(file)) {}

    Place at(const xmlNode *n) const { return {file_, xmlGetLineNo(n)}; }

    const xmlNode *required(const xmlNode *parent, const char *name) const
    {
        const xmlNode *c = child(parent, name);
        if (!c)
            throw InputError(at(parent), std::string(reinterpret_cast<const char *>(parent->name)) + " has no " +
                                             name + " (the schema requires one)");
        return c;
    }

    // An xs:double: [+-]? (digits ("." digits*)? | "." digits) ([eE] [+-]? digits)?, INF, -INF or NaN.
    double number_text(const std::string &t, const Place &where, const std::string &what) const
    {
        if (t == "INF" || t == "+INF") return std::numeric_limits<double>::infinity();
        if (t == "-INF") return -std::numeric_limits<double>::infinity();
        if (t == "NaN") return std::numeric_limits<double>::quiet_NaN();
        if (!seed::xsd_double_text(t)) throw InputError(where, what + " " + quoted(t) + " is not a number");
        std::string_view s = t;
        if (s.front() == '+') s.remove_prefix(1);
        double v = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
        // Beyond a double, above or below: any value stored would not be
        // what the digits say.
        if (ec == std::errc::result_out_of_range)
            throw InputError(where, what + " " + quoted(t) + " is beyond the range of a double");
        if (ec != std::errc() || end != s.data() + s.size())
            throw InputError(where, what + " " + quoted(t) + " is not a number");
        return v;
    }

    double number(const xmlNode *n) const { return number_text(content(n), at(n), element_name(n)); }

    double required_number(const xmlNode *parent, const char *name) const { return number(required(parent, name)); }

    double optional_number(const xmlNode *parent, const char *name, double absent) const
    {
        const xmlNode *c = child(parent, name);
        return c ? number(c) : absent;
    }

    long long integer(const xmlNode *n) const
    {
        std::string t = content(n);
        std::string_view s = t;
        if (!s.empty() && s.front() == '+') s.remove_prefix(1);
        long long v = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (ec != std::errc() || end != s.data() + s.size() || s.empty() || s.front() == '+')
            throw InputError(at(n), element_name(n) + " " + quoted(t) + " is not a whole number of 64 bits");
        return v;
    }

    ValueError value_error(const xmlNode *n) const
    {
        ValueError v{number(n), 0};
        for (const char *name : {"plusError", "minusError"})
            if (std::optional<std::string> e = attribute(n, name))
                v.error = std::max(v.error, std::fabs(number_text(trim(*e), at(n), element_name(n) + " " + name)));
        return v;
    }

    Unit unit(const xmlNode *n) const
    {
        Unit u;
        u.name = content(required(n, "Name"));
        if (const xmlNode *d = child(n, "Description")) u.description = content(d);
        u.at = at(n);
        return u;
    }

    static std::string element_name(const xmlNode *n) { return reinterpret_cast<const char *>(n->name); }

    const std::string &file() const { return file_; }

private:
    std::string file_;
};

// A text that says nothing is no text.
std::optional<std::string> not_blank(const std::string &text)
{
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

// A filter's name attribute, surrounding blanks off; none when blank.
std::optional<std::string> name_of(const xmlNode *filter)
{
    std::optional<std::string> name = attribute(filter, "name");
    return name ? not_blank(trim(*name)) : std::nullopt;
}

Comment comment(const Dom &dom, const xmlNode *n, Instant start, Instant end)
{
    Comment c;
    c.at = dom.at(n);
    c.value = content(dom.required(n, "Value"));
    c.begin = start;
    c.end = end;
    if (const xmlNode *b = child(n, "BeginEffectiveTime"))
        c.begin = date_attribute(content(b), dom.at(b), "Comment", "BeginEffectiveTime", start);
    if (const xmlNode *e = child(n, "EndEffectiveTime"))
        c.end = date_attribute(content(e), dom.at(e), "Comment", "EndEffectiveTime", end);
    if (c.end < c.begin)
        throw InputError(c.at, "Comment ends (" + database_date(c.end) + ") before it begins (" +
                                   database_date(c.begin) + ")");
    return c;
}

// ---- Response -------------------------------------------------------------

class ResponseReader {
public:
    ResponseReader(const Dom &dom, ChannelEpoch &c) : dom_(dom), c_(c) {}

    void read(const xmlNode *response)
    {
        std::optional<Unit> sensitivity_input;
        if (const xmlNode *s = child(response, "InstrumentSensitivity")) {
            c_.sensitivity = Gain{dom_.required_number(s, "Value"), dom_.required_number(s, "Frequency")};
            sensitivity_input = dom_.unit(dom_.required(s, "InputUnits"));
        }
        if (const xmlNode *p = child(response, "InstrumentPolynomial")) {
            c_.instrument_polynomial = true;
            if (!sensitivity_input) sensitivity_input = dom_.unit(dom_.required(p, "InputUnits"));
        }
        for (const xmlNode *s : children(response, "Stage")) c_.stages.push_back(stage(s));
        // The generator writes stages by number, whatever their order here.
        std::stable_sort(c_.stages.begin(), c_.stages.end(),
                         [](const Stage &a, const Stage &b) { return a.number < b.number; });
        for (const Stage &s : c_.stages)
            if (s.input) {
                c_.signal = s.input;
                break;
            }
        if (!c_.signal) c_.signal = sensitivity_input;
    }

private:
    std::string where(const Stage &s) const
    {
        return "channel " + c_.codes() + " from " + database_date(c_.start) + ", stage " + std::to_string(s.number);
    }

    Stage stage(const xmlNode *n)
    {
        Stage s;
        s.at = dom_.at(n);
        std::optional<std::string> number = attribute(n, "number");
        long long value = -1;
        if (number) {
            // An xs:integer: a "+" may lead.
            std::string t = trim(*number);
            if (t.size() > 1 && t.front() == '+' && t[1] != '-' && t[1] != '+') t.erase(0, 1);
            auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
            if (ec != std::errc() || end != t.data() + t.size()) value = -1;
        }
        if (value < 0)
            throw InputError(s.at, "Stage number " + quoted(number.value_or("")) + " is not a whole number of 0 or more");
        if (value < 1 || value > 99)
            throw Unsupported(s.at, "channel " + c_.codes() + " from " + database_date(c_.start) + ": stage number " +
                                        std::to_string(value) + " does not fit a SEED stage sequence number (1 to 99)");
        s.number = static_cast<int>(value);
        for (const Stage &other : c_.stages)
            if (other.number == s.number)
                throw InputError(s.at, "channel " + c_.codes() + " from " + database_date(c_.start) + ": stage " +
                                           std::to_string(s.number) + " is given twice (also at line " +
                                           std::to_string(other.at.line) + ")");

        const xmlNode *filter = nullptr;
        for (const char *name : {"PolesZeros", "Coefficients", "ResponseList", "FIR", "Polynomial"})
            if (const xmlNode *f = child(n, name)) {
                filter = f;
                break;
            }
        if (filter) {
            s.input = dom_.unit(dom_.required(filter, "InputUnits"));
            s.output = dom_.unit(dom_.required(filter, "OutputUnits"));
            std::string kind = Dom::element_name(filter);
            if (kind == "PolesZeros") poles_zeros(filter, s);
            else if (kind == "Coefficients") coefficients(filter, s);
            else if (kind == "FIR") fir(filter, s);
            else if (kind == "Polynomial") polynomial(filter, s);
            else s.kind = Stage::Kind::response_list;
        }
        if (const xmlNode *d = child(n, "Decimation")) {
            Decimation m;
            m.input_rate = dom_.required_number(d, "InputSampleRate");
            m.factor = dom_.integer(dom_.required(d, "Factor"));
            m.offset = dom_.integer(dom_.required(d, "Offset"));
            m.delay = dom_.required_number(d, "Delay");
            m.correction = dom_.required_number(d, "Correction");
            s.decimation = m;
        }
        if (const xmlNode *g = child(n, "StageGain"))
            s.gain = Gain{dom_.required_number(g, "Value"), dom_.required_number(g, "Frequency")};
        return s;
    }

    void poles_zeros(const xmlNode *f, Stage &s)
    {
        s.kind = Stage::Kind::poles_zeros;
        std::string type = content(dom_.required(f, "PzTransferFunctionType"));
        PolesZeros &p = s.poles_zeros;
        p.transfer = seed::code_of(seed::pz_transfer_types, type);
        if (!p.transfer)
            throw Unsupported(dom_.at(f), where(s) + ": PzTransferFunctionType " + quoted(type) +
                                              " is none of the types blockette 53 holds (" +
                                              seed::words_listed(seed::pz_transfer_types) + ")");
        p.normalization = dom_.optional_number(f, "NormalizationFactor", 1.0);
        p.frequency = dom_.required_number(f, "NormalizationFrequency");
        for (const auto &[name, roots] : {std::pair{"Zero", &p.zeros}, std::pair{"Pole", &p.poles}})
            for (const xmlNode *r : children(f, name))
                roots->push_back(Root{dom_.value_error(dom_.required(r, "Real")),
                                      dom_.value_error(dom_.required(r, "Imaginary"))});
    }

    void coefficients(const xmlNode *f, Stage &s)
    {
        s.kind = Stage::Kind::coefficients;
        std::string type = content(dom_.required(f, "CfTransferFunctionType"));
        s.coefficients_type = seed::code_of(seed::cf_transfer_types, type);
        if (!s.coefficients_type)
            throw Unsupported(dom_.at(f), where(s) + ": CfTransferFunctionType " + quoted(type) + " is none of " +
                                              seed::words_listed(seed::cf_transfer_types));
        s.has_denominators = !children(f, "Denominator").empty();
        std::vector<const xmlNode *> numerators = children(f, "Numerator");
        if (numerators.empty()) return;
        CoefficientSet set;
        set.name = name_of(f);
        for (const xmlNode *x : numerators) set.coefficients.push_back(dom_.value_error(x));
        s.coefficients = std::move(set);
    }

    void fir(const xmlNode *f, Stage &s)
    {
        s.kind = Stage::Kind::coefficients;
        CoefficientSet set;
        set.name = name_of(f);
        std::string symmetry = content(dom_.required(f, "Symmetry"));
        char code = seed::code_of(seed::fir_symmetries, symmetry);
        if (!code)
            throw InputError(dom_.at(f), where(s) + ": FIR Symmetry " + quoted(symmetry) + " is none of " +
                                             seed::words_listed(seed::fir_symmetries));
        set.symmetry = quorvex::database_symmetry(code);
        for (const xmlNode *x : children(f, "NumeratorCoefficient"))
            set.coefficients.push_back(ValueError{dom_.number(x), 0});
        s.coefficients = std::move(set);
    }

    void polynomial(const xmlNode *f, Stage &s)
    {
        s.kind = Stage::Kind::polynomial;
        Polynomial &p = s.polynomial;
        p.name = name_of(f);
        if (const xmlNode *a = child(f, "ApproximationType")) {
            std::string type = content(a);
            if (type != "MACLAURIN")
                throw Unsupported(dom_.at(a), where(s) + ": ApproximationType " + quoted(type) +
                                                  " is not MACLAURIN, the one blockette 62 holds");
        }
        p.lower_bound = dom_.required_number(f, "ApproximationLowerBound");
        p.upper_bound = dom_.required_number(f, "ApproximationUpperBound");
        p.max_error = dom_.required_number(f, "MaximumError");
        for (const xmlNode *x : children(f, "Coefficient")) p.coefficients.push_back(dom_.number(x));
    }

    const Dom &dom_;
    ChannelEpoch &c_;
};


ChannelEpoch parse_channel(const Dom &dom, const xmlNode *n, const StationEpoch &station, const EpochIndex &index)
{
    ChannelEpoch c;
    c.at = dom.at(n);
    c.network = station.network;
    c.station = station.station;
    c.channel = trim(attribute(n, "code").value_or(""));
    c.location = trim(attribute(n, "locationCode").value_or(""));
    Dates d = dates_of(attribute(n, "startDate"), attribute(n, "endDate"), c.at, "Channel " + c.codes());
    c.start = d.start;
    c.open_start = d.open_start;
    c.open_end = d.open_end;
    c.end = index.end_of(c.codes(), d.start);
    if (const xmlNode *x = child(n, "Description")) c.remark = content(x);
    for (const xmlNode *x : children(n, "Comment")) c.comments.push_back(comment(dom, x, c.start, c.end));
    c.latitude = dom.required_number(n, "Latitude");
    c.longitude = dom.required_number(n, "Longitude");
    c.elevation = dom.required_number(n, "Elevation");
    c.depth = dom.required_number(n, "Depth");
    c.azimuth = dom.optional_number(n, "Azimuth", 0);
    c.dip = dom.optional_number(n, "Dip", 0);
    for (const xmlNode *t : children(n, "Type")) {
        std::string type = content(t);
        char flag = seed::code_of(seed::channel_types, type);
        if (!flag)
            throw Unsupported(dom.at(t), "channel " + c.codes() + " from " + database_date(c.start) + ": Type " + quoted(type) +
                                             " has no SEED channel flag");
        if (c.flags.find(flag) == std::string::npos) c.flags += flag;
    }
    c.sample_rate = dom.optional_number(n, "SampleRate", 0);
    c.clock_drift = dom.optional_number(n, "ClockDrift", 0);
    if (const xmlNode *u = child(n, "CalibrationUnits")) c.calibration = dom.unit(u);
    if (const xmlNode *s = child(n, "Sensor"))
        if (const xmlNode *x = child(s, "Description")) c.sensor = not_blank(content(x));
    if (const xmlNode *r = child(n, "Response")) ResponseReader(dom, c).read(r);
    return c;
}

}  // namespace

// ---- Schema ------------------------------------------------------------------

Schema::Schema(const std::string &path) : path_(path)
{
    check_readable(path);
    QuietGeneric quiet;
    FirstError error;
    xmlSchemaParserCtxtPtr context = xmlSchemaNewParserCtxt(path.c_str());
    if (!context) throw Failure(path + ": cannot read the schema");
    xmlSchemaSetParserStructuredErrors(context, FirstError::record, &error);
    schema_ = xmlSchemaParse(context);
    xmlSchemaFreeParserCtxt(context);
    if (!schema_)
        throw InputError(Place{path, error.line},
                         "not a schema libxml2 can use: " + (error.set ? error.message : std::string("unknown error")));
}

Schema::~Schema() { xmlSchemaFree(static_cast<xmlSchemaPtr>(schema_)); }

// ---- EpochIndex ----------------------------------------------------------------

void EpochIndex::add(const std::string &key, Instant start, Instant end, const Place &at)
{
    std::vector<Epoch> &list = epochs_[key];
    for (Epoch &e : list)
        if (e.start == start && e.end == end) {
            ++e.count;
            return;
        }
    list.push_back(Epoch{start, end, end, at, 1});
}

void EpochIndex::settle()
{
    for (auto &[key, list] : epochs_) {
        std::sort(list.begin(), list.end(),
                  [](const Epoch &a, const Epoch &b) { return a.start != b.start ? a.start < b.start : a.end < b.end; });
        for (Epoch &e : list)
            for (const Epoch &other : list)
                if (&other != &e && other.start == e.end && e.start < e.end) {
                    e.stored_end = e.end - 1;
                    ++adjusted_;
                    break;
                }
        const Epoch *latest = nullptr;  // the epoch reaching furthest so far
        for (const Epoch &e : list) {
            if (latest && e.start <= latest->stored_end) {
                const std::string what = std::count(key.begin(), key.end(), '.') == 1 ? "station " : "channel ";
                throw Failure(e.at.text() + ": " + what + key + " from " + database_date(e.start) + " to " +
                              database_date(e.end) + " overlaps its epoch from " + database_date(latest->start) +
                              " to " + database_date(latest->end) + " at " + latest->at.text() +
                              "; the generator would find both at once");
            }
            if (!latest || e.stored_end > latest->stored_end) latest = &e;
        }
    }
}

Instant EpochIndex::end_of(const std::string &key, Instant start) const
{
    for (const Epoch &e : epochs_.at(key))
        if (e.start == start) return e.stored_end;
    throw Failure("internal error: epoch " + key + " from " + database_date(start) + " was not indexed");
}

bool EpochIndex::repeated(const std::string &key, Instant start) const
{
    for (const Epoch &e : epochs_.at(key))
        if (e.start == start) return e.count > 1;
    return false;
}

// ---- Pass 1 ------------------------------------------------------------------

void index_document(const InputFile &file, const Schema *schema, EpochIndex &index)
{
    const std::string &path = file.path();
    QuietGeneric quiet;
    Reader r(file);
    if (schema) r.set_schema(*schema);
    bool root_seen = false;
    std::string network, station;
    while (r.read()) {
        if (!r.element()) continue;
        if (!root_seen) {
            check_root(r);
            root_seen = true;
            continue;
        }
        if (!r.fdsn()) continue;
        const std::string name = r.local_name();
        const int depth = r.depth();
        if (depth == 1 && name == "Network") {
            network = trim(r.attribute("code").value_or(""));
        } else if (depth == 2 && name == "Station") {
            station = trim(r.attribute("code").value_or(""));
            const std::string key = network + "." + station;
            Dates d = dates_of(r.attribute("startDate"), r.attribute("endDate"), r.place(), "Station " + key);
            index.add(key, d.start, d.end, r.place());
        } else if (depth == 3 && name == "Channel") {
            const std::string key = network + "." + station + "." + trim(r.attribute("locationCode").value_or("")) +
                                    "." + trim(r.attribute("code").value_or(""));
            Dates d = dates_of(r.attribute("startDate"), r.attribute("endDate"), r.place(), "Channel " + key);
            index.add(key, d.start, d.end, r.place());
        }
    }
    if (!root_seen) throw InputError(Place{path, 0}, "not FDSN StationXML: the file holds no element");
    r.check_validity();
}

// ---- Pass 2 ------------------------------------------------------------------

namespace {

// The second pass over one document: stations and channels handed to the
// handler in document order.
class DocumentPass {
public:
    DocumentPass(const InputFile &file, const EpochIndex &index, DocumentHandler &handler)
        : r_(file), dom_(file.path()), index_(index), handler_(handler)
    {
    }

    void run()
    {
        bool more = r_.read();
        while (more) more = step();
    }

private:
    // One node; whether the document goes on.
    bool step()
    {
        if (r_.end_element() && r_.depth() == 2 && r_.fdsn() && r_.local_name() == "Station") {
            give_station();
            station_.reset();
            return r_.read();
        }
        if (!r_.element() || !r_.fdsn()) return r_.read();
        const std::string name = r_.local_name();
        const int depth = r_.depth();
        if (depth == 1 && name == "Network") {
            network_ = trim(r_.attribute("code").value_or(""));
            network_description_.reset();
        } else if (depth == 2 && name == "Description") {
            network_description_ = not_blank(content(r_.expand()));
            return r_.next();
        } else if (depth == 2 && name == "Station") {
            start_station();
        } else if (depth == 3 && station_) {
            if (name == "Channel")
                channel();
            else
                station_element(name);
            return r_.next();
        }
        return r_.read();
    }

    void start_station()
    {
        StationEpoch s;
        s.at = r_.place();
        s.network = network_;
        s.station = trim(r_.attribute("code").value_or(""));
        Dates d = dates_of(r_.attribute("startDate"), r_.attribute("endDate"), s.at, "Station " + s.codes());
        s.start = d.start;
        s.end = index_.end_of(s.codes(), d.start);
        s.open_start = d.open_start;
        s.open_end = d.open_end;
        s.network_description = network_description_;
        station_ = std::move(s);
        station_given_ = station_left_out_ = false;
        std::fill(std::begin(has_), std::end(has_), false);
        if (r_.empty_element()) {
            give_station();
            station_.reset();
        }
    }

    // An element of the station's own, before its channels.
    void station_element(const std::string &name)
    {
        xmlNodePtr node = r_.expand();
        if (name == "Latitude") station_->latitude = dom_.number(node), has_[0] = true;
        else if (name == "Longitude") station_->longitude = dom_.number(node), has_[1] = true;
        else if (name == "Elevation") station_->elevation = dom_.number(node), has_[2] = true;
        else if (name == "Site") station_->site = content(dom_.required(node, "Name")), has_[3] = true;
        else if (name == "Comment") station_->comments.push_back(comment(dom_, node, station_->start, station_->end));
    }

    void channel()
    {
        give_station();
        if (station_left_out_) return;
        xmlNodePtr node = r_.expand();
        try {
            handler_.channel(parse_channel(dom_, node, *station_, index_));
        } catch (const Unsupported &e) {
            handler_.unsupported_channel(e);
        }
    }

    // The station being read goes to the handler before its first channel
    // (StationXML puts the station's own elements first), or at its end
    // when it has none.
    void give_station()
    {
        if (!station_ || station_given_) return;
        station_given_ = true;
        const char *names[] = {"Latitude", "Longitude", "Elevation", "Site"};
        for (int k = 0; k < 4; ++k)
            if (!has_[k])
                throw InputError(station_->at, "Station " + station_->codes() + " has no " + names[k] +
                                                   " before its first Channel (the schema requires one)");
        try {
            handler_.station(*station_);
        } catch (const Unsupported &e) {
            station_left_out_ = true;
            handler_.unsupported_station(e);
        }
    }

    QuietGeneric quiet_;
    Reader r_;
    Dom dom_;
    const EpochIndex &index_;
    DocumentHandler &handler_;
    std::string network_;
    std::optional<std::string> network_description_;
    std::optional<StationEpoch> station_;
    bool station_given_ = false, station_left_out_ = false;
    bool has_[4] = {};  // Latitude, Longitude, Elevation, Site
};

}  // namespace

void read_document(const InputFile &file, const EpochIndex &index, DocumentHandler &handler)
{
    DocumentPass(file, index, handler).run();
}

}  // namespace importer
