#include "link/AxtuneDoc.h"

#include "link/ErrorText.h"

CAxtuneDoc::CAxtuneDoc(oxa::IOxa& oxa, axlink::IDocUi& ui, i18n::StringTable& strings)
    : oxa_(oxa), ui_(ui), strings_(strings) {
  ResetDocument();
}

void CAxtuneDoc::ReportOxaError(bool stopOnError, bool write, int32_t errorCode,
                                uint32_t indexGroup, uint32_t indexOffset) {
  if (errorCode == oxa::kOk) return;
  const std::string text =
      axlink::BuildOxaErrorText(strings_, stopOnError, write, errorCode, indexGroup, indexOffset);
  if (stopOnError) {
    bCommStopped = true;
    oxa_.OxaSyncSetTimeout(kStoppedTimeoutMs);
  }
  ui_.MessageBox(text);
}

model::AxisLink CAxtuneDoc::CurrentLink(bool reported) {
  model::AxisLink link;
  link.oxa = &oxa_;
  link.addr = axisAddr;
  link.axis = static_cast<uint16_t>(nAxis < 0 ? 0 : nAxis);
  link.lib = linkVersions.lib;
  link.versions = linkVersions.table;
  link.report = reported ? this : nullptr;
  return link;
}
