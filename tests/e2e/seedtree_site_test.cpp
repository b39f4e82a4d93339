// seedtree site end to end: the demo network's site (the demo request
// through Mebrisk twice and the barometer LDO) parses page by page as
// well-formed markup, every link and image in it resolves to a file of
// the site, every channel epoch has its page, and the files written
// alongside are those of seedtree stationxml, volume and resp. Headless
// Chromium renders the index and a channel page. A station whose site
// name and comment hold <, & and " shows them escaped, its findings and
// the channel it cannot plot. Refused targets and failed runs leave
// everything as it was.
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "seed/reader/epochs.hpp"
#include "tests/support/harness.hpp"
#include "seed/reader/inventory.hpp"
#include "seed/analysis/plot.hpp"
#include "seed/site/site_map.hpp"

using harness::Env;
using harness::run;

namespace {

namespace fs = std::filesystem;

const Env fixed_time = {{"SOURCE_DATE_EPOCH", "1700000000"}};
const std::string chromium = "/usr/bin/chromium";

// HTML5 and SVG elements that libxml2's HTML parser, which knows HTML 4,
// calls invalid; any other complaint of it is a fault of the page.
const std::set<std::string> html5_elements = {"header", "nav",  "main", "section", "footer", "figure", "figcaption",
                                              "svg",    "g",    "line", "rect",    "circle", "path",   "text"};

struct Parsed {
    std::vector<std::string> problems;
    std::vector<std::string> links;  // every href and src
    std::string title;
};

void collect(xmlNode *node, Parsed &p)
{
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) continue;
        for (xmlAttr *a = node->properties; a; a = a->next) {
            std::string name = reinterpret_cast<const char *>(a->name);
            if (name != "href" && name != "src") continue;
            xmlChar *value = xmlNodeGetContent(reinterpret_cast<xmlNode *>(a));
            p.links.emplace_back(reinterpret_cast<const char *>(value));
            xmlFree(value);
        }
        std::string tag = reinterpret_cast<const char *>(node->name);
        if (tag == "title" && node->parent && std::string(reinterpret_cast<const char *>(node->parent->name)) == "head") {
            xmlChar *text = xmlNodeGetContent(node);
            p.title = reinterpret_cast<const char *>(text);
            xmlFree(text);
        }
        collect(node->children, p);
    }
}

void on_error(void *context, xmlError *error)
{
    auto *p = static_cast<Parsed *>(context);
    if (error->domain == XML_FROM_HTML && error->code == XML_HTML_UNKNOWN_TAG && error->str1 &&
        html5_elements.count(error->str1))
        return;
    p->problems.push_back(std::to_string(error->line) + ": " + (error->message ? error->message : "?"));
}

// The page through libxml2's XML parser (well-formed, no entity XML does
// not know) and its HTML parser; links and title from the XML reading.
Parsed parse_page(const std::string &path)
{
    std::string text = harness::read_file(path);
    Parsed p;
    xmlSetStructuredErrorFunc(&p, on_error);
    xmlDoc *xml = xmlReadMemory(text.data(), static_cast<int>(text.size()), path.c_str(), "utf-8", XML_PARSE_NONET);
    htmlDocPtr html = htmlReadMemory(text.data(), static_cast<int>(text.size()), path.c_str(), "utf-8",
                                   HTML_PARSE_NONET);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (!xml || !html) p.problems.push_back("not parsed");
    if (xml) collect(xmlDocGetRootElement(xml), p);
    xmlFreeDoc(xml);
    xmlFreeDoc(html);
    return p;
}

