#include "sim/Plant.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <set>

namespace sim {
namespace {

using nlohmann::json;

constexpr size_t kMaxFaults = 1024;

// Reads an integer given as a JSON number or as a string "0x..." or decimal, within [lo, hi].
bool GetInt(const json& j, int64_t lo, int64_t hi, int64_t& out) {
  if (j.is_number_integer()) {
    if (j.is_number_unsigned()) {
      const uint64_t u = j.get<uint64_t>();
      if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
      out = static_cast<int64_t>(u);
    } else {
      out = j.get<int64_t>();
    }
  } else if (j.is_string()) {
    const std::string& s = j.get_ref<const std::string&>();
    std::string_view t = s;
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
      t.remove_prefix(2);
      base = 16;
    }
    const char* end = t.data() + t.size();
    auto [p, ec] = std::from_chars(t.data(), end, out, base);
    if (ec != std::errc{} || p != end || t.empty()) return false;
  } else {
    return false;
  }
  return out >= lo && out <= hi;
}

// "line L, column C: <what the parser expected>" for a parse error, counting columns in
// characters, not bytes.
std::string JsonErrorPlace(std::string_view text, const json::parse_error& e) {
  const size_t at = std::min<size_t>(e.byte > 0 ? e.byte - 1 : 0, text.size());
  size_t line = 1;
  size_t column = 1;
  for (size_t i = 0; i < at; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  // The library's text starts with its own place ("[json.exception.parse_error.101] parse error
  // at line 1, column 5: "); the part after it says what was wrong.
  std::string_view what = e.what();
  if (const size_t colon = what.find(": "); colon != std::string_view::npos) {
    what.remove_prefix(colon + 2);
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
         std::string(what);
}

class Reader {
 public:
  explicit Reader(std::string& error) : error_(error) {}

  bool Fail(const std::string& where, const std::string& what) {
    error_ = where + ": " + what;
    return false;
  }

  bool Int(const json& obj, const char* key, const std::string& where, int64_t lo, int64_t hi,
           int64_t& out) {
    auto it = obj.find(key);
    if (it == obj.end()) return Fail(where, std::string("missing \"") + key + "\"");
    if (!GetInt(*it, lo, hi, out)) {
      return Fail(where, std::string("\"") + key + "\" must be an integer from " +
                             std::to_string(lo) + " to " + std::to_string(hi));
    }
    return true;
  }

  bool Port(const json& obj, const std::string& where, uint16_t& port) {
    int64_t v = 0;
    if (!Int(obj, "port", where, 1, 65535, v)) return false;
    port = static_cast<uint16_t>(v);
    return true;
  }

  bool Text(const json& j, const std::string& where, const char* what, std::string& out) {
    if (!j.is_string()) return Fail(where, std::string(what) + " must be a string");
    if (!Utf8ToLatin1(j.get_ref<const std::string&>(), out)) {
      return Fail(where, std::string(what) + " has characters the controller cannot hold");
    }
    return true;
  }

  bool OnlyKeys(const json& obj, const std::string& where, std::set<std::string> allowed) {
    if (!obj.is_object()) return Fail(where, "must be an object");
    for (const auto& [key, value] : obj.items()) {
      if (!allowed.contains(key)) return Fail(where, "unknown key \"" + key + "\"");
    }
    return true;
  }

 private:
  std::string& error_;
};

bool ParseLib(std::string_view text, model::LibVersion& lib) {
  std::array<uint16_t, 3> parts{};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) {
      if (p == end || *p != '.') return false;
      ++p;
    }
    auto [next, ec] = std::from_chars(p, end, parts[i]);
    if (ec != std::errc{} || next == p) return false;
    p = next;
  }
  if (p != end) return false;
  lib = {parts[0], parts[1], parts[2]};
  return true;
}

bool ReadRuntime(Reader& r, Plant& plant, const json& j, const std::string& where,
                 std::string& error) {
  if (!j.is_object()) return r.Fail(where, "must be an object");
  auto gen = j.find("generation");
  if (gen == j.end() || !gen->is_string()) return r.Fail(where, "missing \"generation\"");
  uint16_t port = 0;
  if (*gen == "CV2") {
    if (!r.OnlyKeys(j, where, {"generation", "port", "activeTasks"})) return false;
    if (!r.Port(j, where, port)) return false;
    std::array<bool, 4> active{};
    auto tasks = j.find("activeTasks");
    if (tasks == j.end() || !tasks->is_array()) {
      return r.Fail(where, "\"activeTasks\" must be a list of task numbers 1 to 4");
    }
    for (const json& t : *tasks) {
      int64_t task = 0;
      if (!GetInt(t, 1, 4, task)) return r.Fail(where, "task numbers run from 1 to 4");
      active[static_cast<size_t>(task - 1)] = true;
    }
    if (!plant.AddCv2Runtime(port, active, error)) return r.Fail(where, std::string(error));
  } else if (*gen == "CV3") {
    if (!r.OnlyKeys(j, where, {"generation", "port", "cycleCount"})) return false;
    if (!r.Port(j, where, port)) return false;
    int64_t cycles = 0;
    if (!r.Int(j, "cycleCount", where, 0, std::numeric_limits<uint32_t>::max(), cycles)) {
      return false;
    }
    if (!plant.AddCv3Runtime(port, static_cast<uint32_t>(cycles), error)) {
      return r.Fail(where, std::string(error));
    }
  } else {
    return r.Fail(where, "\"generation\" must be \"CV2\" or \"CV3\"");
  }
  return true;
}

bool ReadServer(Reader& r, Plant& plant, const json& j, const std::string& where,
                std::span<const ServerFeature> features, std::string& error) {
  std::set<std::string> keys{"port",      "ident",     "lib",           "axes",
                             "firstAxis", "axisCount", "recordVersions"};
  std::set<std::string> axisKeys{"name"};
  for (const ServerFeature& f : features) {
    keys.insert(f.keys.begin(), f.keys.end());
    axisKeys.insert(f.axisKeys.begin(), f.axisKeys.end());
  }
  if (!r.OnlyKeys(j, where, keys)) return false;

  AxisServerConfig c;
  if (!r.Port(j, where, c.port)) return false;
  if (auto it = j.find("ident"); it != j.end() && !r.Text(*it, where, "\"ident\"", c.ident)) {
    return false;
  }
  auto lib = j.find("lib");
  if (lib == j.end() || !lib->is_string() || !ParseLib(lib->get_ref<const std::string&>(), c.lib)) {
    return r.Fail(where, "\"lib\" must be a version \"major.minor.build\"");
  }
  if (auto it = j.find("firstAxis"); it != j.end() && !it->is_null()) {
    int64_t v = 0;
    if (!r.Int(j, "firstAxis", where, 0, 65535, v)) return false;
    c.firstAxis = static_cast<uint16_t>(v);
  }
  if (j.contains("axisCount")) {
    int64_t v = 0;
    if (!r.Int(j, "axisCount", where, 0, 65535, v)) return false;
    c.axisCount = static_cast<uint16_t>(v);
  }
  if (auto axes = j.find("axes"); axes != j.end()) {
    if (!axes->is_array()) return r.Fail(where, "\"axes\" must be a list");
    if (axes->size() > kMaxAxisNumber) return r.Fail(where, "too many axes");
    for (size_t i = 0; i < axes->size(); ++i) {
      const json& a = (*axes)[i];
      const std::string at = where + ".axes[" + std::to_string(i) + "]";
      std::string name;
      if (a.is_object()) {
        if (!r.OnlyKeys(a, at, axisKeys)) return false;
        auto n = a.find("name");
        if (n == a.end()) return r.Fail(at, "missing \"name\"");
        if (!r.Text(*n, at, "\"name\"", name)) return false;
      } else if (!r.Text(a, at, "an axis", name)) {
        return false;
      }
      c.axisNames.push_back(std::move(name));
    }
  }
  if (auto rv = j.find("recordVersions"); rv != j.end()) {
    if (!rv->is_array() || rv->size() != kRecordVersionWords) {
      return r.Fail(where, "\"recordVersions\" must list 13 words (a number or null each)");
    }
    for (size_t w = 0; w < kRecordVersionWords; ++w) {
      const json& v = (*rv)[w];
      if (v.is_null()) continue;
      int64_t word = 0;
      if (!GetInt(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(),
                  word)) {
        return r.Fail(where, "record version word " + std::to_string(w) +
                                 " must be a 16-bit signed number or null");
      }
      c.recordVersions[w] = static_cast<int16_t>(word);
    }
  }
  AxisServer* server = plant.AddServer(std::move(c), error);
  if (!server) return r.Fail(where, std::string(error));
  for (const ServerFeature& f : features) {
    std::string ferr;
    bool installed = false;
    // A feature that reads its keys carelessly must not take the emulator down: the JSON
    // library's type errors become configuration errors.
    try {
      installed = !f.install || f.install(*server, j, ferr);
    } catch (const json::exception& e) {
      ferr = e.what();
    }
    if (!installed) return r.Fail(where, f.name + ": " + ferr);
  }
  return true;
}

bool ReadFault(Reader& r, Controller& controller, const json& j, const std::string& where) {
  if (!r.OnlyKeys(j, where,
                  {"port", "indexGroup", "indexOffset", "error", "drop", "wrongLength"})) {
    return false;
  }
  Fault f;
  int64_t v = 0;
  if (!r.Port(j, where, f.port)) return false;
  if (!r.Int(j, "indexGroup", where, 0, std::numeric_limits<uint32_t>::max(), v)) return false;
  f.indexGroup = static_cast<uint32_t>(v);
  if (j.contains("indexOffset")) {
    if (!r.Int(j, "indexOffset", where, 0, std::numeric_limits<uint32_t>::max(), v)) return false;
    f.indexOffset = static_cast<uint32_t>(v);
  }
  const int kinds = (j.contains("error") ? 1 : 0) + (j.contains("drop") ? 1 : 0) +
                    (j.contains("wrongLength") ? 1 : 0);
  if (kinds != 1) return r.Fail(where, "needs exactly one of \"error\", \"drop\", \"wrongLength\"");
  if (j.contains("error")) {
    if (!r.Int(j, "error", where, std::numeric_limits<int32_t>::min(),
               std::numeric_limits<uint32_t>::max(), v)) {
      return false;
    }
    f.kind = Fault::Kind::Error;
    f.error = static_cast<int32_t>(static_cast<uint32_t>(v));
    if (f.error == oxa::kOk) return r.Fail(where, "\"error\" must not be 0");
  } else if (j.contains("drop")) {
    if (j["drop"] != true) return r.Fail(where, "\"drop\" must be true");
    f.kind = Fault::Kind::Drop;
  } else {
    if (!r.Int(j, "wrongLength", where, 0, std::numeric_limits<uint32_t>::max(), v)) return false;
    f.kind = Fault::Kind::WrongLength;
    f.length = static_cast<uint32_t>(v);
  }
  controller.Faults().Add(f);
  return true;
}

}  // namespace

