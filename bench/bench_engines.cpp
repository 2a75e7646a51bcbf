// Loading and saving the engine list, against the floor of reading the same file and cutting
// it into lines at CR LF. Prints each time as a ratio to that baseline, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "engines/engine_list.h"
#include "engines/engine_list_file.h"
#include "support/temp_dir.h"
#include "text/charset.h"
#include "ui/memory_engine_tree.h"

namespace trasslo {
namespace {

support::TempDir& folder() {
    static support::TempDir dir;
    return dir;
}

// Writes a file of `count` engines and returns the list it holds.
EngineList make_list(int count) {
    EngineList list;
    list.engines.reserve(static_cast<size_t>(count));
    const LocalText name = local("测试引擎");
    for (int i = 0; i < count; ++i) {
        list.engines.push_back(
            TraceEngine{i % 2 == 0, i % 2, name + std::to_string(i),
                        "http://search" + std::to_string(i % 500) +
                            ".example.com.cn/s.php?q={*}&st=0&page=" + std::to_string(i)});
    }
    save_engine_list(list, folder().path());
    return list;
}

void BM_ReadAndSplitBaseline(benchmark::State& state) {
    make_list(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::ifstream in(engine_list_file_path(folder().path()), std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<std::string> lines;
        size_t begin = 0;
        for (size_t at; (at = text.find("\r\n", begin)) != std::string::npos; begin = at + 2) {
            lines.emplace_back(text, begin, at - begin);
        }
        if (begin < text.size()) lines.emplace_back(text, begin);
        benchmark::DoNotOptimize(lines.data());
    }
}

// The charset decoder's share of a load, for reference.
void BM_DecodeEngineFile(benchmark::State& state) {
    make_list(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DecodedText decoded = decode_file_to_local_text(engine_list_file_path(folder().path()));
        benchmark::DoNotOptimize(decoded.text.data());
    }
}

void BM_LoadEngineList(benchmark::State& state) {
    make_list(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        EngineList list;
        MemoryEngineTree tree;
        load_engine_list(list, tree, folder().path());
        benchmark::DoNotOptimize(list.engines.data());
    }
}

void BM_SaveEngineList(benchmark::State& state) {
    const EngineList list = make_list(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(save_engine_list(list, folder().path()));
}

BENCHMARK(BM_ReadAndSplitBaseline)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeEngineFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadEngineList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveEngineList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Collects every run's real time so that main can print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace
}  // namespace trasslo

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    trasslo::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    for (const std::string size : {"10000", "100000"}) {
        const double base = t["BM_ReadAndSplitBaseline/" + size];
        if (base <= 0) continue;
        std::printf(
            "%s engines: load %.2fx (of which decoding %.2fx), save %.2fx the read-and-split "
            "baseline\n",
            size.c_str(), t["BM_LoadEngineList/" + size] / base,
            t["BM_DecodeEngineFile/" + size] / base, t["BM_SaveEngineList/" + size] / base);
    }
    const double small = t["BM_LoadEngineList/10000"];
    if (small > 0) {
        std::printf("load of 100000 takes %.2fx the time of 10000 (linear: about 10)\n",
                    t["BM_LoadEngineList/100000"] / small);
    }
    benchmark::Shutdown();
    return 0;
}
