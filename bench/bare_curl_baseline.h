// The baseline of the request benchmarks: a bare libcurl loop with a fresh easy handle per GET,
// nothing done with the page, and the local nginx page that both sides visit.
#pragma once

#include <curl/curl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/nginx_server.h"

namespace trasslo::bench {

inline std::size_t discard_body(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

// GETs every address; returns how many were answered 200. `ca_file` trusts a test CA for https.
inline int bare_curl_loop(const std::vector<std::string>& addresses,
                          const std::string& ca_file = {}) {
    int ok = 0;
    for (const std::string& address : addresses) {
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard_body);
        if (!ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, ca_file.c_str());
        long status = 0;
        if (curl_easy_perform(curl) == CURLE_OK &&
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200)
            ++ok;
        curl_easy_cleanup(curl);
    }
    return ok;
}

// Starts nginx with the page "s.html" titled "bench page"; false (and a message) if it fails.
inline bool serve_bench_page(support::NginxServer& nginx) {
    if (!nginx.start()) {
        std::fprintf(stderr, "nginx did not start: %s\n", nginx.error().c_str());
        return false;
    }
    nginx.put_file("s.html",
                   "<html><head><meta charset=\"utf-8\"><title>bench page</title></head>"
                   "<body>results</body></html>");
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return true;
}

}  // namespace trasslo::bench