std::string percent_decoded(const std::string &link)
{
    std::string out;
    for (std::size_t i = 0; i < link.size(); ++i) {
        if (link[i] == '%' && i + 2 < link.size()) {
            out += static_cast<char>(std::stoi(link.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += link[i];
        }
    }
    return out;
}

// Every page of the site parses without a problem and every link in it
// names a file of the site by a relative path. Returns title -> page.
std::map<std::string, std::string> check_site(const std::string &site)
{
    std::map<std::string, std::string> titles;
    std::size_t pages = 0;
    for (const auto &entry : fs::recursive_directory_iterator(site)) {
        if (entry.path().extension() != ".html") continue;
        ++pages;
        std::string page = fs::relative(entry.path(), site).string();
        SCOPED_TRACE(page);
        Parsed p = parse_page(entry.path().string());
        EXPECT_TRUE(p.problems.empty()) << ::testing::PrintToString(p.problems);
        EXPECT_TRUE(titles.emplace(p.title, page).second) << "title twice: " << p.title;
        for (const std::string &link : p.links) {
            EXPECT_EQ(link.find(':'), std::string::npos) << link;
            EXPECT_NE(link.front(), '/') << link;
            fs::path target = (fs::path(page).parent_path() / percent_decoded(link)).lexically_normal();
            EXPECT_NE(target.begin()->string(), "..") << link;
            EXPECT_TRUE(fs::is_regular_file(fs::path(site) / target)) << link << " from " << page;
        }
    }
    EXPECT_GT(pages, 0u);
    return titles;
}

// Width and height of a PNG from its IHDR chunk; 0, 0 when it is none.
std::pair<unsigned, unsigned> png_size(const std::string &data)
{
    if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || data.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto word = [&](std::size_t at) {
        unsigned v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(data[at + i]);
        return v;
    };
    return {word(16), word(20)};
}

bool same_files(const std::string &a, const std::string &b)
{
    return harness::read_tree(a) == harness::read_tree(b);
}

// Hidden work directories left beside a site.
std::size_t leftovers(const std::string &parent)
{
    std::size_t n = 0;
    for (const auto &entry : fs::directory_iterator(parent)) n += entry.path().filename().string().front() == '.';
    return n;
}

class SeedtreeSite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // A copy of HILL, ST1, moved north-east, whose site name and comment hold markup.
        db = new harness::TestDatabase(
            {harness::demo_sql(), harness::demo_station_copies(1) +
                                      "UPDATE station_data SET staname = 'Vault <B> & \"C\"', lat = lat + 0.4, "
                                      "lon = lon + 0.6 WHERE sta = 'ST1';\n"
                                      "INSERT INTO D_Comment (id, class, description, unit) VALUES "
                                      "(9, 'S', 'Fence <cut> & \"fixed\"', 0);\n"
                                      "UPDATE Station_Comment SET comment_id = 9 WHERE sta = 'ST1';\n"});
        shared = new harness::TempDir;
        Env env = {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", *shared / "demo"}};
        harness::write_file(*shared / "req", harness::read_file(std::string(DEMO_DIR) + "/req"));
        for (int i = 0; i < 2; ++i) ASSERT_EQ(run("Mebrisk", {}, env, shared->path()).status, 0);
        ASSERT_EQ(run("Quorvex", {"HILL.XY:LDO", "2003/07/01", "00:00:00", "c"}, env, shared->path()).status, 0);
        auto r = run("seedtree", {"site", *shared / "demo", "-o", *shared / "site", "--with-files"}, fixed_time);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "seedtree: note: dropped 7 identical repeated epoch(s)\n");
        EXPECT_EQ(r.out, "");
    }
    static void TearDownTestSuite()
    {
        delete shared;
        delete db;
    }

    // The open epoch of ST1 and HILL, as Quorvex writes them.
    void make_two_station_tree(const std::string &tree)
    {
        Env env = {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", tree}};
        for (const char *station : {"HILL.XY", "ST1.XY"})
            ASSERT_EQ(run("Quorvex", {station, "2004/01/01", "00:00:00", "a"}, env, dir.path()).status, 0);
    }

    static harness::TestDatabase *db;
    static harness::TempDir *shared;  // demo: the tree; site: its site
    harness::TempDir dir;
};
harness::TestDatabase *SeedtreeSite::db = nullptr;
harness::TempDir *SeedtreeSite::shared = nullptr;

TEST_F(SeedtreeSite, DemoSiteIsWholeAndLinked)
{
    const std::string site = *shared / "site", tree = *shared / "demo";
    auto titles = check_site(site);

    // Every channel epoch has its page, named in its title, with its plot.
    seed::Inventory inventory = seed::read_tree(tree);
    std::vector<const seed::ChannelEpoch *> epochs = seed::channel_epochs(inventory);
    ASSERT_EQ(epochs.size(), 6u);  // BHZ twice, BHE, BHN, LHZ, LDO
    for (const seed::ChannelEpoch *e : epochs) {
        std::string prefix = e->codes() + " " + seed::full_time(e->id.start) + " ";
        auto page = std::find_if(titles.begin(), titles.end(),
                                 [&](const auto &t) { return t.first.compare(0, prefix.size(), prefix) == 0; });
        ASSERT_NE(page, titles.end()) << prefix;
        std::string html = harness::read_file(site + "/" + page->second);
        std::string plot = page->second.substr(0, page->second.size() - 5) + ".svg";
        EXPECT_NE(html.find("src=\"" + fs::path(plot).filename().string() + "\""), std::string::npos) << plot;
        EXPECT_NE(harness::read_file(site + "/" + plot).find("<text"), std::string::npos);
        EXPECT_NE(html.find("href=\"../resp/RESP.XY.HILL." + e->id.location + "." + e->id.channel + "\""),
                  std::string::npos);
    }
    EXPECT_EQ(titles.size(), epochs.size() + 2);  // and the index and HILL.XY's page


    // The files alongside are those the other subcommands write.
    ASSERT_EQ(run("seedtree", {"stationxml", tree, "-o", dir / "demo.xml"}, fixed_time).status, 0);
    ASSERT_EQ(run("seedtree", {"volume", tree, "-o", dir / "demo.seed"}, fixed_time).status, 0);
    ASSERT_EQ(run("seedtree", {"resp", tree, "-o", dir / "resp"}, fixed_time).status, 0);
    EXPECT_EQ(harness::read_file(site + "/stations.xml"), harness::read_file(dir / "demo.xml"));
    EXPECT_EQ(harness::read_file(site + "/dataless.seed"), harness::read_file(dir / "demo.seed"));
    EXPECT_TRUE(same_files(site + "/resp", dir / "resp"));

    // A second run replaces the site whole, with the same bytes, and leaves
    // nothing beside it; every plot comes from one gnuplot, however many
    // channel epochs (a wrapper on PATH counts the starts).
    fs::copy(site, dir / "before", fs::copy_options::recursive);
    fs::create_directories(dir / "bin");
    harness::write_file(dir / "bin/gnuplot", "#!/bin/sh\necho started >>'" + (dir / "starts") +
                                                 "'\nexec /usr/bin/gnuplot \"$@\"\n");
    fs::permissions(dir / "bin/gnuplot", fs::perms::owner_all);
    Env counted = fixed_time;
    counted["PATH"] = (dir / "bin") + ":/usr/bin:/bin";
    auto again = run("seedtree", {"site", tree, "-o", site, "--with-files"}, counted);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(same_files(site, dir / "before"));
    EXPECT_EQ(harness::read_file(dir / "starts"), "started\n");
    EXPECT_EQ(leftovers(shared->path()), 0u);

    // A gnuplot that fails part-way: the run fails with its words, and the site stays as it was.
    harness::write_file(dir / "bin/gnuplot", "#!/bin/sh\nhead -c 20000 >/dev/null\necho 'no more plots' >&2\nexit 1\n");
    auto failed = run("seedtree", {"site", tree, "-o", site, "--with-files"}, counted);
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("gnuplot"), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("no more plots"), std::string::npos) << failed.err;
    EXPECT_TRUE(same_files(site, dir / "before"));
    EXPECT_EQ(leftovers(shared->path()), 0u);
}

