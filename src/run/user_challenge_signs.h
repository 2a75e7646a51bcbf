// The user's challenge signs: the file "验证页特征.txt" beside the program, of the form of the
// built-in table, adds to it for every visit the program makes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace trasslo {

// Adds the signs of the user's file in `program_folder` (when there is one) to the built-in
// table. Lines that are no sign give warnings (UTF-8) naming the file and line.
void load_user_challenge_signs(const std::filesystem::path& program_folder,
                               std::vector<std::string>& warnings);

}  // namespace trasslo
