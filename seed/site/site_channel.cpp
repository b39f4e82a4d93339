// A channel epoch's page: its facts, the Bode plot and the stages.
#include "seed/site/site_pages.hpp"

namespace seed::site_pages {

void Site::channel_page(const ChannelEpoch &c, const SiteLayout::Station &s)
{
    const std::string &path = layout_.page_of(&c);
    const Dictionary &d = dictionary_;
    Writer w;

    open_card(w, "Channel");
    w.open("dl", {{"class", "facts"}});
    const Abbreviation *instrument = d.abbreviation(c.id.instrument);
    fact(w, "Instrument", instrument ? instrument->description.text : "");
    fact(w, "Signal units", unit_text(c.id.signal_units));
    fact(w, "Calibration units", unit_text(c.id.calibration_units));
    fact(w, "Sample rate", number_text(c.id.sample_rate.value) + " samples/s");
    fact(w, "Clock drift", number_text(c.id.clock_drift.value) + " s/sample");
    fact(w, "Latitude, longitude",
         number_text(c.id.latitude.value) + "\u00b0, " + number_text(c.id.longitude.value) + "\u00b0");
    fact(w, "Elevation, depth",
         number_text(c.id.elevation.value) + " m, " + number_text(c.id.depth.value) + " m");
    fact(w, "Azimuth, dip", number_text(c.id.azimuth.value) + "\u00b0, " + number_text(c.id.dip.value) + "\u00b0");
    fact(w, "Sensitivity",
         c.sensitivity ? number_text(c.sensitivity->gain.value) + " " + response_units(c, d) + " at " +
                             number_text(c.sensitivity->frequency.value) + " Hz"
                       : "");
    fact(w, "Flags", c.id.flags.text);
    auto format = d.formats.find(c.id.format);
    fact(w, "Data format", format == d.formats.end() ? "" : format->second.name.text);
    fact(w, "Remark", c.id.remark.text);
    fact(w, "Epoch", full_time(c.id.start) + " \u2013 " + (open_end(c.id.end) ? "open" : full_time(c.id.end)));
    fact(w, "Checks", "", channel_tally(c));
    w.close("dl");
    if (!c.comments.empty()) {
        w.element("h3", "Comments");
        comments(w, c.comments);
    }
    close_card(w);

    // Findings come first when there are any; else the badge above says so.
    const auto &own = findings(c.codes(), c.id.start);
    if (!own.empty()) {
        open_card(w, "Check findings");
        findings_list(w, own);
        close_card(w);
    }

    open_card(w, "Response");
    plot(w, c, path);
    w.element("h3", "Stages");
    stage_table(w, c);
    close_card(w);

    // Other epochs of the channel, for going back and forth in time.
    std::vector<const ChannelEpoch *> others;
    std::set<const ChannelEpoch *> seen;
    for (const StationEpoch *e : s.epochs)
        for (const auto &o : e->channels)
            if (o->codes() == c.codes() && seen.insert(o.get()).second) others.push_back(o.get());
    if (others.size() > 1) {
        open_card(w, "Epochs of " + c.codes());
        w.open("ul", {{"class", "epochs"}});
        for (const ChannelEpoch *o : others) {
            w.open("li");
            std::string label = when(o->id.start) + " \u2013 " + when(o->id.end);
            if (o == &c)
                w.element("strong", label + " (this page)");
            else
                w.element("a", label, {{"href", link(path, layout_.page_of(o))}});
            w.close("li");
        }
        w.close("ul");
        close_card(w);
    }
    files_card(w, path, &c);

    std::string epoch = when(c.id.start) + " \u2013 " + when(c.id.end);
    page(path, c.codes() + " " + full_time(c.id.start) + " \u2014 " + options_.title,
         {{options_.title, "index.html"}, {s.codes, s.page}, {channel_label(c) + " " + when(c.id.start), ""}},
         c.codes(), "Channel epoch " + epoch, w);
}

void Site::plot(Writer &w, const ChannelEpoch &c, const std::string &path)
{
    std::string reason;
    const double fmin = 0.001;
    double fmax = nyquist(c);
    if (!options_.plots)
        reason = "This site was made without plots.";
    else if (c.stages.empty())
        reason = "The channel has no response stages.";
    else if (!(fmax > fmin * 10))
        reason = "The channel's sample rate of " + number_text(c.id.sample_rate.value) +
                 " samples/s leaves no frequency range to plot.";
    if (reason.empty()) {
        std::string image = path.substr(0, path.size() - 5) + ".svg";
        try {
            PlotCurve curve = channel_curve(c, dictionary_, frequencies(fmin, fmax), &responses_);
            plots_.add({curve},
                       "Response of " + c.codes() + " from " + full_time(c.id.start) + " to " +
                           (open_end(c.id.end) ? "open" : full_time(c.id.end)),
                       dir_ + "/" + image);
            ++summary_.plots;
            w.open("figure", {{"class", "plot"}});
            w.empty("img", {{"src", link(path, image)},
                            {"alt", "Bode plot of " + c.codes() + ": amplitude and phase from " +
                                        number_text(fmin) + " Hz to " + number_text(fmax) + " Hz"},
                            {"width", "1100"},
                            {"height", "850"}});
            w.element("figcaption",
                      "Amplitude (" + response_units(c, dictionary_) +
                          ") and phase from " + number_text(fmin) + " Hz to the Nyquist frequency " +
                          number_text(fmax) +
                          " Hz; the ring marks the stage-0 sensitivity. Digital stages are evaluated causal, "
                          "with each FIR's whole delay in the phase.");
            w.close("figure");
            return;
        } catch (const ResponseError &e) {
            reason = "The response cannot be evaluated: " + e.message() +
                     (e.source().file.empty() ? "" : " [" + relative_source(e.source(), root_) + "]");
        }
    }
    ++summary_.unplotted;
    w.element("p", "No plot. " + reason, {{"class", "quiet noplot"}});
}

void Site::stage_table(Writer &w, const ChannelEpoch &c)
{
    const Dictionary &d = dictionary_;
    table_head(w, {"#Stage", "Type", "Units in \u2192 out", "#Gain", "#at (Hz)", "#Input rate", "#Factor",
                   "#Output rate", "#Delay (s)", "Filter"});
    for (const Stage &s : c.stages) {
        w.open("tr");
        cell(w, std::to_string(s.number), "num");
        std::string type, detail;
        for (const Filter &f : s.filters) {
            type += (type.empty() ? "" : "; ") + filter_type(f);
            detail += (detail.empty() ? "" : "; ") + filter_detail(f);
        }
        cell(w, type.empty() ? "gain only" : type);
        cell(w, s.filters.empty() ? "\u2014"
                                  : unit_name(d, input_units(s.filters.front())) + " \u2192 " +
                                        unit_name(d, output_units(s.filters.back())),
             "code");
        cell(w, s.sensitivity ? number_text(s.sensitivity->gain.value) : "\u2014", "num");
        cell(w, s.sensitivity ? number_text(s.sensitivity->frequency.value) : "\u2014", "num");
        if (s.decimation) {
            const Decimation &m = *s.decimation;
            cell(w, number_text(m.input_rate.value), "num");
            cell(w, std::to_string(m.factor), "num");
            cell(w, m.factor > 0 ? number_text(m.input_rate.value / m.factor) : "\u2014", "num");
            cell(w, number_text(m.delay.value) + " / " + number_text(m.correction.value), "num");
        } else {
            for (int i = 0; i < 4; ++i) cell(w, "\u2014", "num");
        }
        cell(w, detail.empty() ? "\u2014" : detail);
        w.close("tr");
        w.line();
    }
    if (c.sensitivity) {
        w.open("tr", {{"class", "total"}});
        cell(w, "0", "num");
        cell(w, "Sensitivity of the channel");
        cell(w, response_units(c, d), "code");
        cell(w, number_text(c.sensitivity->gain.value), "num");
        cell(w, number_text(c.sensitivity->frequency.value), "num");
        for (int i = 0; i < 5; ++i) cell(w, "");
        w.close("tr");
        w.line();
    }
    table_end(w);
    if (c.stages.empty()) w.element("p", "The channel has no response stages.", {{"class", "quiet"}});
    else
        w.element("p", "Delay (s): the estimated delay and the correction applied, of each decimation.",
                  {{"class", "quiet"}});
}

}  // namespace seed::site_pages
