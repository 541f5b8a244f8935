// valdor-sim: an emulated controller with PLC runtimes and Valdor axis servers, reached over
// OXA/TCP.
#include <CLI/CLI.hpp>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>

#include "AxtuneVersion.h"
#include "oxa/OxaTcpServer.h"
#include "oxa/RouteTable.h"
#include "sim/Commands.h"
#include "sim/Hydraulic.h"
#include "sim/Plant.h"

int main(int argc, char** argv) {
  CLI::App app{"valdor-sim: emulated controller with PLC runtimes and Valdor axis servers"};
  app.footer("Keys of an axis's \"hydraulics\" object in the configuration:\n" +
             sim::HydraulicsKeysHelp());
  std::string listen = "127.0.0.1:26801";
  std::string netIdText = "127.0.0.1.1.1";
  std::string configPath;
  app.add_option("--listen", listen,
                 "TCP endpoint to listen on, HOST:PORT or [IPV6]:PORT (port 0: any free)")
      ->capture_default_str();
  app.add_option("--netid", netIdText, "NetId of the controller")->capture_default_str();
  app.add_option("--config", configPath, "JSON file naming the runtimes and axis servers")
      ->check(CLI::ExistingFile);
  std::string saveDir;
  app.add_option("--save-dir", saveDir,
                 "Directory of the axes' parameter files (save and load on the controller); "
                 "overrides the servers' saveDir");
  app.set_version_flag("--version", "valdor-sim " AXTUNE_VERSION);
  double idleGrace = 10.0;
  app.add_option("--idle-grace", idleGrace,
                 "Seconds a connection may stay idle before it is closed to make room for a new "
                 "one once the 256 connections are taken")
      ->capture_default_str()
      ->check(CLI::Range(0.0, 86400.0));
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;  // every usage error alike, whatever CLI11's own code for it
  }

  std::string why;
  const std::optional<oxa::HostPort> endpoint = oxa::ParseHostPort(listen, why, true);
  if (!endpoint) {
    std::fprintf(stderr, "valdor-sim: --listen needs HOST:PORT, got \"%s\": %s\n", listen.c_str(),
                 why.c_str());
    return 2;
  }
  const std::string& host = endpoint->host;
  const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  const uint16_t port = endpoint->port;
  const auto netId = oxa::NetId::Parse(netIdText);
  if (!netId) {
    std::fprintf(stderr,
                 "valdor-sim: --netid needs six numbers 0-255 \"a.b.c.d.e.f\", got \"%s\"\n",
                 netIdText.c_str());
    return 2;
  }

  std::string error;
  const auto features = sim::DefaultServerFeatures();
  std::unique_ptr<sim::Plant> plant = configPath.empty()
                                          ? std::make_unique<sim::Plant>(*netId)
                                          : sim::LoadPlantFile(configPath, *netId, features, error);
  if (!plant) {
    std::fprintf(stderr, "valdor-sim: %s\n", error.c_str());
    return 2;
  }
  if (!saveDir.empty()) sim::SetSaveDir(*plant, saveDir);
  if (!sim::PrepareSaveDirs(*plant, error)) {
    std::fprintf(stderr, "valdor-sim: %s\n", error.c_str());
    return 1;
  }
  if (configPath.empty()) {
    std::fprintf(stderr,
                 "valdor-sim: no --config given: the plant is empty, so every request answers 6 "
                 "(target port not found); try --config /usr/share/axtune/demo.json\n");
  }

  // The server thread inherits the blocked signals, so only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  oxa::OxaServerOptions options;
  options.idleGrace = std::chrono::milliseconds(std::llround(idleGrace * 1000.0));
  auto server = oxa::OxaTcpServer::Start(plant->Ctrl(), host, port, error, options);
  if (!server) {
    std::fprintf(stderr, "valdor-sim: cannot listen on %s: %s\n", listen.c_str(), error.c_str());
    return 1;
  }
  size_t axes = 0;
  for (const auto& s : plant->Servers()) axes += s->Axes().size();
  std::printf("valdor-sim: NetId %s listening on %s:%u (%zu axis servers, %zu axes)\n",
              netId->ToString().c_str(), shownHost.c_str(), static_cast<unsigned>(server->Port()),
              plant->Servers().size(), axes);
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  server->Stop();
  std::printf("valdor-sim: stopped (%s) after %llu requests\n",
              received == SIGINT ? "SIGINT" : "SIGTERM",
              static_cast<unsigned long long>(plant->Ctrl().Log().Total()));
  return 0;
}
