// The two IOxa implementations behind one test harness, so that every conformance test runs
// against both and their results can be compared.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "TestEndpoint.h"
#include "oxa/Oxa.h"
#include "oxa/RouteTable.h"

namespace oxa::test {

struct Harness {
  virtual ~Harness() = default;
  virtual IOxa& Oxa() = 0;
  TestEndpoint endpoint;
};

struct Backend {
  std::string name;
  // Builds an IOxa whose route table is `table` with the local system replaced by a
  // TestEndpoint at kCtrlNetId; the port is not opened yet.
  std::function<std::unique_ptr<Harness>(RouteTable table)> make;
};

inline void PrintTo(const Backend& b, std::ostream* os) {
  *os << b.name;
}

Backend DirectBackend();
Backend TcpBackend();

}  // namespace oxa::test
