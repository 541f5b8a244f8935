// The boxes of a page and of the command panel as plain data, and a record of the parameter
// writes the document sends, for the tests of entry and download against the emulator.
#pragma once

#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/DocSession.h"
#include "pages/entry/CommandPanel.h"
#include "pages/entry/Download.h"

namespace entrytest {

struct Box {
  std::string text;
  bool checked = false;
  std::optional<int32_t> item;
};

// The boxes of a page; a box not listed is hidden.
class PageBoxes final : public entry::IEntryInputs {
 public:
  Box& operator()(uint16_t no, uint16_t bit = 0) { return boxes_[{no, bit}]; }

  bool IsShown(uint16_t no, uint16_t bit) const override { return boxes_.contains({no, bit}); }
  std::string Text(uint16_t no) const override { return Get(no, 0).text; }
  void SetText(uint16_t no, const std::string& text) override { (*this)(no).text = text; }
  bool IsChecked(uint16_t no, uint16_t bit) const override { return Get(no, bit).checked; }
  std::optional<int32_t> SelectedItem(uint16_t no) const override { return Get(no, 0).item; }

 private:
  Box Get(uint16_t no, uint16_t bit) const {
    const auto it = boxes_.find({no, bit});
    return it == boxes_.end() ? Box{} : it->second;
  }
  std::map<std::pair<uint16_t, uint16_t>, Box> boxes_;
};

class PanelBoxes final : public entry::IPanelInputs {
 public:
  PanelBoxes(std::string d = {}, std::string v = {})
      : destination(std::move(d)), velocity(std::move(v)) {}
  std::string Text(entry::PanelBox box) const override {
    return box == entry::PanelBox::Destination ? destination : velocity;
  }
  void SetText(entry::PanelBox box, const std::string& text) override {
    (box == entry::PanelBox::Destination ? destination : velocity) = text;
  }
  std::string destination;
  std::string velocity;
};

// The numbered writes the document sent, in order.
struct WriteLog final : axlink::IDocObserver {
  std::vector<axlink::SendEvent> writes;
  void BeforeSend(const CAxtuneDoc&, const axlink::SendEvent& e) override {
    if (e.kind == axlink::SendKind::ParamWrite) writes.push_back(e);
  }
  void AfterSend(const CAxtuneDoc&, const axlink::SendEvent&, int32_t) override {}

  std::vector<uint16_t> Numbers() const {
    std::vector<uint16_t> n;
    for (const axlink::SendEvent& e : writes) n.push_back(e.paramNo);
    return n;
  }
  // The write of `no`; an event of number 0 and value NaN when there was none.
  axlink::SendEvent Of(uint16_t no) const {
    for (const axlink::SendEvent& e : writes) {
      if (e.paramNo == no) return e;
    }
    axlink::SendEvent none;
    none.value = std::numeric_limits<double>::quiet_NaN();
    return none;
  }
};

// Write requests that reached the emulator in `group` (and at `offset`).
inline size_t WiresWritten(doctest::DocSession& s, uint32_t group,
                           std::optional<uint32_t> offset = std::nullopt) {
  return s.plant.Ctrl().Log().Count([&](const sim::LoggedRequest& r) {
    return r.command == oxa::Command::Write && r.indexGroup == group &&
           (!offset || r.indexOffset == *offset);
  });
}

}  // namespace entrytest
