// Dialog 133 "Unzulässige Eingaben": a download was refused because a box held an invalid value,
// which has been replaced by an admissible one. Modal, with one OK button.
#pragma once

#include <QDialog>

#include "i18n/StringTable.h"

namespace pages {

class CInvalidInputDialog : public QDialog {
 public:
  explicit CInvalidInputDialog(const i18n::StringTable& strings, QWidget* parent = nullptr);
};

}  // namespace pages
