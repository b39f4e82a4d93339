#include "seed/analysis/plot.hpp"

#include <fcntl.h>
#include <signal.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "seed/reader/epochs.hpp"
#include "seed/reader/message_text.hpp"
#include "seed/analysis/response.hpp"

extern char **environ;

namespace seed {

namespace {

// A text as a gnuplot string expression that gives it back exactly. In
// single quotes nothing is expanded (a backquote in double quotes runs a
// shell command), but gnuplot misreads a doubled quote at the start or
// next to another: every quote goes on its own, "'", joined with ".".
std::string quoted(const std::string &text)
{
    std::string out, run;
    auto flush = [&] {
        if (!run.empty()) out += (out.empty() ? "'" : ".'") + run + "'";
        run.clear();
    };
    for (char c : text) {
        if (c != '\'') {
            run += c;
            continue;
        }
        flush();
        out += out.empty() ? "\"'\"" : ".\"'\"";
    }
    flush();
    return out.empty() ? "''" : out;
}

// As "%.10g" writes it.
std::string number(double value)
{
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 10);
    return std::string(text, result.ptr);
}

std::string lower(std::string text)
{
    for (char &c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// Distinct colours that stay apart in print.
const char *const colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e",
                               "#8c564b", "#e377c2", "#17becf", "#7f7f7f", "#bcbd22"};

std::string colour(std::size_t i) { return colours[i % (sizeof colours / sizeof *colours)]; }

// Pixels of the drawing a unit of each axis spans, about: the panels are
// some 975 pixels wide and 330 high. Tolerances below are in pixels.
constexpr double panel_width = 975, panel_height = 330, thinning_tolerance = 0.1;

struct Point {
    double x, y;  // the axis's own: log10 of frequency, log10 of amplitude or degrees
};

// Marks the points of [first, last] that a line drawn through the kept
// ones needs (Douglas-Peucker, in pixels): the ends, and every point
// farther than the tolerance from the chord of its neighbours kept.
void mark_needed(const std::vector<Point> &p, std::size_t first, std::size_t last, double sx, double sy,
                 std::vector<bool> &keep)
{
    keep[first] = keep[last] = true;
    if (last <= first + 1) return;
    double dx = (p[last].x - p[first].x) * sx, dy = (p[last].y - p[first].y) * sy;
    double length = std::hypot(dx, dy);
    double worst = -1;
    std::size_t at = first;
    for (std::size_t i = first + 1; i < last; ++i) {
        double ex = (p[i].x - p[first].x) * sx, ey = (p[i].y - p[first].y) * sy;
        double d = length > 0 ? std::fabs(ex * dy - ey * dx) / length : std::hypot(ex, ey);
        if (d > worst) {
            worst = d;
            at = i;
        }
    }
    if (worst <= thinning_tolerance) return;
    mark_needed(p, first, at, sx, sy, keep);
    mark_needed(p, at, last, sx, sy, keep);
}

// The points a line needs, of a run drawn without a break; the highest and
// lowest always, so that the axes' ranges stay as they were.
std::vector<bool> needed(const std::vector<Point> &p, double sx, double sy)
{
    std::vector<bool> keep(p.size(), false);
    if (p.empty()) return keep;
    mark_needed(p, 0, p.size() - 1, sx, sy, keep);
    auto [low, high] = std::minmax_element(p.begin(), p.end(), [](const Point &a, const Point &b) { return a.y < b.y; });
    keep[static_cast<std::size_t>(low - p.begin())] = keep[static_cast<std::size_t>(high - p.begin())] = true;
    return keep;
}

// One run of points as data lines, thinned when scales are given.
void add_run(std::string &block, const std::vector<Point> &run, const std::vector<double> &f,
             const std::vector<double> &v, bool thin, double sx, double sy)
{
    std::vector<bool> keep = thin ? needed(run, sx, sy) : std::vector<bool>(run.size(), true);
    for (std::size_t i = 0; i < run.size(); ++i)
        if (keep[i]) block += number(f[i]) + " " + number(v[i]) + "\n";
}

// The curve's points as gnuplot data blocks: $ampN (frequency,
// amplitude) and $phaseN (frequency, phase), the phase broken by a blank
// line where it wraps. Points that a log axis cannot show are left out.
std::string data_blocks(const PlotCurve &c, std::size_t index, PlotPoints points)
{
    std::vector<double> f, amplitude, phase;
    for (std::size_t i = 0; i < c.frequencies.size() && i < c.response.size(); ++i) {
        double a = std::abs(c.response[i]);
        double p = std::arg(c.response[i]) * 180 / std::numbers::pi;
        if (!(a > 0) || !std::isfinite(a) || !std::isfinite(p) || !(c.frequencies[i] > 0)) continue;
        f.push_back(c.frequencies[i]);
        amplitude.push_back(a);
        phase.push_back(p);
    }
    bool thin = points == PlotPoints::thinned && f.size() > 2;
    // Scales from axis units to pixels, as the panels span the data.
    double sx = 0, sy = 0;
    std::vector<Point> amplitude_run, phase_run;
    for (std::size_t i = 0; i < f.size(); ++i) amplitude_run.push_back({std::log10(f[i]), std::log10(amplitude[i])});
    if (thin) {
        auto [xl, xh] = std::minmax({amplitude_run.front().x, amplitude_run.back().x});
        auto [yl, yh] = std::minmax_element(amplitude_run.begin(), amplitude_run.end(),
                                            [](const Point &a, const Point &b) { return a.y < b.y; });
        sx = xh > xl ? panel_width / (xh - xl) : 0;
        sy = yh->y > yl->y ? panel_height / (yh->y - yl->y) : 0;
    }
    std::string amplitude_block = "$amp" + std::to_string(index) + " << EOD\n";
    add_run(amplitude_block, amplitude_run, f, amplitude, thin, sx, sy);
    std::string phase_block = "$phase" + std::to_string(index) + " << EOD\n";
    // The phase in runs between its wraps; its panel spans 360 degrees.
    std::vector<double> run_f, run_phase;
    auto flush = [&] {
        add_run(phase_block, phase_run, run_f, run_phase, thin, sx, panel_height / 360);
        phase_run.clear();
        run_f.clear();
        run_phase.clear();
    };
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (i > 0 && std::fabs(phase[i] - phase[i - 1]) > 180) {
            flush();
            phase_block += "\n";
        }
        phase_run.push_back({amplitude_run[i].x, phase[i]});
        run_f.push_back(f[i]);
        run_phase.push_back(phase[i]);
    }
    flush();
    return amplitude_block + "EOD\n" + phase_block + "EOD\n";
}

std::string terminal(PlotFormat format)
{
    return format == PlotFormat::png ? "set terminal pngcairo size 1100,850 font 'Sans,10' noenhanced\n"
                                     : "set terminal svg size 1100,850 font 'Sans,10' noenhanced\n";
}

// The script of one plot after its terminal is set.
std::string plot_commands(const std::vector<PlotCurve> &curves, const std::string &title, PlotPoints points);

}  // namespace

