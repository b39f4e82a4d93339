// seedtree site ROOT -o DIR [--title TEXT] [--with-files] [--no-plots]: a
// static web site of the tree.
//
// The site is written into a new directory beside DIR and put in place
// only when whole: a failed run leaves DIR as it was. DIR may be missing,
// empty, or a site made before (replaced whole); anything else is refused,
// so that a mistyped DIR never costs anyone their files.
#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "seed/analysis/check.hpp"
#include "seed/cli/commands.hpp"
#include "seed/reader/epochs.hpp"
#include "seed/files/output_file.hpp"
#include "common/files/pending_files.hpp"
#include "seed/writers/resp.hpp"
#include "seed/site/site_html.hpp"
#include "seed/site/site.hpp"
#include "seed/writers/stationxml.hpp"
#include "seed/writers/volume.hpp"

namespace seed {

namespace {

namespace fs = std::filesystem;

// What index.html of a site made by this command begins with.
constexpr const char *site_mark = "<meta name=\"generator\" content=\"seedtree ";

std::string reason() { return std::strerror(errno); }

bool made_by_seedtree(const std::string &dir)
{
    std::ifstream in(dir + "/index.html", std::ios::binary);
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head.find(site_mark) != std::string::npos;
}

// The first entry of an old site's directory that seedtree site does not
// write, or "": its pages and stylesheet, the two data files, resp/ of
// RESP files, and a directory of pages and plots per station.
std::string not_of_a_site(const std::string &dir)
{
    static const std::set<std::string> files = {"index.html", "style.css", "stations.xml", "dataless.seed"};
    auto ends_with = [](const std::string &n, std::string_view x) {
        return n.size() > x.size() && n.compare(n.size() - x.size(), x.size(), x) == 0;
    };
    auto resp_file = [](const std::string &n) { return n.rfind("RESP.", 0) == 0; };
    auto page_or_plot = [&](const std::string &n) {
        return html::file_name(n) == n && (ends_with(n, ".html") || ends_with(n, ".svg"));
    };
    // The first entry of path that is not a regular file wanted names.
    auto stranger_in = [](const std::string &path, const std::string &shown, auto &&wanted) -> std::string {
        std::error_code ec;
        for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            struct stat st{};
            if (::lstat((path + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !wanted(name))
                return shown + "/" + name;
        }
        return ec ? shown : std::string();
    };
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string(), path = dir + "/" + name;
        struct stat st{};
        if (::lstat(path.c_str(), &st) != 0) return name;
        if (S_ISREG(st.st_mode) && files.count(name)) continue;
        if (!S_ISDIR(st.st_mode) || files.count(name) || html::file_name(name) != name) return name;
        std::string stranger = name == "resp" ? stranger_in(path, name, resp_file) : stranger_in(path, name, page_or_plot);
        if (!stranger.empty()) return stranger;
    }
    return ec ? std::string(".") : std::string();
}

// Where the site goes, found wanting before any work is done.
struct Target {
    std::string path;    // DIR without trailing slashes
    std::string parent;  // its directory
    std::string name;    // its last component
    bool replace = false;  // DIR is a site made before
};

Target check_target(const std::string &output, const std::string &root)
{
    Target t;
    t.path = output;
    while (t.path.size() > 1 && t.path.back() == '/') t.path.pop_back();
    std::size_t slash = t.path.rfind('/');
    t.name = slash == std::string::npos ? t.path : t.path.substr(slash + 1);
    t.parent = slash == std::string::npos ? "." : slash == 0 ? "/" : t.path.substr(0, slash);
    if (t.name.empty() || t.name == "." || t.name == "..")
        throw UsageError("-o must name the site's own directory, not \"" + output + "\"");

    std::error_code tree_ec, site_ec, ec;
    fs::path tree = fs::weakly_canonical(root, tree_ec), site = fs::weakly_canonical(t.path, site_ec);
    auto inside = [](const fs::path &inner, const fs::path &outer) {
        auto [o, i] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
        return o == outer.end();
    };
    if (!tree_ec && !site_ec && (inside(site, tree) || inside(tree, site)))
        throw UsageError("the site's directory and the header tree must lie apart: " + t.path + " and " + root);

    struct stat st{};
    if (::lstat(t.path.c_str(), &st) != 0) {
        if (errno != ENOENT) throw Error(Source{t.path, 0}, "cannot look at it: " + reason());
        return t;
    }
    if (S_ISLNK(st.st_mode)) throw Error(Source{t.path, 0}, "a symbolic link: give the directory itself");
    if (!S_ISDIR(st.st_mode)) throw Error(Source{t.path, 0}, "exists and is not a directory");
    if (fs::is_empty(t.path, ec) && !ec) return t;
    if (!made_by_seedtree(t.path))
        throw Error(Source{t.path, 0},
                    "exists and is not a site seedtree made: give a new or empty directory (a site made before is "
                    "replaced whole)");
    std::string stranger = not_of_a_site(t.path);
    if (!stranger.empty())
        throw Error(Source{t.path, 0}, "holds " + stranger +
                                           ", which seedtree site does not write: the old site is not replaced (move "
                                           "it away, or give a new or empty directory)");
    t.replace = true;
    return t;
}

// A directory beside the target, removed with everything in it unless kept.
class WorkDirectory {
public:
    explicit WorkDirectory(const Target &t)
    {
        std::string pattern = t.parent + "/." + t.name + ".XXXXXX";
        files::SignalsHeld held;
        if (!::mkdtemp(pattern.data()))
            throw Error(Source{t.parent, 0}, "cannot make a directory for the site: " + reason());
        path_ = pattern;
        pending_ = files::pending_add(path_, files::Pending::tree);
        // mkdtemp makes it private; a site is for others to read.
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(path_.c_str(), 0777 & ~mask);
    }
    ~WorkDirectory()
    {
        if (!path_.empty()) files::remove_tree(path_.c_str());
        files::pending_release(pending_);
    }
    WorkDirectory(const WorkDirectory &) = delete;
    WorkDirectory &operator=(const WorkDirectory &) = delete;
    const std::string &path() const { return path_; }
    void release()
    {
        path_.clear();
        files::pending_release(pending_);
        pending_ = -1;
    }

private:
    std::string path_;
    int pending_ = -1;
};

// Puts the finished site in place: renamed onto a missing or empty DIR;
// swapped with a site made before in one step, the old one then removed.
void place(WorkDirectory &work, const Target &t)
{
    if (!t.replace) {
        if (std::rename(work.path().c_str(), t.path.c_str()) != 0)
            throw Error(Source{t.path, 0}, "cannot put the site in place: " + reason());
        work.release();
        return;
    }
    if (::renameat2(AT_FDCWD, work.path().c_str(), AT_FDCWD, t.path.c_str(), RENAME_EXCHANGE) != 0) {
        if (errno != EINVAL && errno != ENOSYS)
            throw Error(Source{t.path, 0}, "cannot put the site in place: " + reason());
        // A file system without the swap: the old site steps aside first.
        std::string old = t.parent + "/." + t.name + ".old.XXXXXX";
        if (!::mkdtemp(old.data()) || std::rename(t.path.c_str(), old.c_str()) != 0)
            throw Error(Source{t.path, 0}, "cannot move the old site aside: " + reason());
        if (std::rename(work.path().c_str(), t.path.c_str()) != 0) {
            std::string why = reason();
            std::rename(old.c_str(), t.path.c_str());
            throw Error(Source{t.path, 0}, "cannot put the site in place: " + why);
        }
        work.release();
        std::error_code ec;
        fs::remove_all(old, ec);
        return;
    }
    // The work directory's name now holds the old site: the destructor removes it.
}

bool gnuplot_installed()
{
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        std::size_t end = dirs.find(':', at);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = end > at ? dirs.substr(at, end - at) : ".";
        if (::access((dir + "/gnuplot").c_str(), X_OK) == 0) return true;
        at = end + 1;
    }
    return false;
}

// stations.xml and dataless.seed of the tree, each a pass through it
// station by station; the volume's first pass was the site's census.
void write_files_alongside(const std::string &root, const std::vector<std::string> &names,
                           const Dictionary &dictionary, VolumeStream &volume, const std::string &dir,
                           SiteOptions &site)
{
    StationXmlOptions xml;
    xml.module = "seedtree " SEEDTREE_VERSION;
    xml.created = site.created;
    OutputFile document(dir + "/stations.xml", Sync::by_caller);
    StationXmlSummary summary =
        write_stationxml_tree(root, {}, xml, [&document](std::string_view data) { document.write(data); });
    document.commit();
    if (summary.calibrations > 0)
        std::fprintf(stderr,
                     "seedtree: note: left out %zu calibration history entr%s of blockettes 58 "
                     "(StationXML has no place for them)\n",
                     summary.calibrations, summary.calibrations == 1 ? "y" : "ies");
    site.stationxml = "stations.xml";

    VolumeOptions options;
    seed_time_from_unix(site.created, options.volume_time);
    options.organization = volume.default_organization();
    options.label = volume.default_label();
    OutputFile out(dir + "/dataless.seed", Sync::by_caller);
    volume.begin(options, [&out](std::string_view record) { out.write(record); });
    std::size_t dropped = 0;
    for (const std::string &name : names)
        for (const StationEpoch &s : read_station_directory(root, name, dictionary, dropped)) volume.write(s);
    volume.finish();
    out.commit();
    site.volume = "dataless.seed";
}

}  // namespace