TEST_F(SeedtreeSite, ChromiumRendersIndexAndChannelPage)
{
    if (!fs::exists(chromium)) GTEST_SKIP() << "no browser at " << chromium << " (Debian package chromium): pages not rendered";
    for (const std::string page : {"index.html", "HILL.XY/BHZ._2003-182.html"}) {
        SCOPED_TRACE(page);
        harness::TempDir profile;
        std::string shot = dir / "shot.png";
        auto r = run(chromium,
                     {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                      "--disable-background-networking", "--disable-component-update", "--disable-sync",
                      "--disable-dev-shm-usage",
                      "--user-data-dir=" + profile.path(), "--hide-scrollbars", "--screenshot=" + shot,
                      "--window-size=1280,900", "file://" + *shared / "site/" + page},
                     {{"HOME", profile.path()}});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string png = harness::read_file(shot);
        EXPECT_EQ(png_size(png), std::make_pair(1280u, 900u));
        // A blank page of that size compresses to a few KiB; these pages hold tables, a map, a plot.
        EXPECT_GT(png.size(), 20000u);
    }
}

TEST_F(SeedtreeSite, MarkupInNamesIsEscapedAndFindingsShown)
{
    const std::string tree = dir / "tree", site = dir / "site";
    make_two_station_tree(tree);
    if (HasFatalFailure()) return;
    // ST1's BHZ without the digitizer's decimation: an error, and no response to plot.
    std::string b052 = tree + "/ST1.XY/BHZ./B052";
    std::istringstream in(harness::read_file(b052));
    std::string kept, removed;
    int number = 0;
    for (std::string line; std::getline(in, line);) (++number == 5 ? removed : kept) += line + "\n";
    ASSERT_EQ(removed.substr(0, 3), "057");
    harness::write_file(b052, kept);
    // ST1's BHN renamed B<N: a code that is no file name and no URL as it stands.
    fs::rename(tree + "/ST1.XY/BHN.", tree + "/ST1.XY/B<N.");
    std::string renamed = harness::read_file(tree + "/ST1.XY/B<N./B052");
    ASSERT_EQ(renamed.substr(9, 3), "BHN");
    harness::write_file(tree + "/ST1.XY/B<N./B052", renamed.replace(9, 3, "B<N"));

    auto r = run("seedtree", {"site", tree, "-o", site, "--title", "Hills & <Vaults>"}, fixed_time);
    ASSERT_EQ(r.status, 0) << r.err;
    auto titles = check_site(site);

    // Every footer counts the findings seedtree check gives for the whole tree.
    auto check = run("seedtree", {"check", tree}, fixed_time);
    std::size_t errors = 0, warnings = 0;
    std::istringstream lines(check.out);
    for (std::string line; std::getline(lines, line);) {
        errors += line.rfind("error ", 0) == 0;
        warnings += line.rfind("warning ", 0) == 0;
    }
    ASSERT_GT(errors + warnings, 0u);
    auto plural = [](std::size_t n, const std::string &what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    const std::string footer = "Checks of the whole tree: " + plural(errors, "error") + ", " + plural(warnings, "warning") + ".";
    for (const auto &[title, page] : titles)
        EXPECT_NE(harness::read_file(site + "/" + page).find(footer), std::string::npos) << page << ": " << footer;

    std::string index = harness::read_file(site + "/index.html");
    EXPECT_NE(index.find("<title>Hills &amp; &lt;Vaults&gt;</title>"), std::string::npos);
    EXPECT_NE(index.find("Vault &lt;B&gt; &amp; &quot;C&quot;"), std::string::npos);
    EXPECT_EQ(index.find("Vault <B>"), std::string::npos);
    // ST1 is red on the map and in the tables, HILL not.
    EXPECT_NE(index.find("<g class=\"station error\"><title>ST1.XY \u2014 Vault &lt;B&gt;"), std::string::npos);
    EXPECT_NE(index.find("<g class=\"station\"><title>HILL.XY"), std::string::npos);
    // The digitizer's fault twice (the tree's rule and the validator's) and the code B<N; ST1's five
    // channels where HILL's are, far from their moved station.
    EXPECT_NE(index.find("class=\"badge error\">3 errors, 5 warnings</span>"), std::string::npos);

    std::string station = harness::read_file(site + "/ST1.XY/index.html");
    EXPECT_NE(station.find("Fence &lt;cut&gt; &amp; &quot;fixed&quot;"), std::string::npos);
    EXPECT_EQ(station.find("Fence <cut>"), std::string::npos);

    std::string channel = harness::read_file(site + "/" + titles.at("ST1.XY..BHZ 2003,182,00:00:00 \u2014 Hills & <Vaults>"));
    EXPECT_NE(channel.find("<code>decimation-missing</code> stage 2 is digital"), std::string::npos);
    EXPECT_NE(channel.find("<code>fdsn-404</code> stage 2 is digital"), std::string::npos);
    EXPECT_NE(channel.find("No plot. The response cannot be evaluated"), std::string::npos);
    EXPECT_FALSE(fs::exists(site + "/ST1.XY/BHZ._2003-182.svg"));
    std::string odd = harness::read_file(site + "/" + titles.at("ST1.XY..B<N 2003,182,00:00:00 \u2014 Hills & <Vaults>"));
    EXPECT_NE(odd.find("<h1>ST1.XY..B&lt;N</h1>"), std::string::npos);
    EXPECT_NE(odd.find("href=\"../resp/RESP.XY.ST1..B%3CN\""), std::string::npos);
    EXPECT_TRUE(fs::exists(site + "/HILL.XY/BHZ._2003-182.svg"));
}

TEST_F(SeedtreeSite, RefusalsAndFailuresLeaveEverythingAsItWas)
{
    const std::string tree = *shared / "demo", site = dir / "site";
    // Not a site: refused, untouched.
    fs::create_directories(dir / "mine");
    harness::write_file(dir / "mine/notes.txt", "mine");
    auto r = run("seedtree", {"site", tree, "-o", dir / "mine"}, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a site seedtree made"), std::string::npos) << r.err;
    EXPECT_EQ(harness::read_tree(dir / "mine"), (std::map<std::string, std::string>{{"notes.txt", "mine"}}));

    // The site and the tree must lie apart, either way round; usage errors.
    for (const std::string &target : {tree + "/site", tree, shared->path()}) {
        r = run("seedtree", {"site", tree, "-o", target}, {});
        EXPECT_EQ(r.status, 2) << target << ": " << r.err;
    }
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"site", tree}, {"site", tree, "-o", site, "--title", ""}, {"site", tree, "-o", "."}}) {
        r = run("seedtree", args, {});
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("Run 'seedtree site --help'"), std::string::npos) << r.err;
    }

    // Without gnuplot: a clear failure and no site; --no-plots makes one without plots.
    const Env no_gnuplot = {{"PATH", dir / "empty"}};
    r = run("seedtree", {"site", tree, "-o", site}, no_gnuplot);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("gnuplot-nox, or give --no-plots"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(site));
    r = run("seedtree", {"site", tree, "-o", site, "--no-plots"}, no_gnuplot);
    ASSERT_EQ(r.status, 0) << r.err;
    check_site(site);
    for (const auto &entry : fs::recursive_directory_iterator(site)) EXPECT_NE(entry.path().extension(), ".svg");
    EXPECT_NE(harness::read_file(site + "/HILL.XY/BHZ._2003-182.html").find("No plot. This site was made without plots."),
              std::string::npos);

    // A run that fails part-way (StationXML refuses a negative clock drift,
    // after the RESP files are written) leaves the previous site as it was.
    fs::copy(tree, dir / "drift", fs::copy_options::recursive);
    std::string b052 = harness::read_file(dir / "drift/HILL.XY/LHZ.00/B052");
    ASSERT_NE(b052.find("1.0000E-04"), std::string::npos);
    for (std::size_t at; (at = b052.find("1.0000E-04")) != std::string::npos;) b052.replace(at, 10, "-1.000E-04");
    harness::write_file(dir / "drift/HILL.XY/LHZ.00/B052", b052);
    auto before = harness::read_tree(site);
    r = run("seedtree", {"site", dir / "drift", "-o", site, "--with-files"}, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("clock drift"), std::string::npos) << r.err;
    EXPECT_EQ(harness::read_tree(site), before);
    EXPECT_EQ(leftovers(dir.path()), 0u);
}