PlotFormat plot_format_of(const std::string &path)
{
    std::size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? "" : lower(path.substr(dot));
    if (extension == ".png") return PlotFormat::png;
    if (extension == ".svg") return PlotFormat::svg;
    throw Error("the plot file must end in .png or .svg, not " + quoted_value(path));
}

std::string bode_script(const std::vector<PlotCurve> &curves, const std::string &title, PlotFormat format)
{
    return terminal(format) + plot_commands(curves, title, PlotPoints::all);
}

namespace {

std::string plot_commands(const std::vector<PlotCurve> &curves, const std::string &title, PlotPoints points)
{
    std::string s;
    for (std::size_t i = 0; i < curves.size(); ++i) s += data_blocks(curves[i], i, points);
    // Both panels span the frequencies and every Nyquist line, with room to show the last.
    double low = 0, high = 0;
    for (const PlotCurve &c : curves) {
        for (double f : c.frequencies)
            if (f > 0) {
                low = low > 0 ? std::min(low, f) : f;
                high = std::max(high, f);
            }
        if (c.nyquist && *c.nyquist > 0) high = std::max(high, *c.nyquist);
    }
    std::string xrange = low > 0 && high > low ? "set xrange [" + number(low) + ":" + number(high * 1.3) + "]\n" : "";

    bool same_units = std::all_of(curves.begin(), curves.end(),
                                  [&](const PlotCurve &c) { return c.units == curves.front().units; });
    std::string units = curves.empty() || !same_units ? "output/input units, see legend" : curves.front().units;

    // Nyquist lines: one per distinct frequency, in the colour of the first curve that has it.
    std::vector<double> drawn;
    std::string nyquist_lines;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        if (!curves[i].nyquist || !(*curves[i].nyquist > 0)) continue;
        double n = *curves[i].nyquist;
        if (std::find(drawn.begin(), drawn.end(), n) != drawn.end()) continue;
        drawn.push_back(n);
        nyquist_lines += "set arrow from " + number(n) + ", graph 0 to " + number(n) +
                         ", graph 1 nohead dashtype 2 linewidth 1.5 linecolor rgb '" + colour(i) + "'\n";
        nyquist_lines += "set label " + quoted("Nyquist " + number(n) + " Hz") + " at " + number(n) +
                         ", graph 0.04 right offset -0.5,0 textcolor rgb '" + colour(i) + "'\n";
    }

