// The link-address export over any engine list and keyword list: it never crashes, writes one
// line per keyword and ticked engine, and each line is the template filled by the plain
// replacement, whatever the cache of cut templates keeps between keywords.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engines/engine_list_file.h"
#include "fuzz_input.h"
#include "run/export_link_addresses.h"
#include "text/local_text.h"
#include "text/url_encode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput input(data, size);
    const std::string_view keyword_text = input.piece();
    // Engine lists change between keywords in the window; the second list stands in for that.
    const auto first = trasslo::parse_engine_list_text(input.piece());
    const auto second = trasslo::parse_engine_list_text(input.rest());

    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    if (!out) return 0;
    int snapshots = 0;
    std::vector<std::vector<trasslo::TraceEngine>> seen;
    const auto engines = [&] {
        seen.push_back(snapshots++ % 2 == 0 ? first : second);
        return seen.back();
    };
    const std::uint64_t count = trasslo::write_link_addresses(out, keyword_text, engines, {});
    std::fclose(out);
    const std::string written(buffer, length);
    std::free(buffer);

    std::string expected;
    std::uint64_t expected_count = 0;
    const auto keywords = trasslo::split_text(keyword_text, "\r\n");
    if (seen.size() != keywords.size()) __builtin_trap();
    for (std::size_t k = 0; k < keywords.size(); ++k) {
        for (const trasslo::TraceEngine& e : seen[k]) {
            if (!e.enabled) continue;
            const bool utf8 = e.encoding == trasslo::engine_encoding_utf8;
            expected +=
                trasslo::replace_text(e.address, "{*}", trasslo::url_encode(keywords[k], utf8)) +
                "\r\n";
            ++expected_count;
        }
    }
    if (count != expected_count || written != expected) __builtin_trap();
    return 0;
}
