// File > Journal: the commissioning journal, newest entry first, filtered by axis, controller and
// date range, with the filtered entries exported as CSV.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "i18n/StringTable.h"
#include "journal/Journal.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QTreeWidget;

class CJournalDialog : public QDialog {
 public:
  // Reads the journal in `dir` once. `chooseExportFile` stands in for the save dialog (tests);
  // it returns the path, empty to cancel.
  CJournalDialog(const std::string& dir, const i18n::StringTable& strings,
                 QWidget* parent = nullptr, std::function<QString()> chooseExportFile = {});

  QTreeWidget* List() const { return list_; }
  QComboBox* AxisFilter() const { return axis_; }
  QComboBox* ControllerFilter() const { return controller_; }
  QDateEdit* FromDate() const { return from_; }
  QDateEdit* ToDate() const { return to_; }
  QLabel* WarningLabel() const { return warnings_; }
  // The entries the filters let through, newest first.
  const std::vector<journal::Entry>& Shown() const { return shown_; }

  // Writes the shown entries as CSV; false (after telling the user) when the file cannot be
  // written.
  bool ExportCsv(const QString& path);

 private:
  void FillFilters();
  void ApplyFilters();
  QString ActionText(const journal::Entry& e) const;

  const i18n::StringTable& strings_;
  std::function<QString()> chooseExportFile_;
  journal::ReadResult journal_;
  std::vector<journal::Entry> shown_;
  QComboBox* axis_ = nullptr;
  QComboBox* controller_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QLabel* count_ = nullptr;
  QLabel* warnings_ = nullptr;
};
