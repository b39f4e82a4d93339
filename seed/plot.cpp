#include "plot.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "epochs.hpp"
#include "message_text.hpp"
#include "response.hpp"

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

std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
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

// The curve's points as gnuplot data blocks: $ampN (frequency,
// amplitude) and $phaseN (frequency, phase), the phase broken by a blank
// line where it wraps. Points that a log axis cannot show are left out.
std::string data_blocks(const PlotCurve &c, std::size_t index)
{
    std::string amplitude_block = "$amp" + std::to_string(index) + " << EOD\n";
    std::string phase_block = "$phase" + std::to_string(index) + " << EOD\n";
    double previous = NAN;
    for (std::size_t i = 0; i < c.frequencies.size() && i < c.response.size(); ++i) {
        double amplitude = std::abs(c.response[i]);
        double phase = std::arg(c.response[i]) * 180 / std::numbers::pi;
        if (!(amplitude > 0) || !std::isfinite(amplitude) || !std::isfinite(phase) || !(c.frequencies[i] > 0))
            continue;
        amplitude_block += number(c.frequencies[i]) + " " + number(amplitude) + "\n";
        if (std::isfinite(previous) && std::fabs(phase - previous) > 180) phase_block += "\n";
        phase_block += number(c.frequencies[i]) + " " + number(phase) + "\n";
        previous = phase;
    }
    return amplitude_block + "EOD\n" + phase_block + "EOD\n";
}

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
    std::string s;
    s += format == PlotFormat::png ? "set terminal pngcairo size 1100,850 font 'Sans,10' noenhanced\n"
                                   : "set terminal svg size 1100,850 font 'Sans,10' noenhanced\n";
    for (std::size_t i = 0; i < curves.size(); ++i) s += data_blocks(curves[i], i);
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

namespace {

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

std::string first_lines(const Scratch &errors, std::size_t max_lines)
{
    errors.rewind();
    std::string text(4096, '\0');
    ssize_t n = ::read(errors.fd(), text.data(), text.size());
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    std::string out;
    std::size_t lines = 0, at = 0;
    while (lines < max_lines && at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        out += (out.empty() ? "" : "; ") + line;
        ++lines;
    }
    return out;
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

PlotCurve channel_curve(const ChannelEpoch &epoch, const Dictionary &dictionary, const std::vector<double> &frequencies)
{
    PlotCurve c;
    c.label = epoch.codes() + " " + full_time(epoch.id.start);
    if (has_polynomial(epoch)) c.label += " (polynomial stage left out)";
    c.units = response_units(epoch, dictionary);
    c.frequencies = frequencies;
    for (double f : frequencies) c.response.push_back(channel_response(epoch, f));
    if (epoch.sensitivity) {
        c.sensitivity = epoch.sensitivity->gain.value;
        c.sensitivity_frequency = epoch.sensitivity->frequency.value;
    }
    if (nyquist(epoch) > 0) c.nyquist = nyquist(epoch);
    return c;
}

}  // namespace seed
