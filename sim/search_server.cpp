#include <httplib.h>

#include <nlohmann/json.hpp>

#include "lumora/sim/catalogue_servers.h"
#include "lumora/sim/tls_identity.h"
#include "query_params.h"

namespace lumora::sim {
namespace {

using Json = nlohmann::ordered_json;

Json album_doc(const SimAlbum& album) {
  Json doc;
  doc["id"] = album.id;
  doc["title"] = album.title;
  doc["nickname"] = album.nickname;
  if (album.category_title) doc["category_title"] = *album.category_title;
  doc["tracks"] = album.tracks.size();
  doc["cover_path"] = "//imagev2.lumorafm.com/album/" + std::to_string(album.id) + ".jpg";
  return doc;
}

std::string search_answer(const Catalogue& catalogue, const httplib::Request& request) {
  const long long rows = std::max(1LL, number_param(request, "rows", kSearchRows));
  const long long page = std::max(1LL, number_param(request, "page", 1));
  std::vector<const SimAlbum*> found;
  if (request.get_param_value("core") == "album") found = catalogue.search(request.get_param_value("kw"));
  const long long count = static_cast<long long>(found.size());
  Json docs = Json::array();
  for (long long i = (page - 1) * rows; i < std::min(count, page * rows); ++i) docs.push_back(album_doc(*found[i]));
  Json answer;
  answer["ret"] = 200;
  answer["data"]["result"]["response"]["numFound"] = count;
  answer["data"]["result"]["response"]["totalPage"] = (count + rows - 1) / rows;
  answer["data"]["result"]["response"]["currentPage"] = page;
  answer["data"]["result"]["response"]["docs"] = std::move(docs);
  return json_text(answer, page % 2 == 0);
}

std::unique_ptr<httplib::Server> make_tls_server() {
  const TlsIdentity identity = make_tls_identity();
  // The server's context takes its own references to both.
  return std::make_unique<httplib::SSLServer>(identity.certificate.get(), identity.key.get());
}

}  // namespace

SearchServer::SearchServer(const Catalogue& catalogue)
    : CatalogueServer(make_tls_server(), "https", kSearchPath,
                      [&catalogue](const httplib::Request& request) {
                        return search_answer(catalogue, request);
                      }) {}

}  // namespace lumora::sim
