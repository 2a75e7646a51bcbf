// When two address templates are the same engine: the form both take once the differences that
// do not change the search page are taken out, and the duplicate groups of an engine list.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "engines/trace_engine.h"
#include "text/local_text.h"

namespace trasslo {

// The normal form of an http or https template: the scheme left out, the host in lower case
// without a leading "www.", the port dropped when it is the scheme's default (80, 443), an empty
// path written "/", the fragment and an empty query dropped, the query's parameters sorted by
// name (stable, values kept), and every placeholder form (keyword_placeholders.h) written "{*}".
// Any other template is its own form with only the placeholders rewritten.
//   template_normal_form("https://WWW.Sina.com.cn:443/s?q=%s&c=1#x") ==
//       template_normal_form("http://sina.com.cn/s?c=1&q={*}")
LocalText template_normal_form(std::string_view address_template);

// The same for a template whose placeholders are already written "{*}" (the import's own), without
// that pass, written into `form` (whose buffer a caller can reuse from template to template).
void standard_template_normal_form(std::string_view address_template, LocalText& form);

// True when the two templates have the same normal form.
bool same_engine_template(std::string_view a, std::string_view b);

// One set of engines with the same normal form: the first in list order is kept, the others are
// its duplicates. Indices into the list.
struct DuplicateGroup {
    std::size_t kept = 0;
    std::vector<std::size_t> duplicates;
};

// The groups of `engines` that have more than one member, in the order of their first member;
// one pass over a hash of the normal forms.
std::vector<DuplicateGroup> duplicate_engine_groups(const std::vector<TraceEngine>& engines);

// `engines` without the duplicates of `groups`, in their order.
std::vector<TraceEngine> without_duplicates(const std::vector<TraceEngine>& engines,
                                            const std::vector<DuplicateGroup>& groups);

}  // namespace trasslo
