#include "seed/writers/resp.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "seed/files/output_file.hpp"
#include "common/files/pending_files.hpp"

namespace seed {

namespace {

// The tree's text of a number with a sign, as RESP files write them.
std::string value(const Number &n)
{
    if (!n.text.empty() && (n.text[0] == '+' || n.text[0] == '-')) return n.text;
    return "+" + (n.text.empty() ? std::string("0") : n.text.str());
}

// "B053F05     Response in units lookup:              " and the value.
std::string field(const char *tag, const std::string &label, const std::string &text)
{
    std::string out = tag;
    out.resize(12, ' ');
    out += label + ":";
    if (out.size() < 51) out.resize(51, ' ');
    else out += " ";
    return out + text + "\n";
}

std::string units(const Dictionary &d, int key)
{
    if (const UnitEntry *u = d.unit(key)) return u->name.text + " - " + u->description.text;
    return "UNKNOWN - no unit (lookup code " + std::to_string(key) + ")";
}

std::string index_line(const char *tag, std::size_t i)
{
    char text[64];
    std::snprintf(text, sizeof text, "%-11s%4zu", tag, i);
    return text;
}

// Appends the tree's text of a number with a sign, as value() gives it.
void append_value(std::string &out, const Number &n)
{
    std::string_view text = n.text.view();
    if (text.empty()) {
        out += "+0";
        return;
    }
    if (text[0] != '+' && text[0] != '-') out += '+';
    out += text;
}

std::string box(const std::string &title, const ChannelEpoch &e)
{
    std::string text = "|  " + title + ",  " + e.id.channel + "  " + e.station + "." + e.network + "  |";
    std::string rule = "+" + std::string(text.size() - 2, '-') + "+";
    return "#\n#                  " + rule + "\n#                  " + text + "\n#                  " + rule + "\n#\n";
}

const char *transfer_text(char type)
{
    switch (type) {
    case 'A': return "A [Laplace Transform (Rad/sec)]";
    case 'B': return "B [Analog (Hz)]";
    case 'C': return "C [Composite]";
    default: return "D [Digital (Z-transform)]";
    }
}

std::string poles_zeros(const PolesZeros &p, int stage, const Dictionary &d, const ChannelEpoch &e)
{
    std::string out = box("Response (Poles & Zeros)", e);
    out += field("B053F03", "Transfer function type", transfer_text(p.transfer_type));
    out += field("B053F04", "Stage sequence number", std::to_string(stage));
    out += field("B053F05", "Response in units lookup", units(d, p.input_units));
    out += field("B053F06", "Response out units lookup", units(d, p.output_units));
    out += field("B053F07", "A0 normalization factor", value(p.normalization));
    out += field("B053F08", "Normalization frequency", value(p.frequency));
    out += field("B053F09", "Number of zeroes", std::to_string(p.zeros.size()));
    out += field("B053F14", "Number of poles", std::to_string(p.poles.size()));
    auto roots = [&](const std::vector<ComplexRoot> &list, const char *what, const char *tag) {
        out += std::string("#              Complex ") + what + ":\n";
        out += "#              i  real          imag          real_error    imag_error\n";
        for (std::size_t i = 0; i < list.size(); ++i)
            out += index_line(tag, i) + "  " + value(list[i].real) + "  " + value(list[i].imaginary) + "  " +
                   value(list[i].real_error) + "  " + value(list[i].imaginary_error) + "\n";
    };
    roots(p.zeros, "zeroes", "B053F10-13");
    roots(p.poles, "poles", "B053F15-18");
    return out;
}

std::string coefficients(const Coefficients &c, int stage, const Dictionary &d, const ChannelEpoch &e)
{
    std::string out = box("Response (Coefficients)", e);
    out += field("B054F03", "Transfer function type", std::string(1, c.response_type));
    out += field("B054F04", "Stage sequence number", std::to_string(stage));
    out += field("B054F05", "Response in units lookup", units(d, c.input_units));
    out += field("B054F06", "Response out units lookup", units(d, c.output_units));
    out += field("B054F07", "Number of numerators", std::to_string(c.numerators.size()));
    out += field("B054F10", "Number of denominators", std::to_string(c.denominators.size()));
    auto list = [&](const std::vector<ValueError> &values, const char *what, const char *tag) {
        if (values.empty()) return;
        out += std::string("#              ") + what + " coefficients:\n";
        out += "#              i, coefficient, error\n";
        for (std::size_t i = 0; i < values.size(); ++i)
            out += index_line(tag, i) + "  " + value(values[i].value) + "  " + value(values[i].error) + "\n";
    };
    list(c.numerators, "Numerator", "B054F08-09");
    list(c.denominators, "Denominator", "B054F11-12");
    return out;
}

std::string fir(const Fir &f, int stage, const Dictionary &d, const ChannelEpoch &e)
{
    std::string out = box("FIR Response", e);
    out += field("B061F03", "Stage sequence number", std::to_string(stage));
    out += field("B061F04", "Response Name", f.name.text);
    out += field("B061F05", "Symmetry Code", std::string(1, f.symmetry));
    out += field("B061F06", "Response in units lookup", units(d, f.input_units));
    out += field("B061F07", "Response out units lookup", units(d, f.output_units));
    out += field("B061F08", "Number of Coefficients", std::to_string(f.coefficients.size()));
    if (!f.coefficients.empty()) out += "#              Numerator coefficients:\n#              i, coefficient\n";
    // The longest part of most RESP files: each line made in place.
    if (!f.coefficients.empty()) {
        std::string line = index_line("B061F09", 0);
        for (std::size_t i = 0; i < f.coefficients.size(); ++i) {
            if (i > 0 && i < 10000) {
                // "%4zu" of i, as index_line writes it.
                line.resize(11);
                char digits[8];
                std::size_t n = 0;
                for (std::size_t k = i; k > 0; k /= 10) digits[n++] = static_cast<char>('0' + k % 10);
                line.append(4 - n, ' ');
                while (n > 0) line += digits[--n];
            } else if (i > 0) {
                line = index_line("B061F09", i);
            }
            out += line;
            out += "  ";
            append_value(out, f.coefficients[i]);
            out += '\n';
        }
    }
    return out;
}

std::string polynomial(const Polynomial &p, int stage, const Dictionary &d, const ChannelEpoch &e)
{
    std::string out = box("Response (Polynomial)", e);
    out += field("B062F03", "Transfer function type", std::string(1, p.transfer_type) + " [Polynomial]");
    out += field("B062F04", "Stage sequence number", std::to_string(stage));
    out += field("B062F05", "Response in units lookup", units(d, p.input_units));
    out += field("B062F06", "Response out units lookup", units(d, p.output_units));
    out += field("B062F07", "Polynomial Approximation Type", std::string(1, p.approximation));
    out += field("B062F08", "Valid Frequency Units", std::string(1, p.frequency_units));
    out += field("B062F09", "Lower Valid Frequency Bound", value(p.lower_frequency));
    out += field("B062F10", "Upper Valid Frequency Bound", value(p.upper_frequency));
    out += field("B062F11", "Lower Bound of Approximation", value(p.lower_bound));
    out += field("B062F12", "Upper Bound of Approximation", value(p.upper_bound));
    out += field("B062F13", "Maximum Absolute Error", value(p.max_error));
    out += field("B062F14", "Number of coefficients", std::to_string(p.coefficients.size()));
    if (!p.coefficients.empty()) out += "#              Polynomial coefficients:\n#              i, coefficient, error\n";
    for (std::size_t i = 0; i < p.coefficients.size(); ++i)
        out += index_line("B062F15-16", i) + "  " + value(p.coefficients[i].value) + "  " +
               value(p.coefficients[i].error) + "\n";
    return out;
}

std::string decimation(const Decimation &m, int stage, const ChannelEpoch &e)
{
    std::string out = box("Decimation", e);
    out += field("B057F03", "Stage sequence number", std::to_string(stage));
    out += field("B057F04", "Input sample rate (HZ)", value(m.input_rate));
    out += field("B057F05", "Decimation factor", std::to_string(m.factor));
    out += field("B057F06", "Decimation offset", std::to_string(m.offset));
    out += field("B057F07", "Estimated delay (seconds)", value(m.delay));
    out += field("B057F08", "Correction applied (seconds)", value(m.correction));
    return out;
}

std::string gain(const Sensitivity &s, int stage, const ChannelEpoch &e)
{
    bool channel = stage == 0;
    std::string out = box(channel ? "Channel Sensitivity/Gain" : "Channel Gain", e);
    out += field("B058F03", "Stage sequence number", std::to_string(stage));
    out += field("B058F04", channel ? "Sensitivity" : "Gain", value(s.gain));
    out += field("B058F05", channel ? "Frequency of sensitivity" : "Frequency of gain", value(s.frequency) + " HZ");
    out += field("B058F06", "Number of calibrations", std::to_string(s.history.size()));
    if (!s.history.empty())
        out += "#              Calibrations:\n#              i, sensitivity, frequency, time of calibration\n";
    for (std::size_t i = 0; i < s.history.size(); ++i)
        out += index_line("B058F07-09", i) + "  " + value(s.history[i].sensitivity) + "  " +
               value(s.history[i].frequency) + "  " + s.history[i].time.text + "\n";
    return out;
}

}  // namespace

std::string resp_file_name(const ChannelEpoch &e)
{
    return "RESP." + e.network + "." + e.station + "." + e.id.location + "." + e.id.channel;
}

std::string resp_epoch(const ChannelEpoch &e, const Dictionary &d)
{
    std::string out = "#\n###################################################################################\n#\n";
    out += "B050F03     Station:     " + e.station + "\n";
    out += "B050F16     Network:     " + e.network + "\n";
    out += "B052F03     Location:    " + (e.id.location.empty() ? std::string("??") : e.id.location) + "\n";
    out += "B052F04     Channel:     " + e.id.channel + "\n";
    out += "B052F22     Start date:  " + e.id.start.text + "\n";
    out += "B052F23     End date:    " + (e.id.end.open() ? std::string("No Ending Time") : e.id.end.text) + "\n";
    for (const Stage &s : e.stages) {
        for (const Filter &f : s.filters) {
            if (const auto *p = std::get_if<PolesZeros>(&f.response)) out += poles_zeros(*p, s.number, d, e);
            if (const auto *c = std::get_if<Coefficients>(&f.response)) out += coefficients(*c, s.number, d, e);
            if (const auto *r = std::get_if<Fir>(&f.response)) out += fir(*r, s.number, d, e);
            if (const auto *p = std::get_if<Polynomial>(&f.response)) out += polynomial(*p, s.number, d, e);
        }
        if (s.decimation) out += decimation(*s.decimation, s.number, e);
        if (s.sensitivity) out += gain(*s.sensitivity, s.number, e);
    }
    if (e.sensitivity) out += gain(*e.sensitivity, 0, e);
    return out;
}

namespace {

// Where the files of a run are written before any of them is put in
// place: a hidden directory inside DIR, removed however the run ends, and
// DIR itself when this run made it.
class RespWork {
public:
    explicit RespWork(const std::string &dir) : dir_(dir)
    {
        files::SignalsHeld held;
        struct stat st{};
        if (::stat(dir.c_str(), &st) != 0) {
            if (errno != ENOENT || ::mkdir(dir.c_str(), 0777) != 0)
                throw Error(Source{dir, 0}, std::string("cannot make the directory: ") + std::strerror(errno));
            made_ = files::pending_add(dir, files::Pending::empty_dir);
            if (made_ < 0) made_ = -2;  // no guard: still removed on failure below
        } else if (!S_ISDIR(st.st_mode)) {
            throw Error(Source{dir, 0}, "not a directory");
        }
        std::string pattern = dir + "/.resp.XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            int saved = errno;
            undo_made();
            throw Error(Source{dir, 0}, std::string("cannot make a directory for the files: ") + std::strerror(saved));
        }
        path_ = pattern;
        work_ = files::pending_add(path_, files::Pending::tree);
    }
    ~RespWork()
    {
        if (!path_.empty()) files::remove_tree(path_.c_str());
        files::pending_release(work_);
        if (!done_) undo_made();
        else files::pending_release(made_);
    }
    RespWork(const RespWork &) = delete;
    RespWork &operator=(const RespWork &) = delete;