Cv2Runtime* Plant::AddCv2Runtime(uint16_t port, std::array<bool, 4> activeTasks,
                                 std::string& error) {
  auto rt = std::make_unique<Cv2Runtime>();
  rt->port = port;
  rt->activeTasks = activeTasks;
  if (!rt->Install(controller_)) {
    error = "runtime at port " + std::to_string(port) + ": the port already has a runtime";
    return nullptr;
  }
  cv2_.push_back(std::move(rt));
  return cv2_.back().get();
}

Cv3Runtime* Plant::AddCv3Runtime(uint16_t port, uint32_t cycleCount, std::string& error) {
  auto rt = std::make_unique<Cv3Runtime>();
  rt->port = port;
  rt->cycleCount = cycleCount;
  if (!rt->Install(controller_)) {
    error = "runtime at port " + std::to_string(port) + ": the port already has a runtime";
    return nullptr;
  }
  cv3_.push_back(std::move(rt));
  return cv3_.back().get();
}

AxisServer* Plant::AddServer(AxisServerConfig config, std::string& error) {
  auto server = AxisServer::Create(controller_, std::move(config), error);
  if (!server) return nullptr;
  servers_.push_back(std::move(server));
  return servers_.back().get();
}

AxisServer* Plant::Server(uint16_t port) const {
  for (const auto& s : servers_) {
    if (s->Port() == port) return s.get();
  }
  return nullptr;
}

