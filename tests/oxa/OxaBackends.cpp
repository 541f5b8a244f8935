#include "OxaBackends.h"

#include <gtest/gtest.h>

#include "oxa/OxaDirect.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"

namespace oxa::test {

namespace {

struct DirectHarness : Harness {
  explicit DirectHarness(RouteTable table) : oxa(std::move(table)) {
    oxa.Register(kCtrlNetId, endpoint);
  }
  IOxa& Oxa() override { return oxa; }
  OxaDirect oxa;
};

struct TcpHarness : Harness {
  explicit TcpHarness(RouteTable table) {
    std::string error;
    server = OxaTcpServer::Start(endpoint, "127.0.0.1", 0, error);
    EXPECT_TRUE(server) << error;
    table.local = {"", kCtrlNetId, "127.0.0.1", server ? server->Port() : uint16_t{1}};
    client = std::make_unique<OxaTcpClient>([table] { return table; });
  }
  IOxa& Oxa() override { return *client; }
  std::unique_ptr<OxaTcpServer> server;
  std::unique_ptr<OxaTcpClient> client;
};

}  // namespace

Backend TcpBackend() {
  return {"Tcp", [](RouteTable table) -> std::unique_ptr<Harness> {
            return std::make_unique<TcpHarness>(std::move(table));
          }};
}

Backend DirectBackend() {
  return {"Direct", [](RouteTable table) -> std::unique_ptr<Harness> {
            table.local = {"", kCtrlNetId, "127.0.0.1", 1};
            return std::make_unique<DirectHarness>(std::move(table));
          }};
}

}  // namespace oxa::test
