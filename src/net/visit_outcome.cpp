#include "net/visit_outcome.h"

#include <chrono>

#include "base/event_pump.h"
#include "net/abandon_scope.h"
#include "net/http_client.h"
#include "net/page_request.h"
#include "text/charset.h"
#include "text/html_entities.h"
#include "text/markers.h"
#include "text/url_encode.h"

namespace trasslo {
namespace {

std::string_view as_view(const ByteBuffer& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// What one attempt brought back: the exchange without its body, and the body.
struct Attempt {
    HttpResponse exchange;
    ByteBuffer body;
};

}  // namespace

std::string_view visit_error_name(VisitError error) {
    switch (error) {
        case VisitError::none:
            return "";
        case VisitError::dns:
            return "dns";
        case VisitError::connect:
            return "connect";
        case VisitError::tls:
            return "tls";
        case VisitError::timeout:
            return "timeout";
        case VisitError::too_large:
            return "too-large";
        case VisitError::redirect_loop:
            return "redirect-loop";
        case VisitError::http:
            return "http";
    }
    return "";
}

VisitError visit_error_of(RequestError error, long status) {
    switch (error) {
        case RequestError::none:
        case RequestError::aborted:
            return status >= 400 ? VisitError::http : VisitError::none;
        case RequestError::resolve:
            return VisitError::dns;
        case RequestError::timeout:
            return VisitError::timeout;
        case RequestError::tls:
            return VisitError::tls;
        case RequestError::too_large:
            return VisitError::too_large;
        case RequestError::redirect_loop:
            return VisitError::redirect_loop;
        case RequestError::bad_address:
        case RequestError::connect:
        case RequestError::transfer:
        case RequestError::other:
            return VisitError::connect;
    }
    return VisitError::connect;
}

std::string_view charset_name(int code) {
    switch (code) {
        case 1:
            return "gbk";
        case 2:
            return "utf-8";
        case 3:
            return "utf-16le";
        case 4:
            return "utf-16be";
        case 5:
            return "big5";
        case 6:
            return "big5-hkscs";
        default:
            return "";
    }
}

VisitOutcome make_visit(std::string_view address_template, std::string_view keyword, int encoding,
                        const PageReader& read_page) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    VisitOutcome outcome;
    HttpClient client;
    client.initialise();
    const bool secure = ascii_lower(address_template.substr(0, 8)) == "https://";
    outcome.address = fill_template(address_template, keyword, encoding == 1);

    for (int attempt = 1; attempt <= 3; ++attempt) {
        // A visit given up on a stop makes no further attempt.
        if (attempt > 1) {
            pause_until_stopped(500, abandon_requested);
            if (abandon_requested()) {
                outcome.abandoned = true;
                break;
            }
        }
        outcome.attempts = attempt;
        Attempt made;
        if (secure) {
            made.exchange = page_request_exchange(outcome.address);
            if (made.exchange.ok()) made.body = std::move(made.exchange.body);
        } else {
            // request_text's request; the page is decoded here so that its charset is known.
            made.body = client.request_bytes(outcome.address);
            made.exchange = client.request_object()->last_exchange();
        }
        const HttpResponse& exchange = made.exchange;
        if (exchange.error == RequestError::aborted) outcome.abandoned = true;
        outcome.status = exchange.status;
        outcome.final_address = exchange.final_url;
        outcome.bytes = exchange.received_bytes;
        outcome.error = visit_error_of(exchange.error, exchange.status);

        const DecodedText page = decode_to_local_text(as_view(made.body), 0);
        outcome.charset = made.body.empty() ? "" : std::string(charset_name(page.code));
        if (read_page) read_page(page.text, exchange.raw_headers, outcome);

        long position = 0;
        const LocalText title =
            slice_between_markers_lenient(page.text, "<title>", "</title>", position);
        if (!title.empty()) {
            outcome.title = decode_html_entities(title);
            break;
        }
        if (outcome.abandoned) break;
    }
    outcome.elapsed_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return outcome;
}

}  // namespace trasslo
