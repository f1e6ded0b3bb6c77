// Response bodies go through url_decode and utf8_to_gbk on every page: both
// measured on a 1 MiB JSON-like body beside memcpy and one raw iconv call.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <malloc.h>

#include <cstring>
#include <string>

#include "lumora/net/url_coding.h"
#include "lumora/text/code_page.h"

namespace {

// Track-listing-like JSON with mixed ASCII and CJK and a few escapes.
const std::string& body() {
  static const std::string text = [] {
    const std::string row =
        "{\"title\":\"心理罪 第十二集 城市之光\",\"playUrl64\":\"http://audio.example/a/"
        "b%2Fc.mp3\",\"nickname\":\"主播小王\",\"duration\":1234},";
    std::string s = "{\"data\":{\"list\":[";
    while (s.size() < (1u << 20)) s += row;
    s += "{}]}}";
    return s;
  }();
  return text;
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& in = body();
  std::string out(in.size(), '\0');
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * in.size());
}

void BM_UrlDecode(benchmark::State& state) {
  const std::string& in = body();
  for (auto _ : state) benchmark::DoNotOptimize(lumora::url_decode(in));
  state.SetBytesProcessed(state.iterations() * in.size());
}

void BM_RawIconv(benchmark::State& state) {
  const std::string& in = body();
  iconv_t cd = iconv_open("GBK", "UTF-8");
  std::string out(in.size(), '\0');
  for (auto _ : state) {
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    char* dst = out.data();
    std::size_t dst_left = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv(cd, &src, &src_left, &dst, &dst_left);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(state.iterations() * in.size());
}

void BM_Utf8ToGbk(benchmark::State& state) {
  const std::string& in = body();
  for (auto _ : state) benchmark::DoNotOptimize(lumora::utf8_to_gbk(in));
  state.SetBytesProcessed(state.iterations() * in.size());
}

void BM_UrlDecodeToGbk(benchmark::State& state) {
  const std::string& in = body();
  for (auto _ : state) benchmark::DoNotOptimize(lumora::url_decode(in, true));
  state.SetBytesProcessed(state.iterations() * in.size());
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_UrlDecode);
BENCHMARK(BM_RawIconv);
BENCHMARK(BM_Utf8ToGbk);
BENCHMARK(BM_UrlDecodeToGbk);

}  // namespace

// --warm-heap keeps freed memory in the heap, so the figures show the loops
// themselves rather than the kernel zeroing a fresh 1 MiB result per call.
int main(int argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--warm-heap") == 0) {
      mallopt(M_MMAP_THRESHOLD, 64 << 20);
      mallopt(M_TRIM_THRESHOLD, 128 << 20);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
