// Reading a result page: any page (local text), any header block and any keyword give the echo
// and noindex facts without a fault; the page's text is one run of words apart by single spaces,
// and that text shows itself.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "html/html_page.h"
#include "html/keyword_echo.h"
#include "run/page_visit.h"
#include "text/local_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    const std::string_view keyword = in.piece();
    const std::string_view headers = in.piece();
    const std::string_view page = in.rest();

    trasslo::VisitOutcome outcome;
    trasslo::page_reader(keyword)(page, headers, outcome);

    const trasslo::HtmlPage reading = trasslo::read_html_page(trasslo::to_utf8(page));
    const std::string& text = reading.text;
    if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) __builtin_trap();
    if (text.find("  ") != std::string::npos) __builtin_trap();
    if (!text.empty() && !trasslo::text_echoes_keyword(text, text)) __builtin_trap();
    return 0;
}
