// Reading a track listing page (parse + 1 count + 40 get_text for 20 tracks)
// against a bare nlohmann::ordered_json::parse of the same body. The document
// is handed the GBK form, as the catalogue hands it over; the bare parser the
// UTF-8 form it needs.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <string>

#include "lumora/json/json_document.h"
#include "lumora/text/code_page.h"

namespace {

// One track as the mobile interface lists it.
std::string track(int i) {
  const std::string n = std::to_string(i);
  return R"({"trackId":)" + std::to_string(1000000 + i) +
         R"(,"title":"第)" + n + R"(集 山海经的故事 (上) - 有声书精讲","playUrl64":"http://audio.example.com/group1/M00/)" + n +
         R"(/wKgJMlhN_64.mp3","playUrl32":"http://audio.example.com/group1/M00/)" + n +
         R"(/wKgJMlhN_32.mp3","duration":)" + std::to_string(600 + i) +
         R"(,"createdAt":1534855383505,"nickname":"讲书人小王","coverSmall":"http://img.example.com/)" + n +
         R"(.jpg!op_type=3","isPaid":false,"playtimes":)" + std::to_string(12345 * i) +
         R"(,"comments":12,"likes":3,"albumId":4756811,"opType":1,"isPublic":true,"intro":"本集讲述\n\"山海经\"的第)" + n +
         R"(个故事。"})";
}

std::string page_body(int tracks) {
  std::string body = R"({"ret":0,"msg":"0","data":{"pageId":1,"pageSize":20,"maxPageId":3,"totalCount":)" +
                     std::to_string(tracks) + R"(,"list":[)";
  for (int i = 0; i < tracks; ++i) {
    if (i > 0) body += ',';
    body += track(i);
  }
  return body + "]}}";
}

const std::string& utf8_page() {
  static const std::string body = page_body(20);
  return body;
}

const std::string& utf8_big() {
  static const std::string body = [] {
    const std::size_t per_track = page_body(20).size() / 20;
    int tracks = static_cast<int>((5u << 20) / per_track);
    while (page_body(tracks).size() < 5u << 20) tracks += 50;
    return page_body(tracks);
  }();
  return body;
}

void bare_parse(benchmark::State& state, const std::string& utf8) {
  for (auto _ : state) {
    auto json = nlohmann::ordered_json::parse(utf8);
    benchmark::DoNotOptimize(json);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * utf8.size()));
}

void page_read(benchmark::State& state, const std::string& utf8) {
  const lumora::Text gbk_text = lumora::utf8_to_gbk(utf8);
  for (auto _ : state) {
    auto doc = lumora::JsonDocument::create();
    doc.parse(gbk_text);
    const int n = std::min(doc.count("data.list"), 20);
    for (int i = 0; i < n; ++i) {
      const std::string item = "data.list[" + std::to_string(i) + "]";
      benchmark::DoNotOptimize(doc.get_text(item + ".title"));
      benchmark::DoNotOptimize(doc.get_text(item + ".playUrl64"));
    }
    doc.destroy();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * utf8.size()));
  state.counters["body_bytes"] = static_cast<double>(utf8.size());
}

void page_parse_only(benchmark::State& state, const std::string& utf8) {
  const lumora::Text gbk_text = lumora::utf8_to_gbk(utf8);
  for (auto _ : state) {
    auto doc = lumora::JsonDocument::create();
    benchmark::DoNotOptimize(doc.parse(gbk_text));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * utf8.size()));
}

BENCHMARK_CAPTURE(bare_parse, page, utf8_page());
BENCHMARK_CAPTURE(page_read, page, utf8_page());
BENCHMARK_CAPTURE(page_parse_only, page, utf8_page());
BENCHMARK_CAPTURE(bare_parse, body_5mib, utf8_big())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(page_read, body_5mib, utf8_big())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(page_parse_only, body_5mib, utf8_big())->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
