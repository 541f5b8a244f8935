// The document: the link state and the records of the current axis.
//
// It is the one place where a failed controller request reaches the user (ReportOxaError). The
// features that work on the current axis (login, refresh, commands) live in their own files and
// use the document's state; the class itself stays small.
#pragma once

#include <cstdint>

#include "i18n/StringTable.h"
#include "link/DocUi.h"
#include "link/LinkState.h"
#include "model/Link.h"
#include "oxa/Oxa.h"

class CAxtuneDoc : public model::IErrorReport, public axlink::ILoginDocument {
 public:
  // Request timeout after a stop-level error, in ms.
  static constexpr int32_t kStoppedTimeoutMs = 1000;

  CAxtuneDoc(oxa::IOxa& oxa, axlink::IDocUi& ui, i18n::StringTable& strings);

  // Shows a failed request to the user. Code 0 does nothing. With `stopOnError` the box ends with
  // the stop sentence, `bCommStopped` is set and the request timeout drops to 1000 ms before the
  // box is shown, so that nothing more is sent for the current axis while it is open.
  void ReportOxaError(bool stopOnError, bool write, int32_t errorCode, uint32_t indexGroup,
                      uint32_t indexOffset) override;

  oxa::IOxa& Oxa() { return oxa_; }
  axlink::IDocUi& Ui() { return ui_; }
  i18n::StringTable& Strings() { return strings_; }

  // Login and logout: forgets the link state and stops the communication.
  void ResetLink() override {
    linkVersions.Reset();
    bCommStopped = true;
  }
  // Library version and record version table of the last server found at login.
  void StoreLinkVersions(const model::LibVersion& lib,
                         const model::RecordVersionTable& table) override {
    linkVersions.Store(lib, table);
  }
  bool LibVersionAtLeast(uint16_t major, uint16_t minor, uint16_t build) const {
    return linkVersions.AtLeast(major, minor, build);
  }

  axlink::LinkVersions linkVersions;

  // While set, no command and no cyclic read of the current axis is sent. Set at construction
  // and by a stop-level error report; cleared by a successful axis selection.
  bool bCommStopped = true;

 private:
  oxa::IOxa& oxa_;
  axlink::IDocUi& ui_;
  i18n::StringTable& strings_;
};
