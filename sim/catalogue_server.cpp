#include <httplib.h>

#include "lumora/sim/catalogue_servers.h"
#include "lumora/sim/server_runner.h"

namespace lumora::sim {

CatalogueServer::CatalogueServer(std::unique_ptr<httplib::Server> server, std::string scheme,
                                 const char* path, Answer answer)
    : scheme_(std::move(scheme)), server_(std::move(server)) {
  server_->Get(path, [answer = std::move(answer)](const httplib::Request& request,
                                                  httplib::Response& response) {
    response.set_content(answer(request), "application/json;charset=UTF-8");
  });
  runner_ = std::make_unique<ServerRunner>(*server_, log_, &overrides_);
}

CatalogueServer::~CatalogueServer() { stop(); }

int CatalogueServer::port() const { return runner_->port(); }

std::string CatalogueServer::base_url() const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port());
}

void CatalogueServer::stop() { runner_->stop(); }

}  // namespace lumora::sim
