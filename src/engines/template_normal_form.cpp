#include "engines/template_normal_form.h"

#include <algorithm>
#include <array>
#include <span>
#include <unordered_map>

#include "engines/keyword_placeholders.h"
#include "net/url_parts.h"

namespace trasslo {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == y; });
}

// Appends `host` in lower case; a double-byte character is copied as it is.
void append_lower_host(std::string_view host, LocalText& out) {
    for (size_t at = 0; at < host.size(); ++at) {
        if (is_gbk_lead_byte(static_cast<unsigned char>(host[at])) && at + 1 < host.size()) {
            out.append(host, at, 2);
            ++at;
        } else {
            out += lower(host[at]);
        }
    }
}

std::string_view parameter_name(std::string_view parameter) {
    return parameter.substr(0, parameter.find('='));
}

// Appends the query with its '&'-separated parameters sorted by name; equal names keep their
// order. Most queries have a handful of parameters: they are sorted on the stack.
void append_sorted_query(std::string_view query, LocalText& out) {
    std::array<std::string_view, 24> few;
    std::vector<std::string_view> many;
    std::size_t count = 0;
    auto add = [&](std::string_view parameter) {
        if (count < few.size()) {
            few[count] = parameter;
        } else {
            if (many.empty()) many.assign(few.begin(), few.end());
            many.push_back(parameter);
        }
        ++count;
    };
    size_t begin = 0;
    for (;;) {
        const size_t end = query.find('&', begin);
        add(query.substr(begin, end - begin));
        if (end == std::string_view::npos) break;
        begin = end + 1;
    }
    const std::span<std::string_view> parameters =
        many.empty() ? std::span<std::string_view>(few.data(), count) : std::span(many);
    std::stable_sort(parameters.begin(), parameters.end(),
                     [](std::string_view a, std::string_view b) {
                         return parameter_name(a) < parameter_name(b);
                     });
    for (size_t i = 0; i < parameters.size(); ++i) {
        if (i > 0) out += '&';
        out += parameters[i];
    }
}

}  // namespace

LocalText template_normal_form(std::string_view address_template) {
    static const KeywordPlaceholders placeholders;
    LocalText form;
    standard_template_normal_form(placeholders.standardize(address_template), form);
    return form;
}

void standard_template_normal_form(std::string_view text, LocalText& form) {
    form.clear();
    const UrlPieces url = split_url(text);
    const bool http = equal_ignoring_case(url.scheme, "http");
    const bool https = equal_ignoring_case(url.scheme, "https");
    if (!http && !https) {
        form = text;
        return;
    }
    form += "//";
    if (!url.userinfo.empty()) {
        form += url.userinfo;
        form += '@';
    }
    const size_t host_at = form.size();
    append_lower_host(url.host, form);
    if (std::string_view(form).substr(host_at).starts_with("www.")) form.erase(host_at, 4);
    if (!url.port.empty() && url.port != (https ? "443" : "80")) {
        form += ':';
        form += url.port;
    }
    if (url.path.empty()) {
        form += '/';
    } else {
        form += url.path;
    }
    if (!url.query.empty()) {
        form += '?';
        append_sorted_query(url.query, form);
    }
}

bool same_engine_template(std::string_view a, std::string_view b) {
    return template_normal_form(a) == template_normal_form(b);
}

std::vector<DuplicateGroup> duplicate_engine_groups(const std::vector<TraceEngine>& engines) {
    std::vector<DuplicateGroup> groups;
    // Normal form -> its group's index in `groups`, or -(first member + 1) while it has one
    // member only.
    std::unordered_map<LocalText, std::ptrdiff_t> seen;
    seen.reserve(engines.size());
    for (std::size_t i = 0; i < engines.size(); ++i) {
        auto [it, inserted] = seen.try_emplace(template_normal_form(engines[i].address),
                                               -static_cast<std::ptrdiff_t>(i) - 1);
        if (inserted) continue;
        if (it->second < 0) {
            // The second member makes the group; sorted by first member below.
            groups.push_back(DuplicateGroup{static_cast<std::size_t>(-it->second - 1), {}});
            it->second = static_cast<std::ptrdiff_t>(groups.size() - 1);
        }
        groups[static_cast<std::size_t>(it->second)].duplicates.push_back(i);
    }
    std::sort(groups.begin(), groups.end(),
              [](const DuplicateGroup& a, const DuplicateGroup& b) { return a.kept < b.kept; });
    return groups;
}

std::vector<TraceEngine> without_duplicates(const std::vector<TraceEngine>& engines,
                                            const std::vector<DuplicateGroup>& groups) {
    std::vector<bool> drop(engines.size(), false);
    for (const DuplicateGroup& group : groups) {
        for (std::size_t i : group.duplicates) {
            if (i < drop.size()) drop[i] = true;
        }
    }
    std::vector<TraceEngine> kept;
    kept.reserve(engines.size());
    for (std::size_t i = 0; i < engines.size(); ++i) {
        if (!drop[i]) kept.push_back(engines[i]);
    }
    return kept;
}

}  // namespace trasslo
