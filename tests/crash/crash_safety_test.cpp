// Crash safety of the saved files: a child process saves the engine list, the keyword list (a
// binary settings value) and settings values in a loop and is killed with SIGKILL at random
// moments, again and again. After every kill each file must hold one whole saved state, the
// old one or a newer one, never a mixture: no engine, no keyword and no setting is lost.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engines/engine_list.h"
#include "engines/engine_list_file.h"
#include "settings/settings_store.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "text/local_text.h"

namespace trasslo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kMaxKills = 200;
constexpr auto kTimeBudget = std::chrono::seconds(20);  // per kind of child

// --- the states a save can leave -----------------------------------------------------------------
// Every generation g of every file has its own content, of a length that rises and falls with g
// so that saves both grow and shrink the files.

std::size_t wobble(long g, std::size_t spread, std::size_t salt) {
    return static_cast<std::size_t>((static_cast<std::size_t>(g) * 7919u + salt * 104729u) %
                                    spread);
}

std::vector<TraceEngine> engines_of(long g) {
    std::vector<TraceEngine> engines;
    const std::size_t count = 20 + wobble(g, 180, 1);
    for (std::size_t i = 0; i < count; ++i) {
        engines.push_back(TraceEngine{
            i % 3 != 1, static_cast<int>(i % 2),
            local("引擎") + std::to_string(g) + "-" + std::to_string(i),
            "http://e" + std::to_string(i) + ".example/s?q={*}&g=" + std::to_string(g)});
    }
    return engines;
}

ByteBuffer keywords_of(long g) {
    std::string text;
    const std::size_t count = 10 + wobble(g, 400, 2);
    for (std::size_t i = 0; i < count; ++i) {
        if (i) text += "\r\n";
        text += local("关键词") + std::to_string(g) + "-" + std::to_string(i);
    }
    return ByteBuffer(text.begin(), text.end());
}

const std::vector<LocalText>& setting_keys() {
    static const std::vector<LocalText> keys = {local("甲"), local("乙"), local("丙"), local("丁")};
    return keys;
}

LocalText setting_value_of(long g, std::size_t key) {
    return "g" + std::to_string(g) + local("值") + std::string(wobble(g, 300, key + 3), 'v');
}

LocalText section() {
    return local("主界面");
}
LocalText keyword_key() {
    return local("关键词列表");
}

// The generation a text starts with after `prefix`, or nothing.
std::optional<long> generation_after(std::string_view text, std::string_view prefix) {
    if (!text.starts_with(prefix)) return std::nullopt;
    text.remove_prefix(prefix.size());
    long g = 0;
    std::size_t digits = 0;
    while (digits < text.size() && digits < 9 && text[digits] >= '0' && text[digits] <= '9')
        g = g * 10 + (text[digits++] - '0');
    if (digits == 0) return std::nullopt;
    return g;
}

// --- the child
// ------------------------------------------------------------------------------------

// Which saves the child makes in each generation. With all three, the syncs of the two replaced
// files take most of the time; with the settings values alone, the kills land among the in-place
// changes of the settings file.
struct Writers {
    bool engines;
    bool keywords;
    const char* name;
};

// Saves generation after generation, starting at `first`, until it is killed.
[[noreturn]] void save_forever(const fs::path& folder, long first, Writers writers) {
    SettingsStore store;
    if (!store.open(settings_file_path(folder))) ::_exit(3);
    store.set_section(section());
    for (long g = first;; ++g) {
        if (writers.engines) {
            EngineList list;
            list.engines = engines_of(g);
            if (!save_engine_list(list, folder)) ::_exit(4);
        }
        if (writers.keywords && !store.write_bytes(keyword_key(), keywords_of(g))) ::_exit(5);
        for (std::size_t k = 0; k < setting_keys().size(); ++k)
            if (!store.write_text(setting_keys()[k], setting_value_of(g, k))) ::_exit(6);
    }
}

// --- what the parent checks
// -------------------------------------------------------------------------

struct Seen {
    long engines = 0;
    long keywords = 0;
    std::vector<long> settings;  // per key, in write order
};

