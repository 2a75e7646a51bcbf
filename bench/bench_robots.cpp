// The robots.txt matcher on a hostile file: 2,400 rules like "Disallow: /*a*a…*a b" (500 KB)
// matched against a 2 KB path of "a"s that almost matches each of them, against the floor of
// reading every rule and the whole path once per rule, in the same run. Prints the ratio; a
// matcher linear in the path keeps it small, a quadratic one makes it grow with the path.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "check/robots_rules.h"
#include "ratio_reporter.h"

namespace trasslo {
namespace {

constexpr int kRules = 2400;
constexpr int kStarsPerRule = 100;

std::vector<std::string> wildcard_rules() {
    std::vector<std::string> rules;
    for (int i = 0; i < kRules; ++i) {
        std::string rule = "/";
        for (int s = 0; s < kStarsPerRule; ++s) rule += "*a";
        rules.push_back(rule + " b" + std::to_string(i));
    }
    return rules;
}

const std::string& long_path() {
    static const std::string path = "/" + std::string(2048, 'a');
    return path;
}

// Every rule read once and the path scanned once for each: what any matcher has to do.
void BM_RobotsReadRulesBaseline(benchmark::State& state) {
    const std::vector<std::string> rules = wildcard_rules();
    for (auto _ : state) {
        std::size_t seen = 0;
        for (const std::string& rule : rules)
            seen += static_cast<std::size_t>(std::count(rule.begin(), rule.end(), '*')) +
                    std::count(long_path().begin(), long_path().end(), 'b');
        benchmark::DoNotOptimize(seen);
    }
}

void BM_RobotsWildcardRules(benchmark::State& state) {
    std::string text = "User-agent: *\n";
    for (const std::string& rule : wildcard_rules()) text += "Disallow: " + rule + "\n";
    const RobotsRules rules = RobotsRules::parse(text);
    for (auto _ : state) benchmark::DoNotOptimize(rules.allows("Baiduspider", long_path()));
}

BENCHMARK(BM_RobotsReadRulesBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RobotsWildcardRules)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trasslo

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    trasslo::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    if (t.count("BM_RobotsReadRulesBaseline") && t.count("BM_RobotsWildcardRules"))
        std::printf("matching the wildcard rules / reading them: %.1f\n",
                    t["BM_RobotsWildcardRules"] / t["BM_RobotsReadRulesBaseline"]);
    benchmark::Shutdown();
    return 0;
}