    s += "set multiplot layout 2,1 title " + quoted(title) + " font 'Sans,13'\n";
    s += "set logscale x\nset grid xtics ytics mxtics\nset format x '%g'\n" + xrange;
    s += "set lmargin 14\nset rmargin 4\n";
    // Amplitude.
    s += "set logscale y\nset format y '%.0e'\n";
    s += "set ylabel " + quoted("Amplitude (" + units + ")") + "\n";
    s += "set xlabel 'Frequency (Hz)'\n";
    s += "set key outside top center horizontal box\n";
    s += nyquist_lines;
    std::string plot;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        std::string label = curves[i].label + (same_units ? "" : " (" + curves[i].units + ")");
        plot += std::string(plot.empty() ? "plot " : ", ") + "$amp" + std::to_string(i) +
                " using 1:2 with lines linewidth 2 linecolor rgb '" + colour(i) + "' title " + quoted(label);
    }
    bool marked = false;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const PlotCurve &c = curves[i];
        if (!c.sensitivity || !c.sensitivity_frequency || !(*c.sensitivity_frequency > 0) || !(*c.sensitivity != 0))
            continue;
        std::string block = "$sensitivity" + std::to_string(i);
        s += block + " << EOD\n" + number(*c.sensitivity_frequency) + " " + number(std::fabs(*c.sensitivity)) +
             "\nEOD\n";
        plot += std::string(plot.empty() ? "plot " : ", ") + block +
                " using 1:2 with points pointtype 6 pointsize 2.2 linewidth 2 linecolor rgb 'black'" +
                (marked ? " notitle" : " title 'stage-0 sensitivity'");
        marked = true;
    }
    if (plot.empty()) plot = "plot 1/0 notitle";
    s += plot + "\n";
    // Phase.
    s += "unset logscale y\nset format y '%g'\nset yrange [-180:180]\nset ytics 90\n";
    s += "set ylabel 'Phase (degrees)'\nunset key\n";
    plot.clear();
    for (std::size_t i = 0; i < curves.size(); ++i)
        plot += std::string(plot.empty() ? "plot " : ", ") + "$phase" + std::to_string(i) +
                " using 1:2 with lines linewidth 2 linecolor rgb '" + colour(i) + "' notitle";
    if (plot.empty()) plot = "plot 1/0 notitle";
    s += plot + "\n";
    s += "unset multiplot\n";
    return s;
}

// An unnamed temporary file (removed by the system however the run ends).
class Scratch {
public:
    Scratch() : file_(std::tmpfile())
    {
        if (!file_) throw Error(std::string("cannot create a temporary file for the plot: ") + std::strerror(errno));
    }
    ~Scratch() { std::fclose(file_); }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
    int fd() const { return ::fileno(file_); }
    void rewind() const { ::lseek(fd(), 0, SEEK_SET); }

private:
    std::FILE *file_;
};

void write_all(int fd, const std::string &data)
{
    std::size_t at = 0;
    while (at < data.size()) {
        ssize_t n = ::write(fd, data.data() + at, data.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw Error(std::string("cannot write the plot's script to a temporary file: ") + std::strerror(errno));
        at += static_cast<std::size_t>(n);
    }
}

// Runs gnuplot on the script (its standard input); the picture goes to
// image (its standard output), its messages to errors. No name of a file
// reaches the script: a path is never read as a command.
int run_gnuplot(const Scratch &script, const Scratch &image, const Scratch &errors)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, script.fd(), 0);
    posix_spawn_file_actions_adddup2(&actions, image.fd(), 1);
    posix_spawn_file_actions_adddup2(&actions, errors.fd(), 2);
    std::string program = "gnuplot";
    std::vector<char *> argv = {program.data(), nullptr};
    pid_t pid = 0;
    int failed = ::posix_spawnp(&pid, "gnuplot", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        throw Error(std::string("cannot run gnuplot to draw the plot: ") + std::strerror(failed) +
                    " (install the Debian package gnuplot-nox)");
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) throw Error(std::string("waiting for gnuplot: ") + std::strerror(errno));
    return status;
}

