#include "net/fetch_title.h"

#include "base/event_pump.h"
#include "net/abandon_scope.h"
#include "net/http_client.h"
#include "net/page_request.h"
#include "text/charset.h"
#include "text/html_entities.h"
#include "text/markers.h"
#include "text/url_encode.h"

namespace trasslo {

LocalText fetch_title(std::string_view address_template, std::string_view keyword, int encoding) {
    HttpClient client;
    client.initialise();
    const bool secure = ascii_lower(address_template.substr(0, 8)) == "https://";
    for (int attempt = 1; attempt <= 3; ++attempt) {
        // A visit given up on a stop makes no further attempt.
        if (attempt > 1) {
            pause_until_stopped(500, abandon_requested);
            if (abandon_requested()) break;
        }
        const LocalText address = fill_template(address_template, keyword, encoding == 1);
        LocalText page;
        if (secure) {
            page = decode_bytes_to_local_text(page_request(address), 0);
        } else {
            page = client.request_text(address);
        }
        long position = 0;
        const LocalText title =
            slice_between_markers_lenient(page, "<title>", "</title>", position);
        if (!title.empty()) return decode_html_entities(title);
    }
    return {};
}

}  // namespace trasslo
