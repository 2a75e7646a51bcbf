// A site's robots.txt read by the robots exclusion standard (RFC 9309): groups of rules by
// user agent, and whether a crawler may fetch a path. Crawlers are named by their product token
// ("Baiduspider", "Googlebot"), compared case-blind; a crawler without a group of its own obeys
// the "*" group, and one with neither may fetch everything.
//
//   const RobotsRules rules = RobotsRules::parse("User-agent: *\nDisallow: /s?\n");
//   rules.allows("Googlebot", "/s?q=%E6%B5%8B")  == false
//   rules.allows("Googlebot", "/index.html")      == true
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trasslo {

class RobotsRules {
  public:
    // Reads the text of a robots.txt (any line ends, a byte-order mark, comments after '#').
    // Lines it does not understand are skipped; rules before the first user-agent line belong
    // to no group.
    static RobotsRules parse(std::string_view text);

    // Whether the crawler named `product_token` may fetch `path_and_query` (the path of an
    // address with its query, "/" for an empty path). The longest matching rule wins, counted
    // in octets of its normal form; Allow wins a tie; "/robots.txt" is always allowed.
    bool allows(std::string_view product_token, std::string_view path_and_query) const;

  private:
    struct Rule {
        bool allow = false;
        std::string pattern;  // in the normal form of robots_normal_form
    };
    struct Group {
        std::vector<std::string> agents;  // lower-case product tokens, or "*"
        std::vector<Rule> rules;
    };
    std::vector<Group> groups_;
};

// A path or pattern with its percent-encoding in one form, so that "/%7e" and "/~" compare
// equal: escapes of unreserved characters decoded, other escapes with upper-case digits, and
// bytes outside printable ASCII escaped.
std::string robots_normal_form(std::string_view path);

// The part of an address robots.txt rules are matched against: its path ("/" when empty) and,
// when it has one, "?" and its query; the fragment left out.
//   robots_path("http://a.cn?q=1#x") == "/?q=1"
std::string robots_path(std::string_view address);

}  // namespace trasslo