// The map frames its stations: a network across 180 degrees is drawn
// across it, not across the world; stations off the globe are left out.
TEST(SiteMap, FramesTheStations)
{
    auto centres = [](const std::vector<seed::MapStation> &stations, std::size_t &left_out) {
        seed::html::Writer w;
        left_out = seed::write_station_map(w, stations);
        std::vector<double> x;
        const std::string svg = w.str(), circle = "<circle cx=\"";
        for (std::size_t at = svg.find(circle); at != std::string::npos; at = svg.find(circle, at + 1))
            x.push_back(std::stod(svg.substr(at + circle.size())));
        return x;
    };
    std::size_t left_out = 0;
    auto x = centres({{-17, 179.5, "A.XY", "", "", ""}, {-17.5, -179.5, "B.XY", "", "", ""},
                      {95, 0, "C.XY", "", "", ""}},
                     left_out);
    ASSERT_EQ(x.size(), 2u);
    EXPECT_EQ(left_out, 1u);
    // 1 degree apart on an 820-wide frame with a margin: well under half of it, and east of each other.
    EXPECT_LT(x[1] - x[0], 500);
    EXPECT_GT(x[1] - x[0], 100);
    for (double v : x) {
        EXPECT_GT(v, 60);
        EXPECT_LT(v, 802);
    }
}

}  // namespace

