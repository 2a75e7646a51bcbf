#include "run/page_visit.h"

#include <string>

#include "html/html_page.h"
#include "html/keyword_echo.h"
#include "html/robots_directives.h"
#include "net/site_of_host.h"
#include "text/local_text.h"
#include "text/lossless_text.h"
#include "text/url_encode.h"

namespace trasslo {
namespace {

// Whether any X-Robots-Tag line of a raw header block forbids indexing.
bool headers_forbid_indexing(std::string_view raw_headers) {
    for (const LocalText& line : split_text(raw_headers, "\r\n")) {
        const std::size_t colon = line.find(':');
        if (colon == LocalText::npos) continue;
        if (ascii_lower(trim(std::string_view(line).substr(0, colon))) != "x-robots-tag") continue;
        if (x_robots_tag_forbids_indexing(std::string_view(line).substr(colon + 1))) return true;
    }
    return false;
}

}  // namespace

PageReader page_reader(std::string_view keyword) {
    return [keyword_utf8 = lossless_to_utf8(keyword)](
               std::string_view page_utf8, std::string_view raw_headers, VisitOutcome& outcome) {
        const HtmlPage reading = read_html_page(page_utf8);
        outcome.echoed = text_echoes_keyword(reading.text, keyword_utf8);
        outcome.noindex = reading.noindex || headers_forbid_indexing(raw_headers);
    };
}

VisitOutcome visit_page(std::string_view address_template, std::string_view keyword, int encoding,
                        long timeout_ms, ProxyPool* proxies) {
    if (!proxies)
        return make_visit(address_template, keyword, encoding, page_reader(keyword), timeout_ms);
    const std::string site = site_of_address(address_template);
    for (;;) {
        const std::optional<ProxyRoute> route = proxies->choose(site);
        if (!route) return proxy_failed_outcome(address_template, keyword, encoding);
        VisitOutcome outcome = make_visit(address_template, keyword, encoding, page_reader(keyword),
                                          timeout_ms, route);
        // The environment's proxy is curl's to choose; it has no other to go to.
        if (!outcome.proxy_fault || outcome.abandoned || route->environment) {
            if (!outcome.proxy_fault) proxies->succeeded(*route);
            return outcome;
        }
        proxies->failed(*route);
    }
}

VisitOutcome proxy_failed_outcome(std::string_view address_template, std::string_view keyword,
                                  int encoding) {
    VisitOutcome outcome;
    outcome.address = fill_template(address_template, keyword, encoding == 1);
    outcome.error = VisitError::proxy_failed;
    return outcome;
}

}  // namespace trasslo
