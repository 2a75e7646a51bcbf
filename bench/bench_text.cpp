// Keyword encoding and page decoding against the library calls that do the bare job, on the
// same 1 MB of mixed Chinese and ASCII text, in one run:
//   url_encode (GBK and UTF-8) against curl_easy_escape (goal: ratio at least 1.0);
//   decode_to_local_text of a UTF-8 page against one iconv call (goal: at least 0.5);
//   local text to UTF-16 and back (the code page 936 tables) against iconv (goal: at least 1.0).
// A ratio is the baseline's time over ours: above 1 means faster than the baseline.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <iconv.h>

#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "base/event_pump.h"
#include "text/charset.h"
#include "text/local_text.h"
#include "text/url_encode.h"

namespace trasslo {
namespace {

constexpr size_t kTextBytes = 1 << 20;

// About half Chinese, half ASCII letters, digits, spaces and punctuation, as keyword lists
// and search pages are.
const LocalText& gbk_text() {
    static const LocalText text = [] {
        const LocalText piece = local("搜索引擎优化 keyword-list_2024 关键词留痕 a.b=c&d 网站 ");
        LocalText t;
        t.reserve(kTextBytes + piece.size());
        while (t.size() < kTextBytes) t += piece;
        t.resize(kTextBytes);
        // Never end inside a double-byte character.
        size_t i = 0;
        while (i < t.size()) i += is_gbk_lead_byte(static_cast<unsigned char>(t[i])) ? 2 : 1;
        if (i > t.size()) t.pop_back();
        return t;
    }();
    return text;
}

const std::string& utf8_text() {
    static const std::string text = to_utf8(gbk_text());
    return text;
}

// The same text as a UTF-8 page declaring its charset: what a visit decodes.
const std::string& utf8_page() {
    static const std::string page =
        "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>" + utf8_text() +
        "</body></html>";
    return page;
}

CURL* curl() {
    static CURL* handle = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return curl_easy_init();
    }();
    return handle;
}

void BM_CurlEscapeGbk(benchmark::State& state) {
    const LocalText& text = gbk_text();
    for (auto _ : state) {
        char* out = curl_easy_escape(curl(), text.data(), static_cast<int>(text.size()));
        benchmark::DoNotOptimize(out);
        curl_free(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CurlEscapeUtf8(benchmark::State& state) {
    const std::string& text = utf8_text();
    for (auto _ : state) {
        char* out = curl_easy_escape(curl(), text.data(), static_cast<int>(text.size()));
        benchmark::DoNotOptimize(out);
        curl_free(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_UrlEncodeGbk(benchmark::State& state) {
    const LocalText& text = gbk_text();
    for (auto _ : state) {
        LocalText out = url_encode(text);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The UTF-8 form converts the local text first; the baseline gets the UTF-8 bytes for free.
void BM_UrlEncodeUtf8(benchmark::State& state) {
    const LocalText& text = gbk_text();
    for (auto _ : state) {
        LocalText out = url_encode(text, true);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// As in the window: a pump is installed, so each escaped byte asks for one; the throttle lets
// only one in about 2 ms through.
void BM_UrlEncodeGbkWithPump(benchmark::State& state) {
    long pumps = 0;
    install_event_pump([&] { ++pumps; });
    const LocalText& text = gbk_text();
    for (auto _ : state) {
        LocalText out = url_encode(text);
        benchmark::DoNotOptimize(out.data());
    }
    install_event_pump({});
    state.counters["pumps"] = static_cast<double>(pumps);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_IconvUtf8ToGbk(benchmark::State& state) {
    const std::string& page = utf8_page();
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(page.size() * 2, '\0');
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(page.data());
        size_t in_left = page.size();
        char* w = out.data();
        size_t out_left = out.size();
        size_t rc = iconv(cd, &in, &in_left, &w, &out_left);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(out.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

const std::u16string& utf16_text() {
    static const std::u16string units = local_text_to_utf16(gbk_text());
    return units;
}

// One iconv call from `from` to `to` over `bytes` each round.
void iconv_rounds(benchmark::State& state, const char* to, const char* from,
                  std::string_view bytes) {
    iconv_t cd = iconv_open(to, from);
    std::string out(bytes.size() * 2, '\0');
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes.data());
        size_t in_left = bytes.size();
        char* w = out.data();
        size_t out_left = out.size();
        size_t rc = iconv(cd, &in, &in_left, &w, &out_left);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(out.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gbk_text().size()));
}

void BM_IconvGbkToUtf16(benchmark::State& state) {
    iconv_rounds(state, "UTF-16LE", "CP936", gbk_text());
}

void BM_LocalTextToUtf16(benchmark::State& state) {
    for (auto _ : state) {
        std::u16string units = local_text_to_utf16(gbk_text());
        benchmark::DoNotOptimize(units.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gbk_text().size()));
}

void BM_IconvUtf16ToGbk(benchmark::State& state) {
    const std::u16string& units = utf16_text();
    iconv_rounds(state, "CP936", "UTF-16LE",
                 std::string_view(reinterpret_cast<const char*>(units.data()), units.size() * 2));
}

void BM_Utf16ToLocalText(benchmark::State& state) {
    for (auto _ : state) {
        LocalText text = utf16_to_local_text(utf16_text());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gbk_text().size()));
}

void BM_DecodeToLocalText(benchmark::State& state) {
    const std::string& page = utf8_page();
    for (auto _ : state) {
        DecodedText decoded = decode_to_local_text(page);
        benchmark::DoNotOptimize(decoded.text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

// The same page without a declaration: found by the UTF-8 trial instead.
void BM_DecodeToLocalTextByTrial(benchmark::State& state) {
    const std::string& text = utf8_text();
    for (auto _ : state) {
        DecodedText decoded = decode_to_local_text(text);
        benchmark::DoNotOptimize(decoded.text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Three runs each; the median of their CPU times is compared, since other work on the machine
// stretches wall-clock time far more than CPU time.
void settings(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
}

BENCHMARK(BM_CurlEscapeGbk)->Apply(settings);
BENCHMARK(BM_UrlEncodeGbk)->Apply(settings);
BENCHMARK(BM_UrlEncodeGbkWithPump)->Apply(settings);
BENCHMARK(BM_CurlEscapeUtf8)->Apply(settings);
BENCHMARK(BM_UrlEncodeUtf8)->Apply(settings);
BENCHMARK(BM_IconvUtf8ToGbk)->Apply(settings);
BENCHMARK(BM_DecodeToLocalText)->Apply(settings);
BENCHMARK(BM_DecodeToLocalTextByTrial)->Apply(settings);
BENCHMARK(BM_IconvGbkToUtf16)->Apply(settings);
BENCHMARK(BM_LocalTextToUtf16)->Apply(settings);
BENCHMARK(BM_IconvUtf16ToGbk)->Apply(settings);
BENCHMARK(BM_Utf16ToLocalText)->Apply(settings);

// Collects each benchmark's median CPU time so that main can print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name.empty() || run.aggregate_name == "median")
                times[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
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
    auto ratio = [&](const char* base, const char* ours) {
        return t[ours] > 0 ? t[base] / t[ours] : 0.0;
    };
    std::printf("url_encode GBK:   %.2fx the speed of curl_easy_escape (goal >= 1.0)\n",
                ratio("BM_CurlEscapeGbk", "BM_UrlEncodeGbk"));
    std::printf("  with a pump installed: %.2fx\n",
                ratio("BM_CurlEscapeGbk", "BM_UrlEncodeGbkWithPump"));
    std::printf("url_encode UTF-8: %.2fx the speed of curl_easy_escape (goal >= 1.0)\n",
                ratio("BM_CurlEscapeUtf8", "BM_UrlEncodeUtf8"));
    std::printf("decode_to_local_text: %.2fx the speed of one iconv call (goal >= 0.5)\n",
                ratio("BM_IconvUtf8ToGbk", "BM_DecodeToLocalText"));
    std::printf("  found by trial:       %.2fx\n",
                ratio("BM_IconvUtf8ToGbk", "BM_DecodeToLocalTextByTrial"));
    std::printf("local text to UTF-16: %.2fx the speed of iconv (goal >= 1.0)\n",
                ratio("BM_IconvGbkToUtf16", "BM_LocalTextToUtf16"));
    std::printf("UTF-16 to local text: %.2fx the speed of iconv (goal >= 1.0)\n",
                ratio("BM_IconvUtf16ToGbk", "BM_Utf16ToLocalText"));
    benchmark::Shutdown();
    return 0;
}