namespace {

// A site's SVG made smaller keeps every text and the drawing to a tenth of
// a pixel: numbers inside tags rounded (carries too), empty groups and
// default caps and joins gone, texts untouched even where they look like
// markup's numbers.
TEST(PlotSvg, CompactedKeepsTextsAndRoundsOnlyCoordinates)
{
    const std::string svg = "<?xml version=\"1.0\"?>\n<svg width=\"1100\">\n"
                            "<g fill=\"none\" color=\"gray\" stroke-width=\"0.50\" stroke-linecap=\"butt\" "
                            "stroke-linejoin=\"miter\">\n</g>\n"
                            "<g fill=\"none\" stroke-width=\"1.00\" stroke-linecap=\"butt\">\n"
                            "\t<path stroke='rgb( 31, 119, 180)'  d='M9.96,1.25 L99.95,0.04 M-1.25,3.144\n"
                            "\t\tL1e+05,2.50'/>\t<g transform=\"translate(550.00,19.23)\">\n"
                            "\t\t<text>Nyquist 12.35 Hz d='1.25' &lt;g&gt;</text>\n\t</g>\n</g>\n</svg>\n";
    EXPECT_EQ(seed::compact_svg(svg),
              "<?xml version=\"1.0\"?>\n<svg width=\"1100\">\n"
              "<g fill=\"none\" stroke-width=\"1.0\">\n"
              "<path stroke='rgb( 31, 119, 180)'  d='M10.0,1.3 L100.0,0.0 M-1.25,3.144\n"
              "L1e+05,2.5'/>\t<g transform=\"translate(550.0,19.2)\">\n"
              "<text>Nyquist 12.35 Hz d='1.25' &lt;g&gt;</text>\n</g>\n</g>\n</svg>\n");
}

// A batch whose gnuplot draws only some plots (a wrapper on PATH that
// gives the real one the first part of the script) fails on the first
// drawing missing, and takes back those it had already put in place.
TEST(PlotBatch, MissingDrawingLeavesNoDrawing)
{
    harness::TempDir dir;
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "site");
    harness::write_file(dir / "bin/gnuplot", "#!/bin/sh\nhead -c 100000 >../../part.gp\n/usr/bin/gnuplot "
                                             "../../part.gp >/dev/null 2>&1\ncat >/dev/null\nexit 0\n");
    fs::permissions(dir / "bin/gnuplot", fs::perms::owner_all);
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", ((dir / "bin") + ":" + path).c_str(), 1);