    const std::string &path() const { return path_; }

    // Moves every file into DIR.
    void put_in_place(const std::vector<std::string> &names)
    {
        for (const std::string &name : names)
            if (std::rename((path_ + "/" + name).c_str(), (dir_ + "/" + name).c_str()) != 0)
                throw Error(Source{dir_ + "/" + name, 0}, std::string("cannot put the file in place: ") +
                                                              std::strerror(errno));
        done_ = true;
    }

private:
    void undo_made()
    {
        if (made_ == -1) return;
        ::rmdir(dir_.c_str());
        files::pending_release(made_);
        made_ = -1;
    }

    std::string dir_, path_;
    int made_ = -1, work_ = -1;
    bool done_ = false;
};

}  // namespace

std::vector<std::string> write_resp_files(const std::vector<const ChannelEpoch *> &epochs, const Dictionary &dictionary,
                                          const std::string &dir, Sync sync)
{
    // The epochs of each file; each text is made only as it is written.
    std::map<std::string, std::vector<const ChannelEpoch *>> files;
    std::vector<std::string> names;
    for (const ChannelEpoch *e : epochs) {
        std::string name = resp_file_name(*e);
        auto [it, added] = files.emplace(name, std::vector<const ChannelEpoch *>());
        if (added) names.push_back(name);
        it->second.push_back(e);
    }
    // Only regular files are replaced: a link, a FIFO or a directory of
    // that name is the user's.
    for (const std::string &name : names) {
        struct stat st{};
        std::string path = dir + "/" + name;
        if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            throw Error(Source{path, 0}, "exists and is not a regular file: a RESP file does not replace it");
    }
    // Every file is written before the first is put in place: a run that
    // fails (a full disk) leaves DIR as it was.
    RespWork work(dir);
    for (const std::string &name : names) {
        OutputFile out(work.path() + "/" + name, sync);
        for (const ChannelEpoch *e : files[name]) out.write(resp_epoch(*e, dictionary));
        out.commit();
    }
    work.put_in_place(names);
    return names;
}

}  // namespace seed
