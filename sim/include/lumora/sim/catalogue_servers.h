// The platform's two catalogue interfaces over a Catalogue:
//
// HTTPS search, GET "/revision/search" with core=album, kw (percent-encoded
// UTF-8), page (absent or below 1: page 1) and rows (default 20): answers
// {"data":{"result":{"response":{"totalPage":P,"docs":[{"id":..,"title":..,
// "nickname":..,"category_title":..,...}]}}}}. Odd pages are raw UTF-8,
// even pages \u-escaped. No match, an empty kw or core other than "album":
// totalPage 0 and no docs.
//
// HTTP mobile listing, GET "/mobile/v1/album/track/ts-1534855383505" with
// albumId, pageId (default 1), pageSize (default 20) and isAsc ("false"
// lists from the last track): answers {"ret":0,"data":{"maxPageId":P,
// "totalCount":N,"list":[{"index":..,"trackId":..,"title":..,
// "playUrl64":..,"duration":..}]}}; albums with an even id answer
// \u-escaped. An unknown album: maxPageId 0, empty list.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "lumora/sim/album_growth.h"
#include "lumora/sim/answer_overrides.h"
#include "lumora/sim/catalogue.h"
#include "lumora/sim/request_log.h"

namespace httplib {
class Server;
struct Request;
}

namespace lumora::sim {

class ServerRunner;

// One JSON interface: a path and the answer made for each request. Starts
// on construction (127.0.0.1, ephemeral port), stops on destruction or stop().
class CatalogueServer {
 public:
  using Answer = std::function<std::string(const httplib::Request&)>;

  CatalogueServer(std::unique_ptr<httplib::Server> server, std::string scheme, const char* path,
                  Answer answer);
  ~CatalogueServer();
  CatalogueServer(const CatalogueServer&) = delete;
  CatalogueServer& operator=(const CatalogueServer&) = delete;

  std::string base_url() const;  // scheme + "://127.0.0.1:<port>"
  int port() const;
  RequestLog& log() { return log_; }
  AnswerOverrides& overrides() { return overrides_; }
  void stop();

 private:
  const std::string scheme_;
  RequestLog log_;
  AnswerOverrides overrides_;
  std::unique_ptr<httplib::Server> server_;
  std::unique_ptr<ServerRunner> runner_;
};

// `catalogue` must outlive each server.
class SearchServer : public CatalogueServer {
 public:
  explicit SearchServer(const Catalogue& catalogue);
};

// Lists an album's own tracks followed by those `growth` has added to it;
// `growth` must outlive the server too.
class MobileServer : public CatalogueServer {
 public:
  MobileServer(const Catalogue& catalogue, const AlbumGrowth& growth);
};

inline constexpr const char* kSearchPath = "/revision/search";
inline constexpr const char* kTrackListPath = "/mobile/v1/album/track/ts-1534855383505";

}  // namespace lumora::sim
