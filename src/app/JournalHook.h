// The window's commissioning journal: what the document sends goes into the user's journal
// (unless the window was started with --no-journal), and File > Journal shows it.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "i18n/StringTable.h"
#include "journal/Journal.h"
#include "journal/Recorder.h"

class CAxtuneDoc;
class QWidget;

class CJournalHook {
 public:
  // Journals into `dir` (empty: the user's journal directory) when `record` is set. A failed
  // journal write is shown once through the document's message box.
  CJournalHook(CAxtuneDoc& doc, const i18n::StringTable& strings, std::string dir, bool record);
  ~CJournalHook();
  CJournalHook(const CJournalHook&) = delete;
  CJournalHook& operator=(const CJournalHook&) = delete;

  // The route the user chose as target ("Local" for the local system).
  void SetRoute(const std::string& route) { recorder_.SetRoute(route); }
  const std::string& Dir() const { return writer_.Dir(); }

  // Writes the result of the last request if it is still held back (the window's timer).
  void Flush() { writer_.Flush(); }

  // Shows the journal; `chooseExportFile` as for CJournalDialog.
  void ShowDialog(QWidget* parent, std::function<QString()> chooseExportFile = {});

 private:
  CAxtuneDoc& doc_;
  const i18n::StringTable& strings_;
  journal::Writer writer_;
  journal::Recorder recorder_;
  bool record_;
};
