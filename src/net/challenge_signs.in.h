// The program's challenge signs (data/challenge_signs.txt), put in at build time.
#pragma once
namespace trasslo {
inline constexpr const char* kBuiltInChallengeSigns = R"signs(@CHALLENGE_SIGNS@)signs";
}
