#include "sim/ParamFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/ParamFile.h"
#include "oxa/Oxa.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace sim {
namespace {

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// Writes all of `bytes` to `fd`, retrying short writes and interrupted calls.
bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

std::string DefaultFileName(uint16_t port, uint16_t axisNumber) {
  return "port" + std::to_string(port) + "-axis" + std::to_string(axisNumber) + ".dat";
}

std::string LegacyFileName(uint16_t axisNumber) {
  return "axis" + std::to_string(axisNumber) + ".dat";
}

bool IsPlainFileName(std::string_view fileName) {
  if (fileName.empty() || fileName.front() == '.' || fileName.find("..") != std::string_view::npos)
    return false;
  for (const char ch : fileName) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::string SaveFileName(std::string_view fileName, uint16_t port, uint16_t axisNumber) {
  if (IsPlainFileName(fileName)) return std::string(fileName);
  return DefaultFileName(port, axisNumber);
}

std::filesystem::path AxisFilePath(SimAxis& axis, const std::filesystem::path& dir) {
  const ParamStore* store = ParamsOf(axis);
  const std::string_view name = store ? model::FileNameText(store->Record()) : std::string_view{};
  return dir / SaveFileName(name, axis.Server().Port(), axis.Number());
}

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         std::string& error) {
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
  std::string tmp = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    error = Errno("cannot create a temporary file in " + dir.string());
    return false;
  }
  bool ok = WriteAll(fd, bytes);
  if (!ok) error = Errno("cannot write " + tmp);
  if (ok && ::fsync(fd) != 0) {
    error = Errno("cannot flush " + tmp);
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    error = Errno("cannot close " + tmp);
    ok = false;
  }
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
    error = Errno("cannot rename " + tmp + " to " + path.string());
    ok = false;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the directory.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

std::filesystem::path DefaultSaveDir() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
    return std::filesystem::path(state) / "valdor-sim";
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".local" / "state" / "valdor-sim";
  }
  return "valdor-sim-params";
}

bool PrepareSaveDir(const std::filesystem::path& dir, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    error = "cannot create the save directory " + dir.string() + ": " + ec.message();
    return false;
  }
  if (!std::filesystem::is_directory(dir, ec)) {
    error = "the save directory " + dir.string() + " is not a directory";
    return false;
  }
  // Writable means a file can be made there; a probe says so for every kind of file system.
  std::string probe = (dir / ".valdor-sim-probe.XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    error = Errno("cannot write to the save directory " + dir.string());
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool SnapshotAxisParameters(SimAxis& axis, const std::filesystem::path& dir, ParamSnapshot& out) {
  out.path = AxisFilePath(axis, dir);
  const ParamStore* store = ParamsOf(axis);
  if (!store) return false;
  const AxisRuntime* runtime = RuntimeOf(axis);
  out.bytes =
      files::EncodeParameterFile(store->Record(), runtime ? runtime->lin : model::LinRecord{});
  return true;
}

bool SaveFile(const std::filesystem::path& path, std::span<const uint8_t> bytes,
              std::string& error) {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  return WriteFileAtomically(path, bytes, error);
}

uint64_t SaveQueue::Enter(const std::filesystem::path& file) {
  std::lock_guard lock(mutex_);
  ++files_[file].waiting;
  return ++lastTicket_;
}

bool SaveQueue::Write(uint64_t ticket, const ParamSnapshot& snapshot, const FileWriter& write) {
  std::lock_guard disk(diskMutex_);
  bool superseded = false;
  {
    std::lock_guard lock(mutex_);
    superseded = files_[snapshot.path].written > ticket;
  }
  std::string error;
  const bool ok = superseded || write(snapshot.path, snapshot.bytes, error);
  std::lock_guard lock(mutex_);
  Pending& p = files_[snapshot.path];
  if (ok) p.written = std::max(p.written, ticket);
  if (p.waiting > 0) --p.waiting;
  if (p.waiting == 0) files_.erase(snapshot.path);
  return ok;
}

int32_t LoadAxisParameters(SimAxis& axis, const std::filesystem::path& dir,
                           std::filesystem::path& path) {
  path = AxisFilePath(axis, dir);
  ParamStore* store = ParamsOf(axis);
  if (!store) return oxa::kErrNotReady;
  std::error_code ec;
  if (path.filename() == DefaultFileName(axis.Server().Port(), axis.Number()) &&
      !std::filesystem::exists(path, ec)) {
    const std::filesystem::path legacy = dir / LegacyFileName(axis.Number());
    if (std::filesystem::exists(legacy, ec)) path = legacy;
  }
  AxisRuntime* runtime = RuntimeOf(axis);
  model::LinRecord scratch;
  model::LinRecord& lin = runtime ? runtime->lin : scratch;
  const files::FileLoadResult r = files::LoadParameterFile(path.string(), store->Record(), lin);
  if (!r.opened) return oxa::kErrAccessDenied;
  if (runtime) {
    runtime->paramsChanged = true;
    runtime->values.Unsaved = false;
    ++runtime->paramChanges;
  }
  return oxa::kOk;
}

}  // namespace sim
