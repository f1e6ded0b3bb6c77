// The whole platform on loopback: the HTTPS search interface, the HTTP
// mobile track interface and the HTTP audio file server, sharing one
// deterministic catalogue (catalogue.h). For tests and the demo only.
//
//   lumora::sim::Simulator sim;
//   sim.search_base();  // "https://127.0.0.1:P", self-signed certificate
//   sim.mobile_base();  // "http://127.0.0.1:P"
//   sim.audio_base();   // "http://127.0.0.1:P" ("https://..." with audio_tls)
//   const SimAlbum* album = sim.catalogue().album(albums::kFortyFiveTracks);
//   sim.expected_sha256(album->tracks[0]);
//   sim.audio().set_faults(album->tracks[0].audio_path, {.drop = ...});
//   sim.audio().add_file(123456, {.rate_cap = 100000});
//   sim.mobile_log().matching("/mobile/");
//
// All members are thread-safe. Servers run from construction until stop()
// or destruction.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lumora/sim/audio_server.h"
#include "lumora/sim/catalogue.h"
#include "lumora/sim/catalogue_servers.h"

namespace lumora::sim {

struct SimulatorOptions {
  // Serves the audio files, and so every track address, over HTTPS with
  // this certificate (the server takes its own references); nullptr: HTTP.
  const TlsIdentity* audio_tls = nullptr;
};

class Simulator {
 public:
  explicit Simulator(const SimulatorOptions& options = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  std::string search_base() const { return search_.base_url(); }
  std::string mobile_base() const { return mobile_.base_url(); }
  std::string audio_base() const { return audio_.base_url(); }

  const Catalogue& catalogue() const { return catalogue_; }
  AudioServer& audio() { return audio_; }
  // Lower-case hex SHA-256 of the track's file, computed once.
  std::string expected_sha256(const SimTrack& track) const { return audio_.sha256(track.audio_path); }

  // The addresses the product builds (query keys in its order), for tests.
  // `keyword` is UTF-8; page 0 means the first request, without a page key.
  std::string search_url(std::string_view keyword, int page = 0) const;
  std::string track_list_url(std::int64_t album_id, int page = 1) const;

  RequestLog& search_log() { return search_.log(); }
  RequestLog& mobile_log() { return mobile_.log(); }
  RequestLog& audio_log() { return audio_.log(); }

  // Canned answers in place of the interfaces' own, e.g.
  // sim.mobile_overrides().add({.needle = "pageId=2&", .status = 500, .body = "oops"}).
  AnswerOverrides& search_overrides() { return search_.overrides(); }
  AnswerOverrides& mobile_overrides() { return mobile_.overrides(); }
  // Grows the album by `count` new tracks at its end, each with a new audio
  // file, as a serial gains episodes between two runs; later listings
  // include them. Returns the new tracks; none for an unknown album.
  std::vector<SimTrack> grow_album(std::int64_t album_id, int count);

  void stop();

 private:
  AudioServer audio_;
  Catalogue catalogue_;
  AlbumGrowth growth_;
  SearchServer search_;
  MobileServer mobile_;
};

}  // namespace lumora::sim
