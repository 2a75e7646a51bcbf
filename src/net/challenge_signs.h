// Recognising a challenge page: the CAPTCHA, browser check or firewall block a site shows in
// place of its answer. The signs are a table in the program's data file (data/
// challenge_signs.txt, built in) and, added to it, the user's file of the same form beside the
// program; the README describes the form.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/local_text.h"

namespace trasslo {

// The user's file of further signs beside the program.
inline constexpr const char* kUserChallengeSignsFile = "验证页特征.txt";

// What a visit's final answer shows, for the signs to look at.
struct ChallengeFacts {
    long status = 0;
    std::string_view final_address;
    std::string_view raw_headers;
    std::string_view title;  // local text
    std::string_view page;   // local text
    bool echoed = false;     // the page shows the keyword
};

class ChallengeSigns {
  public:
    // Reads a table (UTF-8). A line that is no sign adds "SOURCE:LINE: ..." to `warnings`.
    void add(std::string_view table, std::string_view source, std::vector<std::string>& warnings);
    bool matches(const ChallengeFacts& facts) const;
    bool empty() const;

    // The signs built from the program's data file.
    static ChallengeSigns built_in();

  private:
    struct StatusSign {
        std::vector<long> statuses;
        std::vector<std::pair<std::string, std::string>> headers;  // lower-cased
        std::vector<std::string> bodies;                           // lower-cased, local text
    };
    std::vector<StatusSign> statuses_;
    std::vector<std::string> hosts_;  // lower-cased
    std::vector<std::string> paths_;  // lower-cased, starting with '/'
    std::vector<LocalText> titles_;
};

// The signs every visit is read with: the built-in ones until the program adds the user's.
std::shared_ptr<const ChallengeSigns> challenge_signs();
void set_challenge_signs(ChallengeSigns signs);

}  // namespace trasslo