int run_site(const SiteArguments &a)
{
    SiteOptions options;
    options.title = a.title;
    options.generator = "seedtree " SEEDTREE_VERSION;
    options.created = run_time();
    options.plots = !a.no_plots;
    Target target = check_target(a.output, a.root);
    if (options.plots && !gnuplot_installed())
        throw Error("cannot find gnuplot to draw the plots (install the Debian package gnuplot-nox, or give "
                    "--no-plots)");

    // The tree goes through station directory by station directory, so
    // that memory follows the largest station: first the census every
    // page needs (the findings, counted in each footer), then the pages,
    // each directory checked again for its own.
    std::string root = a.root;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    Dictionary dictionary = read_tree_dictionary(root);
    std::vector<std::string> names = station_directories_in_order(root, {});
    SiteCensus census;
    census.dictionary = check_dictionary(dictionary);
    census.count(census.dictionary);
    VolumeStream volume(dictionary, false);
    std::size_t dropped = 0, station_epochs = 0;
    bool any_channel = false;
    for (const std::string &name : names) {
        std::vector<StationEpoch> stations = read_station_directory(root, name, dictionary, dropped);
        for (const StationEpoch &s : stations) {
            census.networks.insert(s.id.network);
            any_channel = any_channel || !s.channels.empty();
            if (a.with_files) volume.measure(s);
        }
        station_epochs += stations.size();
        census.count(check_station_directory(dictionary, stations));
    }
    note_dropped_repeats(dropped);
    if (station_epochs == 0) throw Error(Source{root, 0}, "no station epochs in the tree: nothing to make a site of");

    WorkDirectory work(target);
    if (any_channel) options.resp = "resp";
    if (a.with_files) write_files_alongside(root, names, dictionary, volume, work.path(), options);
    SiteWriter site(dictionary, root, census, work.path(), options);
    for (const std::string &name : names) {
        std::size_t again = 0;
        std::vector<StationEpoch> stations = read_station_directory(root, name, dictionary, again);
        // A channel page shows the size of its RESP file: the files come first.
        std::vector<const ChannelEpoch *> epochs = channel_epochs(stations);
        if (!epochs.empty()) write_resp_files(epochs, dictionary, work.path() + "/resp", Sync::by_caller);
        site.station_directory(stations, check_station_directory(dictionary, stations));
    }
    site.finish();
    // Thousands of small files reach the disk in one sync, before the site is shown.
    sync_file_system(work.path());
    place(work, target);
    return 0;
}