// The first non-empty lines (up to max_lines) of a file of gnuplot's
// messages, joined by "; ", trailing blanks off and, with strip_lead,
// leading ones too.
std::string first_lines_in(int fd, std::size_t max_lines, bool strip_lead)
{
    std::string text(4096, '\0');
    ssize_t n = ::pread(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    std::string out;
    std::size_t lines = 0, at = 0;
    while (lines < max_lines && at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        std::size_t lead = strip_lead ? line.find_first_not_of(' ') : 0;
        if (line.empty() || lead == std::string::npos) continue;
        out += (out.empty() ? "" : "; ") + line.substr(lead);
        ++lines;
    }
    return out;
}

std::string first_lines(const Scratch &errors, std::size_t max_lines)
{
    return first_lines_in(errors.fd(), max_lines, false);
}

}  // namespace

void write_bode_plot(const std::vector<PlotCurve> &curves, const std::string &title, OutputFile &out,
                     PlotFormat format)
{
    Scratch script, image, errors;
    write_all(script.fd(), bode_script(curves, title, format));
    script.rewind();

    int status = run_gnuplot(script, image, errors);
    // posix_spawnp reports a missing program through the child on some systems: status 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        throw Error("cannot run gnuplot to draw the plot (install the Debian package gnuplot-nox)");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string said = first_lines(errors, 3);
        throw Error("gnuplot failed to draw " + out.path() + (said.empty() ? "" : ": " + said));
    }
    struct stat st{};
    if (::fstat(image.fd(), &st) != 0 || st.st_size == 0)
        throw Error("gnuplot wrote nothing for " + out.path() + ": " + first_lines(errors, 3));
    image.rewind();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(image.fd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw Error(std::string("cannot read back the plot: ") + std::strerror(errno));
        if (n == 0) break;
        out.write(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
}

namespace {

// The first lines gnuplot wrote into a file of its messages.
std::string first_lines_of(std::FILE *file, std::size_t max_lines)
{
    return first_lines_in(::fileno(file), max_lines, true);
}

std::string drawing_name(std::size_t index, PlotFormat format)
{
    return "plot-" + std::to_string(index + 1) + (format == PlotFormat::svg ? ".svg" : ".png");
}

bool is_number_char(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

// Copies the text of one tag, numbers of the form D.DD written as D.D,
// and the tabs that indent a line left out; the rest goes by whole runs.
void compact_tag(std::string_view tag, std::string &out)
{
    std::size_t i = 0, plain = 0;  // tag[plain, i) is copied as it is
    auto flush = [&] { out.append(tag.substr(plain, i - plain)); };
    while (i < tag.size()) {
        char c = tag[i];
        if (c == '\t') {
            // The indentation of path data: a tab just after a line break.
            bool indents = i > plain ? tag[i - 1] == '\n' : !out.empty() && out.back() == '\n';
            if (indents) {
                flush();
                plain = ++i;
            } else {
                ++i;
            }
            continue;
        }
        bool starts = (c >= '0' && c <= '9') && (i == 0 || !is_number_char(tag[i - 1]));
        if (!starts) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < tag.size() && tag[end] >= '0' && tag[end] <= '9') ++end;
        std::size_t dot = end, decimals = 0;
        if (end < tag.size() && tag[end] == '.') {
            ++end;
            while (end < tag.size() && tag[end] >= '0' && tag[end] <= '9') ++end, ++decimals;
        }
        bool whole = end == tag.size() || !(tag[end] == 'e' || tag[end] == 'E' || is_number_char(tag[end]));
        if (decimals != 2 || !whole) {
            i = end;
            continue;
        }
        flush();
        // Round half up on the digits, as text: 12.35 -> 12.4, 9.96 -> 10.0.
        std::string digits(tag.substr(i, dot - i));
        digits += tag[dot + 1];
        if (tag[dot + 2] >= '5') {
            std::size_t k = digits.size();
            while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
            if (k == 0) digits.insert(digits.begin(), '1');
            else ++digits[k - 1];
        }
        out.append(digits, 0, digits.size() - 1);
        out += '.';
        out += digits.back();
        plain = i = end;
    }
    flush();
}

}  // namespace

std::string compact_svg(std::string_view svg)
{
    std::string out;
    out.reserve(svg.size());
    std::size_t at = 0;
    while (at < svg.size()) {
        std::size_t open = svg.find('<', at);
        if (open == std::string_view::npos) {
            out.append(svg.substr(at));
            break;
        }
        out.append(svg.substr(at, open - at));
        std::size_t close = svg.find('>', open);
        if (close == std::string_view::npos) {
            out.append(svg.substr(open));
            break;
        }
        std::string_view tag = svg.substr(open, close + 1 - open);
        // An empty group: "<g ...>" with nothing but a line break before "</g>".
        if (tag.size() > 3 && tag.compare(0, 3, "<g ") == 0 && svg.compare(close + 1, 5, "\n</g>") == 0) {
            at = close + 6;
            if (at < svg.size() && svg[at] == '\n' && !out.empty() && out.back() == '\n') ++at;
            continue;
        }
        // Markup declarations and comments are kept as they are.
        if (tag.size() > 1 && (tag[1] == '?' || tag[1] == '!')) {
            out.append(tag);
        } else {
            // gnuplot states the default line caps and joins on every group
            // (no group it writes sets others), and indents with tabs.
            if (tag.find(" stroke-line") == std::string_view::npos) {
                compact_tag(tag, out);
            } else {
                std::string plain(tag);
                for (std::string_view d : {std::string_view(" stroke-linecap=\"butt\""), std::string_view(" stroke-linejoin=\"miter\"")})
                    for (std::size_t k; (k = plain.find(d)) != std::string::npos;) plain.erase(k, d.size());
                compact_tag(plain, out);
            }
        }
        at = close + 1;
        while (at < svg.size() && svg[at] == '\n' && at + 1 < svg.size() && svg[at + 1] == '\t') {
            out += '\n';
            at += 2;
            while (at < svg.size() && svg[at] == '\t') ++at;
        }
    }
    return out;
}

PlotBatch::PlotBatch(std::string scratch, PlotFormat format) : scratch_(std::move(scratch)), format_(format) {}

PlotBatch::~PlotBatch() { stop(); }

void PlotBatch::stop()
{
    if (pipe_ >= 0) ::close(pipe_);
    pipe_ = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
    if (errors_) std::fclose(errors_);
    errors_ = nullptr;
    if (made_scratch_) {
        for (std::size_t i = 0; i < targets_.size(); ++i)
            ::unlink((scratch_ + "/" + drawing_name(i, format_)).c_str());
        ::rmdir(scratch_.c_str());
    }
    // A batch that fails leaves none of its drawings behind.
    for (std::size_t i = 0; i < placed_; ++i) ::unlink(targets_[i].c_str());
    placed_ = 0;
    made_scratch_ = false;
}

void PlotBatch::failed(const std::string &what)
{
    std::string said = errors_ ? first_lines_of(errors_, 3) : "";
    stop();
    throw Error(what + (said.empty() ? "" : ": " + said));
}

void PlotBatch::start()
{
    if (::mkdir(scratch_.c_str(), 0700) != 0)
        throw Error(Source{scratch_, 0}, std::string("cannot make a directory for the plots: ") + std::strerror(errno));
    made_scratch_ = true;
    errors_ = std::tmpfile();
    if (!errors_) throw Error(std::string("cannot create a temporary file for the plots: ") + std::strerror(errno));
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw Error(std::string("cannot open a pipe to gnuplot: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    posix_spawn_file_actions_adddup2(&actions, ::fileno(errors_), 1);
    posix_spawn_file_actions_adddup2(&actions, ::fileno(errors_), 2);
    posix_spawn_file_actions_addchdir_np(&actions, scratch_.c_str());
    // The script as a file argument, which gnuplot reads by blocks; its
    // standard input as such it reads a character at a time.
    std::string program = "gnuplot", script = "/dev/stdin";
    std::vector<char *> argv = {program.data(), script.data(), nullptr};
    pid_t pid = 0;
    int spawn_failed = ::posix_spawnp(&pid, "gnuplot", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[0]);
    pipe_ = ends[1];
    if (spawn_failed) {
        stop();
        throw Error(std::string("cannot run gnuplot to draw the plots: ") + std::strerror(spawn_failed) +
                    " (install the Debian package gnuplot-nox)");
    }
    pid_ = pid;
    script_ = terminal(format_) + script_;
}

void PlotBatch::send(bool everything)
{
    if (!everything && script_.size() < (1u << 16)) return;
    // A gnuplot that has gone makes the write fail with EPIPE: SIGPIPE is
    // held meanwhile, and taken back if the write raised it.
    sigset_t pipe_signal, before;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe_signal, &before);
    std::size_t at = 0;
    int error = 0;
    while (at < script_.size()) {
        ssize_t n = ::write(pipe_, script_.data() + at, script_.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        at += static_cast<std::size_t>(n);
    }
    if (error == EPIPE) {
        struct timespec now{};
        ::sigtimedwait(&pipe_signal, nullptr, &now);
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (error) failed("gnuplot stopped while drawing the plots (" + std::to_string(targets_.size()) + " so far)");
    script_.clear();
}

void PlotBatch::add(const std::vector<PlotCurve> &curves, const std::string &title, const std::string &target)
{
    if (pid_ < 0) start();
    // Each plot from gnuplot's defaults (reset keeps the terminal), into its own file.
    script_ += "reset\nset output '" + drawing_name(targets_.size(), format_) + "'\n";
    script_ += plot_commands(curves, title, PlotPoints::thinned);
    script_ += "unset output\n";
    targets_.push_back(target);
    send(false);
}

void PlotBatch::finish()
{
    if (pid_ < 0) return;
    send(true);
    ::close(pipe_);
    pipe_ = -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0)
        if (errno != EINTR) failed(std::string("waiting for gnuplot: ") + std::strerror(errno));
    pid_ = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        failed("cannot run gnuplot to draw the plots (install the Debian package gnuplot-nox)");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        failed("gnuplot failed to draw the plots (" + std::to_string(targets_.size()) + ")");
    for (; placed_ < targets_.size(); ++placed_) place(placed_);
    placed_ = 0;  // every drawing is the caller's now
    stop();
}

void PlotBatch::place(std::size_t i)
{
    // The drawing made smaller in its own file, which is then renamed into
    // place: no second file per plot.
    std::string drawing = scratch_ + "/" + drawing_name(i, format_);
    std::string image;
    int fd = ::open(drawing.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            image.append(buffer, static_cast<std::size_t>(n));
        }
    }
    if (image.empty()) {
        if (fd >= 0) ::close(fd);
        failed("gnuplot wrote nothing for " + targets_[i]);
    }
    bool written = true;
    if (format_ == PlotFormat::svg) {
        std::string small = classed_svg(compact_svg(image));
        written = ::pwrite(fd, small.data(), small.size(), 0) == static_cast<ssize_t>(small.size()) &&
                  ::ftruncate(fd, static_cast<off_t>(small.size())) == 0;
    }
    written = ::close(fd) == 0 && written;
    if (!written || std::rename(drawing.c_str(), targets_[i].c_str()) != 0)
        failed("cannot write " + targets_[i] + ": " + std::strerror(errno));
}

PlotCurve channel_curve(const ChannelEpoch &epoch, const Dictionary &dictionary, const std::vector<double> &frequencies,
                        ResponseMemo *memo)
{
    PlotCurve c;
    c.label = epoch.codes() + " " + full_time(epoch.id.start);
    if (has_polynomial(epoch)) c.label += " (polynomial stage left out)";
    c.units = response_units(epoch, dictionary);
    c.frequencies = frequencies;
    if (memo)
        c.response = memo->channel(epoch, frequencies);
    else
        for (double f : frequencies) c.response.push_back(channel_response(epoch, f));
    if (epoch.sensitivity) {
        c.sensitivity = epoch.sensitivity->gain.value;
        c.sensitivity_frequency = epoch.sensitivity->frequency.value;
    }
    if (nyquist(epoch) > 0) c.nyquist = nyquist(epoch);
    return c;
}

}  // namespace seed
