// The visit-log line both ways: any line reads as a visit or as nothing, and a visit read back
// is the visit that was written; a visit made of the input is written and read back whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "journal/visit_log.h"

namespace {

std::int64_t number(trasslo::fuzz::FuzzInput& in) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | in.byte();
    return static_cast<std::int64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto read = trasslo::read_visit_log_line(bytes)) {
        if (trasslo::read_visit_log_line(trasslo::visit_log_line(*read)) != read) __builtin_trap();
    }

    trasslo::fuzz::FuzzInput in(data, size);
    trasslo::VisitRow row;
    row.run = number(in);
    row.round = static_cast<int>(number(in));
    row.keyword_index = static_cast<int>(number(in));
    row.engine_index = static_cast<int>(number(in));
    row.encoding = static_cast<int>(number(in));
    row.status = static_cast<long>(number(in));
    row.attempts = static_cast<int>(number(in));
    row.elapsed_ms = number(in);
    row.bytes = number(in);
    row.visited_at = number(in);
    const std::uint8_t flags = in.byte();
    row.echoed = flags & 1;
    row.noindex = flags & 2;
    for (std::string* text : {&row.keyword, &row.engine, &row.address_template, &row.address,
                              &row.final_address, &row.charset, &row.title, &row.error})
        *text = std::string(in.piece());
    const std::string line = trasslo::visit_log_line(row);
    if (line.empty() || line.back() != '\n' || line.find('\n') + 1 != line.size()) __builtin_trap();
    if (trasslo::read_visit_log_line(line) != row) __builtin_trap();
    return 0;
}
