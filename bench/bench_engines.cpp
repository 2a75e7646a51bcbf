// Loading and saving the engine list, against the floor of reading the same file and cutting
// it into lines at CR LF; importing another tool's list into it, against reading and cutting
// that list. Prints each time as a ratio to its baseline, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "engines/engine_import.h"
#include "engines/engine_list.h"
#include "engines/engine_list_file.h"
#include "files/whole_file.h"
#include "ratio_reporter.h"
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

// An import list of `lines` lines in UTF-8 with LF ends, as other tools write them: names and
// addresses by tab, addresses alone, their own placeholders; 30% of the lines are duplicates in
// another spelling (https, "www.", parameters reordered), a third of those of engines already in
// the list of `existing_engines()`.
std::filesystem::path import_file(int lines) {
    const std::filesystem::path file =
        folder().path() / ("import-" + std::to_string(lines) + ".txt");
    if (std::filesystem::exists(file)) return file;
    std::string text;
    int unique = 0;
    for (int i = 0; i < lines; ++i) {
        if (i % 10 < 7 || unique < 10) {
            const int k = unique++;
            if (i % 2 == 0) text += "站点" + std::to_string(k) + "\t";
            text += "http://www.site" + std::to_string((k + 1) % 5000) +
                    ".example.cn/search?kw=%s" + (k % 3 == 0 ? "&ie=gbk" : "") +
                    "&page=" + std::to_string(k) + "&from=list\n";
        } else if (i % 10 < 9) {
            const int k = (unique * 7919) % unique;  // an earlier line of this file
            text += "https://site" + std::to_string((k + 1) % 5000) +
                    ".example.cn/search?page=" + std::to_string(k) + "&from=list&kw={keyword}" +
                    (k % 3 == 0 ? "&ie=gbk" : "") + "\n";
        } else {
            const int j = (i * 31) % 10000;  // an engine of the list
            text += "https://www.search" + std::to_string(j % 500) +
                    ".example.com.cn/s.php?page=" + std::to_string(j) + "&st=0&q=[kw]\n";
        }
    }
    support::write_file_bytes(file, text);
    return file;
}

const std::vector<TraceEngine>& existing_engines() {
    static const std::vector<TraceEngine> engines = make_list(10000).engines;
    return engines;
}

void BM_ImportReadAndSplitBaseline(benchmark::State& state) {
    const std::filesystem::path file = import_file(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<std::string> lines;
        size_t begin = 0;
        for (size_t at; (at = text.find('\n', begin)) != std::string::npos; begin = at + 1) {
            lines.emplace_back(text, begin, at - begin);
        }
        if (begin < text.size()) lines.emplace_back(text, begin);
        benchmark::DoNotOptimize(lines.data());
    }
}

// The charset decoder's share of an import, for reference: reading and decoding the list.
void BM_ImportDecode(benchmark::State& state) {
    const std::filesystem::path file = import_file(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string bytes;
        read_whole_file(file, bytes);
        const LocalText text = import_file_text(bytes);
        benchmark::DoNotOptimize(text.data());
    }
}

// What the command line does before it saves: read, decode, import against the list.
void BM_ImportEngines(benchmark::State& state) {
    const std::filesystem::path file = import_file(static_cast<int>(state.range(0)));
    const std::vector<TraceEngine>& existing = existing_engines();
    size_t imported = 0;
    for (auto _ : state) {
        std::string bytes;
        read_whole_file(file, bytes);
        const std::vector<LocalText> texts = {import_file_text(bytes)};
        const ImportReport report = import_engines(existing, texts, ImportOptions{});
        imported = report.engines.size();
        benchmark::DoNotOptimize(report.engines.data());
    }
    state.counters["imported"] = static_cast<double>(imported);
}

// The same with the list saved afterwards (atomically, flushed to disk).
void BM_ImportEnginesAndSave(benchmark::State& state) {
    const std::filesystem::path file = import_file(static_cast<int>(state.range(0)));
    const std::vector<TraceEngine>& existing = existing_engines();
    for (auto _ : state) {
        std::string bytes;
        read_whole_file(file, bytes);
        const std::vector<LocalText> texts = {import_file_text(bytes)};
        ImportReport report = import_engines(existing, texts, ImportOptions{});
        std::vector<TraceEngine> all = existing;
        all.insert(all.end(), report.engines.begin(), report.engines.end());
        benchmark::DoNotOptimize(write_engine_list_file(folder().path(), all));
    }
}

BENCHMARK(BM_ImportReadAndSplitBaseline)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportDecode)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportEngines)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportEnginesAndSave)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ReadAndSplitBaseline)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeEngineFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadEngineList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveEngineList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trasslo

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    trasslo::bench::RatioReporter reporter;
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
    const double import_base = t["BM_ImportReadAndSplitBaseline/100000"];
    if (import_base > 0) {
        std::printf(
            "import of 100000 lines (30%% duplicates) into 10000 engines: %.2fx the "
            "read-and-split baseline (at most 5; of which reading and decoding %.2fx), %.2fx "
            "with the save\n",
            t["BM_ImportEngines/100000"] / import_base, t["BM_ImportDecode/100000"] / import_base,
            t["BM_ImportEnginesAndSave/100000"] / import_base);
    }
    const double small_import = t["BM_ImportEngines/10000"];
    if (small_import > 0) {
        std::printf("import of 100000 lines takes %.2fx the time of 10000 (linear: about 10)\n",
                    t["BM_ImportEngines/100000"] / small_import);
    }
    benchmark::Shutdown();
    return 0;
}
