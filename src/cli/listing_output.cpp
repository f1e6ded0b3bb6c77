#include "lumora/cli/listing_output.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

std::string field(const Text& gbk_text) {
  std::string s = shown(gbk_text);
  std::replace_if(s.begin(), s.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; },
                  ' ');
  return visible(s);
}

std::string escape(unsigned char c) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02x", c);
  return text;
}

std::string dumped(const nlohmann::ordered_json& value) {
  return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

std::string shown(const Text& gbk_text) { return gbk_to_utf8(gbk_text); }

std::string thousands(long long n) {
  const std::string digits = std::to_string(n);
  const std::size_t sign = n < 0 ? 1 : 0;
  std::string out = digits.substr(0, sign);
  for (std::size_t i = sign; i < digits.size(); ++i) {
    if (i > sign && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

std::string visible(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
    if (c < 0x20 || c == 0x7f) {
      out += escape(c);
    } else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) {
      out += escape(next);
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string album_lines(const std::vector<AlbumEntry>& albums) {
  std::string out;
  for (const AlbumEntry& a : albums)
    out += field(a.id) + '\t' + field(a.title) + '\t' + field(a.category) + '\t' +
           field(a.nickname) + '\n';
  return out;
}

std::string album_json(const std::vector<AlbumEntry>& albums) {
  JsonArrayOutput out;
  std::string text = out.albums(albums);
  return text + out.close();
}

std::string track_lines(const std::vector<TrackEntry>& tracks, std::size_t first) {
  std::string out;
  for (std::size_t i = 0; i < tracks.size(); ++i)
    out += std::to_string(first + i) + '\t' + field(tracks[i].title) + '\t' +
           field(tracks[i].address) + '\n';
  return out;
}

std::string track_json(const std::vector<TrackEntry>& tracks) {
  JsonArrayOutput out;
  std::string text = out.tracks(tracks);
  return text + out.close();
}

std::string JsonArrayOutput::item(const std::string& dumped_item) {
  // Each line indented one level, as inside the whole array's dump.
  std::string out = items_++ == 0 ? "[\n  " : ",\n  ";
  for (const char c : dumped_item) {
    out.push_back(c);
    if (c == '\n') out += "  ";
  }
  return out;
}

std::string JsonArrayOutput::albums(const std::vector<AlbumEntry>& albums) {
  std::string out;
  for (const AlbumEntry& a : albums)
    out += item(dumped({{"id", shown(a.id)},
                        {"title", shown(a.title)},
                        {"category", shown(a.category)},
                        {"uploader", shown(a.nickname)}}));
  return out;
}

std::string JsonArrayOutput::tracks(const std::vector<TrackEntry>& tracks) {
  std::string out;
  for (const TrackEntry& t : tracks)
    out += item(dumped({{"number", items_ + 1}, {"title", shown(t.title)}, {"address", shown(t.address)}}));
  return out;
}

std::string JsonArrayOutput::close() { return items_ == 0 ? "[]\n" : "\n]\n"; }

}  // namespace lumora::cli
