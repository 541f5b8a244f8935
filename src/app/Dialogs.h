// The target dialog ("Select a target system": the route list, OK and Abort) and the About box.
#pragma once

#include <QDialog>
#include <vector>

#include "i18n/StringTable.h"
#include "link/Routes.h"

class QComboBox;

class CTargetDialog : public QDialog {
 public:
  // Lists the entries in order ("Local" first) with entry 0 selected.
  CTargetDialog(const std::vector<axlink::TargetEntry>& entries, const i18n::StringTable& strings,
                QWidget* parent = nullptr);

  QComboBox* List() const { return list_; }
  // The chosen entry.
  int Chosen() const;

 private:
  QComboBox* list_ = nullptr;
};

class CAboutDialog : public QDialog {
 public:
  explicit CAboutDialog(const i18n::StringTable& strings, QWidget* parent = nullptr);
};
