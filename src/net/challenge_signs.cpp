#include "net/challenge_signs.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <mutex>

#include "net/challenge_signs_table.h"
#include "net/url_parts.h"

namespace trasslo {
namespace {

// The fields of a line joined by " | ", trimmed.
std::vector<std::string> fields_of(std::string_view line) {
    std::vector<std::string> fields;
    for (;;) {
        const std::size_t bar = line.find(" | ");
        fields.push_back(trim(line.substr(0, bar)));
        if (bar == std::string_view::npos) return fields;
        line.remove_prefix(bar + 3);
    }
}

// Whether `path` has `segment` ("/verify") at a segment boundary.
bool has_path_segment(std::string_view path, std::string_view segment) {
    for (std::size_t at = path.find(segment); at != std::string_view::npos;
         at = path.find(segment, at + 1)) {
        const std::size_t end = at + segment.size();
        if (end == path.size() ||
            std::string_view("/?#.;").find(path[end]) != std::string_view::npos)
            return true;
    }
    return false;
}

bool has_header(std::string_view raw_headers, const std::string& name, const std::string& value) {
    for (const LocalText& line : split_text(raw_headers, "\r\n")) {
        const std::size_t colon = line.find(':');
        if (colon == LocalText::npos) continue;
        if (ascii_lower(trim(std::string_view(line).substr(0, colon))) == name &&
            ascii_lower(trim(std::string_view(line).substr(colon + 1))) == value)
            return true;
    }
    return false;
}

std::mutex& signs_mutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const ChallengeSigns>& current_signs() {
    static std::shared_ptr<const ChallengeSigns> signs =
        std::make_shared<const ChallengeSigns>(ChallengeSigns::built_in());
    return signs;
}

}  // namespace

void ChallengeSigns::add(std::string_view table, std::string_view source,
                         std::vector<std::string>& warnings) {
    int number = 0;
    // The table is UTF-8: its lines are split byte by byte, not as local text.
    for (std::size_t start = 0; start < table.size();) {
        std::size_t end = table.find('\n', start);
        if (end == std::string_view::npos) end = table.size();
        std::string_view raw = table.substr(start, end - start);
        start = end + 1;
        ++number;
        if (raw.ends_with('\r')) raw.remove_suffix(1);  // CR LF lines
        const std::string line = trim(raw);
        if (line.empty() || line.front() == '#') continue;
        auto warn = [&](std::string_view why) {
            warnings.push_back(std::string(source) + ":" + std::to_string(number) + ": " +
                               std::string(why) + "，已跳过");
        };
        const std::size_t bar = line.find(" | ");
        const std::string kind = ascii_lower(trim(std::string_view(line).substr(0, bar)));
        const std::string value =
            bar == std::string::npos ? "" : trim(std::string_view(line).substr(bar + 3));
        if (value.empty()) {
            warn("验证页特征缺少内容");
        } else if (kind == "title") {
            titles_.push_back(local(value));
        } else if (kind == "host") {
            hosts_.push_back(ascii_lower(value));
        } else if (kind == "path") {
            paths_.push_back(ascii_lower(value.front() == '/' ? value : "/" + value));
        } else if (kind == "status") {
            const std::vector<std::string> fields = fields_of(value);
            StatusSign sign;
            bool good = true;
            for (const LocalText& code : split_text(fields[0], " ")) {
                long status = 0;
                const auto [end, failed] =
                    std::from_chars(code.data(), code.data() + code.size(), status);
                if (code.empty()) continue;
                if (failed != std::errc() || end != code.data() + code.size()) good = false;
                sign.statuses.push_back(status);
            }
            for (std::size_t i = 1; i < fields.size() && good; ++i) {
                const std::string& condition = fields[i];
                if (condition.starts_with("header ") && condition.find(':') != std::string::npos) {
                    const std::size_t colon = condition.find(':');
                    sign.headers.emplace_back(ascii_lower(trim(condition.substr(7, colon - 7))),
                                              ascii_lower(trim(condition.substr(colon + 1))));
                } else if (condition.starts_with("body ")) {
                    sign.bodies.push_back(ascii_lower(local(trim(condition.substr(5)))));
                } else {
                    good = false;
                }
            }
            if (!good || sign.statuses.empty())
                warn("状态特征无法识别");
            else
                statuses_.push_back(std::move(sign));
        } else {
            warn("未知的验证页特征 " + kind);
        }
    }
}

bool ChallengeSigns::empty() const {
    return statuses_.empty() && hosts_.empty() && paths_.empty() && titles_.empty();
}

bool ChallengeSigns::matches(const ChallengeFacts& facts) const {
    if (!facts.final_address.empty()) {
        const std::string host = url_host(facts.final_address);
        for (const std::string& name : hosts_)
            if (host == name || host.ends_with("." + name)) return true;
        std::string path = ascii_lower(url_path(facts.final_address));
        path.resize(std::min(path.find_first_of("?#"), path.size()));
        for (const std::string& segment : paths_)
            if (has_path_segment(path, segment)) return true;
    }
    LocalText page;  // lower-cased once, when a sign needs it
    bool page_lowered = false;
    for (const StatusSign& sign : statuses_) {
        bool status = false;
        for (long code : sign.statuses) status = status || code == facts.status;
        if (!status) continue;
        bool all = true;
        for (const auto& [name, value] : sign.headers)
            all = all && has_header(facts.raw_headers, name, value);
        for (const std::string& text : sign.bodies) {
            if (!all) break;
            if (!page_lowered) {
                page = ascii_lower(facts.page);
                page_lowered = true;
            }
            all = page.find(text) != LocalText::npos;
        }
        if (all) return true;
    }
    // A page that shows the keyword is a result page, whatever its title says.
    if (!facts.echoed && !facts.title.empty())
        for (const LocalText& title : titles_)
            if (facts.title.find(title) != std::string_view::npos) return true;
    return false;
}

ChallengeSigns ChallengeSigns::built_in() {
    ChallengeSigns signs;
    std::vector<std::string> ignored;
    signs.add(kBuiltInChallengeSigns, "challenge_signs.txt", ignored);
    return signs;
}

std::shared_ptr<const ChallengeSigns> challenge_signs() {
    const std::lock_guard lock(signs_mutex());
    return current_signs();
}

void set_challenge_signs(ChallengeSigns signs) {
    const std::lock_guard lock(signs_mutex());
    current_signs() = std::make_shared<const ChallengeSigns>(std::move(signs));
}

}  // namespace trasslo
