#include "sim/AxisServer.h"

#include <algorithm>

#include "sim/Reply.h"

namespace sim {

std::unique_ptr<AxisServer> AxisServer::Create(Controller& controller, AxisServerConfig config,
                                               std::string& error) {
  const std::string where = "server at port " + std::to_string(config.port) + ": ";
  if (config.ident.size() >= kTextCapacity) {
    error = where + "identification text longer than 255 bytes";
    return nullptr;
  }
  const size_t first = config.firstAxis.value_or(1);
  const size_t names = config.axisNames.size();
  if (first == 0 || (names > 0 && first + names - 1 > kMaxAxisNumber)) {
    error = where + "axis numbers must lie in 1.." + std::to_string(kMaxAxisNumber);
    return nullptr;
  }
  for (const std::string& name : config.axisNames) {
    if (name.size() >= kTextCapacity) {
      error = where + "axis name longer than 255 bytes";
      return nullptr;
    }
  }
  Service& service = controller.Port(config.port);
  if (service.Serves(kGroupIdentification) || service.Serves(kGroupRecordVersions)) {
    error = where + "the port already has an axis server";
    return nullptr;
  }
  for (size_t i = 0; i < names; ++i) {
    if (service.Serves(kGroupAxisName + static_cast<uint32_t>(first + i))) {
      error = where + "the axis name groups are already served on this port";
      return nullptr;
    }
  }

  std::unique_ptr<AxisServer> s(new AxisServer(controller, std::move(config)));
  for (size_t i = 0; i < names; ++i) {
    s->axes_.push_back(
        std::make_unique<SimAxis>(*s, static_cast<uint16_t>(first + i), s->config_.axisNames[i]));
  }
  AxisServer* self = s.get();
  service.Add(kGroupIdentification, kTextCapacity,
              [self](const oxa::OxaRequest& r, std::span<uint8_t> out) {
                return self->Identification(r, out);
              });
  service.Add(kGroupRecordVersions, sizeof(int16_t),
              [self](const oxa::OxaRequest& r, std::span<uint8_t> out) {
                return self->RecordVersions(r, out);
              });
  // Cannot collide: checked above.
  s->AddAxisGroup(kGroupAxisName, kOffsetAxisName, kTextCapacity,
                  [](SimAxis& axis, const oxa::OxaRequest& r, std::span<uint8_t> out) {
                    return ReadText(r, out, axis.Name(), kTextCapacity);
                  });
  return s;
}

SimAxis* AxisServer::Axis(uint16_t number) const {
  const uint16_t first = FirstAxisNumber();
  if (number < first || static_cast<size_t>(number - first) >= axes_.size()) return nullptr;
  return axes_[static_cast<size_t>(number - first)].get();
}

bool AxisServer::AddGroup(uint32_t indexGroup, uint32_t longestAnswer, Handler handler) {
  return controller_.Port(Port()).Add(indexGroup, longestAnswer, std::move(handler));
}

bool AxisServer::AddAxisGroup(uint32_t base, std::optional<uint32_t> indexOffset,
                              uint32_t longestAnswer, AxisHandler handler) {
  if (!handler) return false;
  auto it = axisGroups_.find(base);
  if (it == axisGroups_.end()) {
    if (!axes_.empty()) {
      const uint32_t first = base + FirstAxisNumber();
      const uint32_t last = first + static_cast<uint32_t>(axes_.size()) - 1;
      if (first < base || last < first) return false;  // the groups would wrap around
      const bool added = controller_.Port(Port()).AddRange(
          first, last, longestAnswer,
          [this, base](const oxa::OxaRequest& r, std::span<uint8_t> out) {
            return DispatchAxis(base, r, out);
          });
      if (!added) return false;
    }
    it = axisGroups_.emplace(base, AxisGroup{}).first;
  }
  AxisGroup& g = it->second;
  if (!indexOffset) {
    if (g.anyOffset) return false;
    g.anyOffset = std::move(handler);
  } else if (!g.byOffset.emplace(*indexOffset, std::move(handler)).second) {
    return false;
  }
  // The groups of all offsets share one range, which answers as much as its longest handler.
  if (!axes_.empty()) controller_.Port(Port()).WidenAnswer(base + FirstAxisNumber(), longestAnswer);
  return true;
}

oxa::OxaReplyInfo AxisServer::DispatchAxis(uint32_t base, const oxa::OxaRequest& request,
                                           std::span<uint8_t> readData) {
  const uint32_t n = request.indexGroup - base;
  SimAxis* axis = n <= kMaxAxisNumber ? Axis(static_cast<uint16_t>(n)) : nullptr;
  const AxisGroup& g = axisGroups_.at(base);
  if (!axis) return Fail(oxa::kErrInvalidIndexGroup);
  for (const auto& hook : beforeAxisRequest_) hook(*axis);
  auto h = g.byOffset.find(request.indexOffset);
  if (h != g.byOffset.end()) return h->second(*axis, request, readData);
  if (g.anyOffset) return g.anyOffset(*axis, request, readData);
  return Fail(oxa::kErrInvalidIndexOffset);
}

oxa::OxaReplyInfo AxisServer::Identification(const oxa::OxaRequest& request,
                                             std::span<uint8_t> out) const {
  switch (request.indexOffset) {
    case 0:
      return ReadText(request, out, config_.ident, kTextCapacity);
    case 1:
      return ReadValue<uint16_t>(request, out, config_.lib.major);
    case 2:
      return ReadValue<uint16_t>(request, out, config_.lib.minor);
    case 3:
      return ReadValue<uint16_t>(request, out, config_.lib.build);
    case 4:
      return ReadValue<uint16_t>(request, out,
                                 config_.axisCount.value_or(static_cast<uint16_t>(axes_.size())));
    case 5:
      if (!config_.firstAxis) return Fail(oxa::kErrInvalidIndexOffset);
      return ReadValue<uint16_t>(request, out, *config_.firstAxis);
    default:
      return Fail(oxa::kErrInvalidIndexOffset);
  }
}

oxa::OxaReplyInfo AxisServer::RecordVersions(const oxa::OxaRequest& request,
                                             std::span<uint8_t> out) const {
  const auto* at =
      std::find(kRecordVersionOffsets.begin(), kRecordVersionOffsets.end(), request.indexOffset);
  if (at == kRecordVersionOffsets.end()) return Fail(oxa::kErrInvalidIndexOffset);
  const auto& word =
      config_.recordVersions[static_cast<size_t>(at - kRecordVersionOffsets.begin())];
  if (!word) return Fail(oxa::kErrInvalidIndexOffset);
  return ReadValue<int16_t>(request, out, *word);
}

}  // namespace sim