Subcommand add_site_command(CLI::App &app)
{
    auto a = std::make_shared<SiteArguments>();
    CLI::App *c = app.add_subcommand("site", "Writes a static web site of the tree: a map, stations, channels, "
                                             "responses and check findings.");
    c->add_option("ROOT", a->root, "Root directory of the header tree")->required();
    c->add_option("-o,--output", a->output, "The site's directory (DIR/index.html is its first page)")
        ->required()
        ->type_name("DIR");
    c->add_option("--title", a->title, "Title of the pages (default: \"Network XY\")")
        ->check(CLI::Validator(
            [](std::string &text) {
                if (text.empty()) return std::string("the title must not be empty");
                std::string problem = xml_text_problem(text);
                return problem.empty() ? problem : "'" + text + "' cannot be a title: " + problem;
            },
            ""));
    c->add_flag("--with-files", a->with_files,
                "Also write the network's StationXML (stations.xml) and dataless SEED volume (dataless.seed) "
                "into DIR, linked from the pages");
    c->add_flag("--no-plots", a->no_plots, "Leave out the Bode plots (no gnuplot needed)");
    c->footer("DIR must not exist, be empty, or be a site seedtree made before (it is replaced whole); the site "
              "appears only when complete. RESP files go into DIR/resp. Plots are drawn by gnuplot (Debian "
              "package gnuplot-nox).");
    return {c, [a] { return run_site(*a); }};
}

}  // namespace seed