bool Utf8ToLatin1(std::string_view utf8, std::string& out) {
  out.clear();
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<uint8_t>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() &&
               (static_cast<uint8_t>(utf8[i + 1]) & 0xC0) == 0x80) {
      const auto c2 = static_cast<uint8_t>(utf8[++i]);
      out += static_cast<char>(static_cast<uint8_t>(((c & 0x03) << 6) | (c2 & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

std::unique_ptr<Plant> LoadPlant(std::string_view jsonText, const oxa::NetId& netId,
                                 std::span<const ServerFeature> features, std::string& error) {
  if (jsonText.size() > kMaxConfigBytes) {
    error = "configuration larger than 1 MiB";
    return nullptr;
  }
  json root;
  try {
    root = json::parse(jsonText.begin(), jsonText.end());
  } catch (const json::parse_error& e) {
    error = "configuration is not valid JSON at " + JsonErrorPlace(jsonText, e);
    return nullptr;
  } catch (const json::exception& e) {
    // A number beyond the range of a double (1e400) ends the parse without a place.
    error = std::string("configuration is not valid JSON: ") + e.what();
    return nullptr;
  }
  Reader r(error);
  if (!r.OnlyKeys(root, "configuration", {"runtimes", "servers", "faults"})) return nullptr;
  auto plant = std::make_unique<Plant>(netId);

  auto list = [&](const char* key, auto&& each) {
    auto it = root.find(key);
    if (it == root.end()) return true;
    if (!it->is_array()) return r.Fail(key, "must be a list");
    for (size_t i = 0; i < it->size(); ++i) {
      if (!each((*it)[i], std::string(key) + "[" + std::to_string(i) + "]")) return false;
    }
    return true;
  };
  const bool ok = list("runtimes",
                       [&](const json& j, const std::string& at) {
                         return ReadRuntime(r, *plant, j, at, error);
                       }) &&
                  list("servers",
                       [&](const json& j, const std::string& at) {
                         return ReadServer(r, *plant, j, at, features, error);
                       }) &&
                  list("faults", [&](const json& j, const std::string& at) {
                    if (plant->Ctrl().Faults().Size() >= kMaxFaults)
                      return r.Fail(at, "too many faults");
                    return ReadFault(r, plant->Ctrl(), j, at);
                  });
  if (!ok) return nullptr;
  return plant;
}

std::unique_ptr<Plant> LoadPlantFile(const std::string& path, const oxa::NetId& netId,
                                     std::span<const ServerFeature> features, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return nullptr;
  }
  std::string text(kMaxConfigBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) {
    error = "cannot read " + path;
    return nullptr;
  }
  auto plant = LoadPlant(text, netId, features, error);
  if (!plant) error = path + ": " + error;
  return plant;
}

}  // namespace sim
