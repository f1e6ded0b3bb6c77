// http_request against the in-process simulator: one listing page (plain
// HTTP), one search page (HTTPS, a new TLS session each call, as the product
// makes them) and one 1 MiB audio file.
#include <benchmark/benchmark.h>

#include "lumora/net/http_request.h"
#include "lumora/sim/simulator.h"

namespace {

lumora::sim::Simulator& simulator() {
  static lumora::sim::Simulator instance;
  return instance;
}

void BM_listing_page(benchmark::State& state) {
  const std::string url = simulator().track_list_url(lumora::sim::albums::kTwoHundredFiveTracks, 3);
  for (auto _ : state) benchmark::DoNotOptimize(lumora::http_request(url));
}
BENCHMARK(BM_listing_page);

void BM_search_page_https(benchmark::State& state) {
  const std::string url = simulator().search_url(lumora::sim::kKeyword, 1);
  for (auto _ : state) benchmark::DoNotOptimize(lumora::http_request(url));
}
BENCHMARK(BM_search_page_https);

void BM_audio_file_1MiB(benchmark::State& state) {
  const std::string url = simulator().audio().add_file(1 << 20).url;
  for (auto _ : state) benchmark::DoNotOptimize(lumora::http_request(url));
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_audio_file_1MiB);

}  // namespace
