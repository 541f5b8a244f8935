// The document's observer that writes the journal: an entry before every request the document
// sends to an axis, and the request's result after it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "journal/Entry.h"
#include "journal/Journal.h"
#include "link/DocObserver.h"

namespace journal {

// The entry of a request, from the document's state just before it is sent (no id, time or
// result yet): a numbered write names the number and the value the controller last reported,
// the whole-record write every field it changes. Fills `e`, reusing its memory.
void MakeEntry(const CAxtuneDoc& doc, const axlink::SendEvent& event, const Identity& who,
               const std::string& route, Entry& e);

// The one entry of a tuning run on the document's current axis. Fills `e`, reusing its memory.
void MakeTuningEntry(const CAxtuneDoc& doc, const axlink::TuningRunReport& report,
                     const Identity& who, const std::string& route, Entry& e);

class Recorder final : public axlink::IDocObserver {
 public:
  // `onError` hears of a failed journal write once, and again only after a write succeeded.
  Recorder(Writer& writer, Identity who, std::function<void(const std::string&)> onError = {});

  // The route name of the target the document's axes are reached through.
  void SetRoute(std::string route) { route_ = std::move(route); }

  void BeforeSend(const CAxtuneDoc& doc, const axlink::SendEvent& event) override;
  void AfterSend(const CAxtuneDoc& doc, const axlink::SendEvent& event, int32_t result) override;
  // A tuning run's requests make no entries of their own: the run is one entry, made here.
  void TuningRun(const CAxtuneDoc& doc, const axlink::TuningRunReport& report) override;

 private:
  void Failed();

  Writer& writer_;
  Identity who_;
  std::function<void(const std::string&)> onError_;
  std::string route_ = "Local";
  Entry entry_;          // the last entry, kept to reuse its memory
  std::string pending_;  // id of the entry whose request is out; empty when it could not be written
  bool failing_ = false;
};

}  // namespace journal
