// The pure pieces of the request path that read header blocks: the cookies of a raw response
// header block, the agent name and the completed request header block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "net/page_request.h"
#include "text/local_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    const std::string_view cookies = in.piece();
    const std::string_view block = in.rest();

    // One cookie per line that mentions Set-Cookie, none of them holding a ';' (in ASCII
    // text: elsewhere a ';' can be the second half of a double-byte character).
    const auto found = trasslo::cookies_from_headers(block);
    long lines = 0;
    for (const auto& line : trasslo::split_text(block, "\r\n"))
        lines += trasslo::find_text(line, "Set-Cookie") >= 0;
    const auto separators = std::count(found.begin(), found.end(), ';');
    const bool ascii = std::none_of(block.begin(), block.end(), [](char c) { return c & 0x80; });
    if (lines == 0 ? !found.empty() : ascii && separators != lines - 1) __builtin_trap();

    trasslo::page_request_agent_name(block);

    // The request block keeps the caller's lines in front and always names what it accepts.
    const auto request = trasslo::page_request_header_block(block, cookies);
    if (!block.empty() && !request.starts_with(block)) __builtin_trap();
    if (trasslo::find_text(request, "Accept:") < 0 ||
        trasslo::find_text(request, "Accept-Language:") < 0 ||
        trasslo::find_text(request, "Content-Type:") < 0)
        __builtin_trap();
    if (!cookies.empty() && !request.ends_with("\r\nCookie: " + std::string(cookies)))
        __builtin_trap();
    return 0;
}
