// A result page read with an HTML parser: the text a visitor sees and what its robots meta tags
// say. The page is UTF-8 (the caller converts it); the parser copes with any markup, broken
// or not, so nothing here scans tags by hand.
#pragma once

#include <string>
#include <string_view>

namespace trasslo {

struct HtmlPage {
    // The title and the body's text: character references decoded; tags, attributes, scripts,
    // styles and the content of text areas left out; block elements and line breaks apart from
    // their neighbours by a space; every run of white space (including no-break spaces) one
    // space; no space at either end.
    //   "<title>A</title><p>b&amp;<b>c</b></p><p>d</p>"  gives  "A b&c d"
    std::string text;
    // A robots meta tag for every crawler ("robots") or for ours ("googlebot", "baiduspider")
    // says noindex (html/robots_directives.h).
    bool noindex = false;
};

HtmlPage read_html_page(std::string_view utf8_html);

}  // namespace trasslo
