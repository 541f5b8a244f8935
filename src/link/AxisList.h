// The servers and axes that a login finds, as the axis tree and the overview list keep them.
//
// Login talks to an `IAxisListSink`; `AxisList` is the window-free implementation that the tree
// view and the command line build on. Server items are numbered 1, 2, 3 ...; axis items 10001,
// 10002 ... across all servers, and both counters restart when the list is cleared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/Link.h"
#include "oxa/Oxa.h"

namespace axlink {

// Record version table before anything was read: every word 0xFFFF.
inline constexpr model::RecordVersionTable kUnreadVersionTable{-1, -1, -1, -1, -1, -1, -1,
                                                               -1, -1, -1, -1, -1, -1};

// The overview list has room for this many axes; later axes are listed in the tree only.
inline constexpr size_t kOverviewCapacity = 256;
// Item numbers above this mark an axis item.
inline constexpr int kFirstAxisItem = 10000;

class IAxisListSink {
 public:
  virtual ~IAxisListSink() = default;
  virtual void Clear() = 0;
  // Returns the new server's item number.
  virtual int AddServer(std::string_view caption, const oxa::OxaAddr& addr,
                        const model::LibVersion& lib) = 0;
  // Returns the new axis's item number, 0 when no server has `serverItem`.
  virtual int AddAxis(int serverItem, std::string_view name, uint16_t number,
                      const model::LibVersion& lib) = 0;
  virtual void AddOverviewEntry(std::string_view name, const oxa::OxaAddr& addr,
                                uint16_t number) = 0;
  // The server's own record version table, read once the scan is done. Only servers that
  // counted as found get one; the others keep every word at 0xFFFF.
  virtual void SetServerVersions(int serverItem, const model::RecordVersionTable& table) = 0;
};

struct AxisNode {
  std::string name;  // single-byte text as the controller sent it
  int item = 0;
  uint16_t number = 0;
  model::LibVersion lib;
};

struct ServerNode {
  oxa::OxaAddr addr;
  std::string caption;
  int item = 0;
  model::LibVersion lib;
  model::RecordVersionTable versions = kUnreadVersionTable;
  std::vector<AxisNode> axes;
};

struct OverviewEntry {
  std::string name;
  oxa::OxaAddr addr;
  uint16_t number = 0;
};

class AxisList final : public IAxisListSink {
 public:
  void Clear() override {
    servers_.clear();
    overview_.clear();
    lastServerItem_ = 0;
    lastAxisItem_ = kFirstAxisItem;
  }

  int AddServer(std::string_view caption, const oxa::OxaAddr& addr,
                const model::LibVersion& lib) override {
    ServerNode s;
    s.addr = addr;
    s.caption = std::string(caption);
    s.item = ++lastServerItem_;
    s.lib = lib;
    servers_.push_back(std::move(s));
    return servers_.back().item;
  }

  int AddAxis(int serverItem, std::string_view name, uint16_t number,
              const model::LibVersion& lib) override {
    ServerNode* s = FindServer(serverItem);
    if (!s) return 0;
    s->axes.push_back(AxisNode{std::string(name), ++lastAxisItem_, number, lib});
    return s->axes.back().item;
  }

  void AddOverviewEntry(std::string_view name, const oxa::OxaAddr& addr, uint16_t number) override {
    if (overview_.size() >= kOverviewCapacity) return;
    overview_.push_back(OverviewEntry{std::string(name), addr, number});
  }

  void SetServerVersions(int serverItem, const model::RecordVersionTable& table) override {
    if (ServerNode* s = FindServer(serverItem)) s->versions = table;
  }

  const std::vector<ServerNode>& Servers() const { return servers_; }
  const std::vector<OverviewEntry>& Overview() const { return overview_; }

  // The axis behind a tree item and the server it stands under; nullptr for a server item or
  // an unknown number. Servers are searched in order, so equal names never mix up addresses.
  const AxisNode* FindAxis(int item, const ServerNode** server = nullptr) const {
    if (item <= kFirstAxisItem) return nullptr;
    for (const ServerNode& s : servers_) {
      for (const AxisNode& a : s.axes) {
        if (a.item != item) continue;
        if (server) *server = &s;
        return &a;
      }
    }
    return nullptr;
  }

 private:
  ServerNode* FindServer(int item) {
    for (ServerNode& s : servers_) {
      if (s.item == item) return &s;
    }
    return nullptr;
  }

  std::vector<ServerNode> servers_;
  std::vector<OverviewEntry> overview_;
  int lastServerItem_ = 0;
  int lastAxisItem_ = kFirstAxisItem;
};

}  // namespace axlink
