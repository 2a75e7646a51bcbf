#include "html/html_page.h"

#include <gumbo.h>

#include <memory>
#include <vector>

#include "html/keyword_echo.h"
#include "html/robots_directives.h"

namespace trasslo {
namespace {

struct OutputDeleter {
    void operator()(GumboOutput* output) const {
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};

// Elements whose content is no visible text: the value of a text area is what a search box
// holds, not what the page says.
bool hides_content(GumboTag tag) {
    return tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TEXTAREA ||
           tag == GUMBO_TAG_TEMPLATE;
}

// Elements that flow with the text around them; all others stand apart from it.
bool is_inline(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_A:
        case GUMBO_TAG_ABBR:
        case GUMBO_TAG_B:
        case GUMBO_TAG_BDI:
        case GUMBO_TAG_BDO:
        case GUMBO_TAG_BIG:
        case GUMBO_TAG_CITE:
        case GUMBO_TAG_CODE:
        case GUMBO_TAG_DATA:
        case GUMBO_TAG_DFN:
        case GUMBO_TAG_EM:
        case GUMBO_TAG_FONT:
        case GUMBO_TAG_I:
        case GUMBO_TAG_KBD:
        case GUMBO_TAG_LABEL:
        case GUMBO_TAG_MARK:
        case GUMBO_TAG_NOBR:
        case GUMBO_TAG_Q:
        case GUMBO_TAG_S:
        case GUMBO_TAG_SAMP:
        case GUMBO_TAG_SMALL:
        case GUMBO_TAG_SPAN:
        case GUMBO_TAG_STRIKE:
        case GUMBO_TAG_STRONG:
        case GUMBO_TAG_SUB:
        case GUMBO_TAG_SUP:
        case GUMBO_TAG_TIME:
        case GUMBO_TAG_TT:
        case GUMBO_TAG_U:
        case GUMBO_TAG_VAR:
            return true;
        default:
            return false;
    }
}

bool meta_forbids_indexing(const GumboElement& meta) {
    const GumboAttribute* name = gumbo_get_attribute(&meta.attributes, "name");
    const GumboAttribute* content = gumbo_get_attribute(&meta.attributes, "content");
    if (!name || !content) return false;
    std::string crawler = name->value;
    for (char& c : crawler)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (crawler != "robots" && crawler != "googlebot" && crawler != "baiduspider") return false;
    return directives_forbid_indexing(content->value);
}

}  // namespace

HtmlPage read_html_page(std::string_view utf8_html) {
    HtmlPage page;
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;  // the parse errors of a page are of no interest here
    const std::unique_ptr<GumboOutput, OutputDeleter> output(
        gumbo_parse_with_options(&options, utf8_html.data(), utf8_html.size()));
    if (!output) return page;

    // Depth first without recursion: pages can nest deeper than a stack would like. A null entry
    // marks the end of a block element, where a space follows its content.
    std::string raw;
    std::vector<const GumboNode*> pending{output->document};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (!node) {
            raw += ' ';
            continue;
        }
        switch (node->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_CDATA:
            case GUMBO_NODE_WHITESPACE:
                raw += node->v.text.text;
                break;
            case GUMBO_NODE_DOCUMENT:
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE: {
                const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT
                                                  ? node->v.document.children
                                                  : node->v.element.children;
                if (node->type != GUMBO_NODE_DOCUMENT) {
                    const GumboElement& element = node->v.element;
                    if (element.tag == GUMBO_TAG_META && meta_forbids_indexing(element))
                        page.noindex = true;
                    if (hides_content(element.tag)) break;
                    if (!is_inline(element.tag)) {
                        raw += ' ';
                        pending.push_back(nullptr);
                    }
                }
                for (unsigned i = children.length; i > 0; --i)
                    pending.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
                break;
            }
            case GUMBO_NODE_COMMENT:
                break;
        }
    }
    page.text = collapse_white_space(raw);
    return page;
}

}  // namespace trasslo
