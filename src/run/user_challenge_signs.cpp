#include "run/user_challenge_signs.h"

#include "files/whole_file.h"
#include "net/challenge_signs.h"

namespace trasslo {

void load_user_challenge_signs(const std::filesystem::path& program_folder,
                               std::vector<std::string>& warnings) {
    const std::filesystem::path file = program_folder / kUserChallengeSignsFile;
    std::string text;
    std::error_code error;
    if (!std::filesystem::exists(file, error) || !read_whole_file(file, text)) return;
    ChallengeSigns signs = ChallengeSigns::built_in();
    signs.add(text, file.string(), warnings);
    set_challenge_signs(std::move(signs));
}

}  // namespace trasslo