    seed::PlotCurve curve;
    curve.label = "HILL.XY..BHZ";
    curve.units = "COUNTS/(M/S)";
    for (int i = 0; i <= 300; ++i) {
        double f = 0.001 * std::pow(10.0, i / 60.0);
        curve.frequencies.push_back(f);
        curve.response.push_back(1.0 / std::complex<double>(1.0, f) * std::complex<double>(std::cos(f), std::sin(f)));
    }
    std::vector<std::string> targets;
    std::string failure;
    {
        seed::PlotBatch batch(dir / "site/.plots", seed::PlotFormat::svg);
        try {
            for (int i = 0; i < 600; ++i) {
                targets.push_back(dir / ("site/plot" + std::to_string(i) + ".svg"));
                batch.add({curve}, "Plot " + std::to_string(i), targets.back());
            }
            batch.finish();
        } catch (const seed::Error &e) {
            failure = e.what();
        }
    }
    ::setenv("PATH", path.c_str(), 1);
    // gnuplot drew some: the first missing one is named.
    EXPECT_NE(failure.find("gnuplot wrote nothing for " + dir.path() + "/site/plot"), std::string::npos) << failure;
    EXPECT_EQ(failure.find("site/plot0.svg"), std::string::npos) << failure;
    for (const std::string &target : targets) EXPECT_FALSE(fs::exists(target)) << target;
    EXPECT_FALSE(fs::exists(dir / "site/.plots"));
}

