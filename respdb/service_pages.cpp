#include "respdb/service_pages.hpp"

#include "respdb/fdsn_query.hpp"

namespace respdb {

std::string service_page(bool root)
{
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\"><title>FDSN station web service</title></head>\n"
        "<body>\n<h1>FDSN station web service</h1>\n";
    if (root) {
        page += "<p>The station metadata of this response database: see <a href=\"/fdsnws/station/1/\">fdsnws/station/1</a>.</p>\n";
    } else {
        page += std::string("<p>Version ") + fdsn::service_version +
                " of fdsnws-station, answering from the response database in StationXML 1.2 or FDSN text.</p>\n"
                "<ul>\n"
                "<li><a href=\"query?level=network\">query</a>: GET with the parameters below, or POST a text/plain body of "
                "key=value lines then lines <code>NET STA LOC CHA START END</code></li>\n"
                "<li><a href=\"version\">version</a></li>\n"
                "<li><a href=\"application.wadl\">application.wadl</a>: the parameters, their types, defaults and options</li>\n"
                "</ul>\n<table>\n<tr><th>parameter</th><th>short</th><th>type</th><th>default</th><th></th></tr>\n";
        for (const fdsn::Parameter &p : fdsn::parameters())
            page += std::string("<tr><td>") + p.name + "</td><td>" + (p.short_name ? p.short_name : "") + "</td><td>" +
                    p.type + "</td><td>" + (p.default_value ? p.default_value : "") + "</td><td>" + p.about +
                    "</td></tr>\n";
        page += "</table>\n<p>matchtimeseries and includeavailability are not supported.</p>\n";
    }
    return page + "</body>\n</html>\n";
}

}  // namespace respdb
