// Regular expressions over PCRE2 (UTF mode): local text goes in as UTF-8 and comes back as
// local text. ECMAScript-style syntax with the case, multi-line and global switches.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "text/local_text.h"

namespace trasslo {

class RegexObject {
  public:
    RegexObject();
    ~RegexObject();
    RegexObject(const RegexObject& other);
    RegexObject& operator=(const RegexObject& other);

    // Compiles `pattern`; false when it does not compile (the object stays empty).
    bool create(std::string_view pattern, bool ignore_case = true, bool multiline = true,
                bool global = true);
    // The subject with matches replaced; $1, $2 ... stand for groups. Unchanged when nothing
    // matches or the object is empty.
    LocalText replace(std::string_view subject, std::string_view replacement);
    // Runs the pattern over `subject` and keeps the matches for the access operations.
    long execute(std::string_view subject);
    LocalText pattern() const;
    long match_count() const;
    LocalText match_text(long i) const;             // 1-based
    LocalText submatch_text(long i, long j) const;  // match i, group j, both 1-based
    long submatch_count() const;
    void release();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The title cut before its first '-', '_' or '—' on each line, when at least one character
// stands before and after the separator.
//   title_before_separator("Example Shop - Home") == "Example Shop "
LocalText title_before_separator(std::string_view title);

}  // namespace trasslo