// The site's SVG made smaller again draws the same: repeated attributes of
// groups and paths become classes (lengths in px, gnuplot's own class
// kept), path points the same to the tenth in shorter commands (a path
// of another form as it was), definitions nothing uses left out, texts
// and other elements untouched.
TEST(PlotSvg, ClassedKeepsEveryPointAndText)
{
    const std::string svg =
        "<svg width=\"1100\">\n<defs>\n\t<circle id='gpDot' r='0.5'/>\n<circle id='gpPt5' r='1'/>\n"
        "<use xlink:href='#gpPt5' id='gpPt6' fill='currentColor'/>\n"
        "<filter id='textbox' x='0'>\n  <feFlood flood-color='white'/>\n</filter>\n</defs>\n"
        "<g fill=\"none\" color=\"black\" stroke-width=\"1.0\">\n"
        "<path stroke='black'  d='M98.0,352.3 L101.8,352.3 M1072.0,352.3 L1068.2,352.3 Z'/></g>\n"
        "<g fill=\"none\" color=\"black\" stroke-width=\"1.0\">\n"
        "<path stroke='gray' stroke-dasharray='2,4' class=\"gridline\"  d='M98.0,99.3 L1072.0,99.3  '/>"
        "<path stroke='black' d='M-1.25,3.144 L1,2'/>\n"
        "<g transform=\"translate(91.0,86.5)\" stroke=\"none\" font-size=\"10.0\">\n"
        "<text>fill='x' M98.0,1.0</text>\n</g>\n"
        "<use xlink:href='#gpPt6' transform='translate(1,2)'/>\n</g>\n</svg>\n";
    EXPECT_EQ(seed::classed_svg(svg),
              "<svg width=\"1100\">\n<style>.a{fill:none;color:black;stroke-width:1.0px}\n.b{stroke:black}\n"
              ".c{stroke:gray;stroke-dasharray:2,4}\n.d{stroke:none;font-size:10.0px}\n</style>\n<defs>\n"
              "<circle id='gpPt5' r='1'/>\n<use xlink:href='#gpPt5' id='gpPt6' fill='currentColor'/>\n</defs>\n"
              "<g class=\"a\">\n<path class=\"b\" d='M98 352.3h3.8m970.2 0h-3.8Z'/></g>\n"
              "<g class=\"a\">\n<path class=\"gridline c\" d='M98 99.3h974'/>"
              "<path class=\"b\" d='M-1.25,3.144 L1,2'/>\n"
              "<g class=\"d\" transform=\"translate(91.0,86.5)\">\n"
              "<text>fill='x' M98.0,1.0</text>\n</g>\n"
              "<use xlink:href='#gpPt6' transform='translate(1,2)'/>\n</g>\n</svg>\n");
}

}  // namespace
