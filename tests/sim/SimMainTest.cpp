// valdor-sim started as a user starts it, in the cases where it must not run: what it says and
// how it exits. Each run ends by itself, before or instead of listening.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int code = -1;
  std::string output;  // stdout and stderr
};

Outcome Start(const std::string& args) {
  const std::string command = std::string(AXTUNE_VALDOR_SIM) + " " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  Outcome run;
  if (pipe == nullptr) return run;
  char buffer[512];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  if (WIFEXITED(status)) run.code = WEXITSTATUS(status);
  return run;
}

// A TCP port on 127.0.0.1 that this process listens on, so nobody else can.
class TakenPort {
 public:
  TakenPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::listen(fd_, 1) == 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~TakenPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  TakenPort(const TakenPort&) = delete;
  TakenPort& operator=(const TakenPort&) = delete;
  uint16_t Port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

TEST(SimMain, RefusesToRunWithAClearMessageAndExitCode) {
  const fs::path dir = fs::temp_directory_path() / ("axtune_simmain_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "bad.json") << "{\n  \"servers\": [,]\n}";
  std::ofstream(dir / "plain-file") << "x";
  const TakenPort taken;
  ASSERT_NE(taken.Port(), 0);
  const std::string demo = std::string(AXTUNE_SIM_CONFIGS) + "/demo.json";

  const struct {
    std::string args;
    int code;
    const char* says;
  } cases[] = {
      {"--config " + (dir / "bad.json").string(), 2,
       "bad.json: configuration is not valid JSON at line 2, column 15"},
      {"--config " + demo + " --save-dir " + (dir / "plain-file" / "sub").string(), 1,
       "valdor-sim: cannot create the save directory"},
      // Every usage error exits 2, whatever the option parser's own code for it.
      {"--bogus", 2, "--bogus"},
      {"--idle-grace -1", 2, "--idle-grace"},
      // Without a plant it says so, before it finds the endpoint taken.
      {"--listen 127.0.0.1:" + std::to_string(taken.Port()), 1, "the plant is empty"},
  };
  for (const auto& c : cases) {
    const Outcome run = Start(c.args);
    EXPECT_EQ(run.code, c.code) << c.args << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << "\n" << run.output;
  }
  fs::remove_all(dir);
}

}  // namespace