// The engine list file holds exactly one generation's list, not older than `at_least`.
::testing::AssertionResult engine_file_is_whole(const fs::path& folder, long at_least,
                                                long& found) {
    const fs::path file = engine_list_file_path(folder);
    if (!fs::exists(file)) return ::testing::AssertionFailure() << "engine list file missing";
    const std::string bytes = support::read_file_bytes(file);
    const auto g = generation_after(bytes, local("真|0|引擎"));
    if (!g) return ::testing::AssertionFailure() << "engine list starts with no generation";
    if (bytes != format_engine_list_text(engines_of(*g)))
        return ::testing::AssertionFailure()
               << "engine list is not generation " << *g << " whole (" << bytes.size()
               << " bytes, expected " << format_engine_list_text(engines_of(*g)).size() << ")";
    if (*g < at_least) return ::testing::AssertionFailure() << "engine list went back to " << *g;
    found = *g;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult keyword_file_is_whole(const fs::path& file, long at_least, long& found) {
    if (!fs::exists(file)) return ::testing::AssertionFailure() << "keyword file missing";
    const std::string bytes = support::read_file_bytes(file);
    const auto g = generation_after(bytes, local("关键词"));
    if (!g) return ::testing::AssertionFailure() << "keyword list starts with no generation";
    const ByteBuffer expected = keywords_of(*g);
    if (bytes != std::string(expected.begin(), expected.end()))
        return ::testing::AssertionFailure() << "keyword list is not generation " << *g
                                             << " whole (" << bytes.size() << " bytes)";
    if (*g < at_least) return ::testing::AssertionFailure() << "keyword list went back to " << *g;
    found = *g;
    return ::testing::AssertionSuccess();
}

// The settings file is the state after one whole write: the section header and every key line
// in the order of `layout`, each value a whole value of its key, no key older than one written
// after it, nothing behind the last line.
::testing::AssertionResult settings_file_is_whole(const fs::path& file,
                                                  const std::vector<std::size_t>& layout,
                                                  const std::vector<long>& at_least,
                                                  std::vector<long>& found) {
    const std::string bytes = support::read_file_bytes(file);
    const std::vector<LocalText> lines = split_text(bytes, "\r\n");
    if (lines.size() != layout.size() + 1 || lines[0] != "[" + section() + "]")
        return ::testing::AssertionFailure()
               << "settings file has " << lines.size() << " lines: " << to_utf8(bytes);
    std::vector<long> gens(setting_keys().size(), -1);
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const std::size_t k = layout[i];
        const LocalText prefix = setting_keys()[k] + "=";
        const auto g = generation_after(lines[i + 1], prefix + "g");
        if (!g || lines[i + 1] != prefix + setting_value_of(*g, k))
            return ::testing::AssertionFailure() << "torn settings line: " << to_utf8(lines[i + 1]);
        gens[k] = *g;
    }
    // Every child writes the keys in the same order with a generation above all before it, so
    // whole writes leave the generations falling (or level) along that order.
    for (std::size_t k = 1; k < gens.size(); ++k) {
        if (gens[k] > gens[k - 1])
            return ::testing::AssertionFailure()
                   << "settings are no state a series of writes leaves";
    }
    for (std::size_t k = 0; k < gens.size(); ++k)
        if (gens[k] < at_least[k]) return ::testing::AssertionFailure() << "a setting went back";
    found = gens;
    return ::testing::AssertionSuccess();
}

class CrashSafety : public ::testing::TestWithParam<Writers> {};

TEST_P(CrashSafety, EveryFileIsOneWholeSavedStateAfterEverySigkill) {
    const Writers writers = GetParam();
    support::TempDir dir;
    const fs::path folder = dir.path();

    // Generation 0 of every file, saved by this process.
    std::vector<std::size_t> layout;  // key index of each settings line, in file order
    fs::path keyword_file;
    {
        EngineList list;
        list.engines = engines_of(0);
        ASSERT_TRUE(save_engine_list(list, folder));
        SettingsStore store;
        ASSERT_TRUE(store.open(settings_file_path(folder)));
        store.set_section(section());
        ASSERT_TRUE(store.write_bytes(keyword_key(), keywords_of(0)));
        for (std::size_t k = 0; k < setting_keys().size(); ++k)
            ASSERT_TRUE(store.write_text(setting_keys()[k], setting_value_of(0, k)));
        keyword_file = store.bytes_file_path(section(), keyword_key());
        for (const LocalText& line : split_text(store.contents(), "\r\n"))
            for (std::size_t k = 0; k < setting_keys().size(); ++k)
                if (line.starts_with(setting_keys()[k] + "=")) layout.push_back(k);
        ASSERT_EQ(layout.size(), setting_keys().size());
    }

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // From before the child's first write to well into its later generations.
    std::uniform_int_distribution<int> delay_us(0, 30000);

    Seen seen;
    seen.settings.assign(setting_keys().size(), 0);
    int kills = 0;
    const auto start = Clock::now();
    while (kills < kMaxKills && Clock::now() - start < kTimeBudget) {
        long next = std::max(seen.engines, seen.keywords);
        for (long g : seen.settings) next = std::max(next, g);
        support::ChildProcess child([&] { save_forever(folder, next + 1, writers); });
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
        child.send_signal(SIGKILL);
        const int status = child.wait();
        ASSERT_EQ(status, -SIGKILL) << "the saving child ended by itself, status " << status;
        ++kills;

        ASSERT_TRUE(engine_file_is_whole(folder, seen.engines, seen.engines)) << "kill " << kills;
        ASSERT_TRUE(keyword_file_is_whole(keyword_file, seen.keywords, seen.keywords))
            << "kill " << kills;
        ASSERT_TRUE(settings_file_is_whole(settings_file_path(folder), layout, seen.settings,
                                           seen.settings))
            << "kill " << kills;
    }
    EXPECT_GE(kills, 20);
    // The children got far enough to be killed in the middle of their saves.
    if (writers.engines) {
        EXPECT_GT(seen.engines, 5);
    }
    if (writers.keywords) {
        EXPECT_GT(seen.keywords, 5);
    }
    EXPECT_GT(seen.settings.back(), 5);
    RecordProperty("kills", kills);
    RecordProperty("generations", static_cast<int>(seen.settings.back()));
}

INSTANTIATE_TEST_SUITE_P(Saves, CrashSafety,
                         ::testing::Values(Writers{true, true, "all_three"},
                                           Writers{false, false, "settings_values"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace trasslo
