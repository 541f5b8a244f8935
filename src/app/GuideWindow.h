// ? > User guide: the user guide (guide.md and its screenshots) in a window of its own, read
// from the installed documentation, or from the source tree's docs/ when Axtune runs from its
// build tree.
#pragma once

#include <QStringList>
#include <QWidget>

#include "i18n/StringTable.h"

class QTextBrowser;

class CGuideWindow : public QWidget {
 public:
  // Where the guide is looked for, in order: beside the installed program
  // (<prefix>/share/doc/axtune), then the source tree.
  static QStringList Places();
  // The first place that holds guide.md; empty when none does.
  static QString FindGuide();

  // Shows the guide in the window `parent` keeps for it, making that window first; tells the
  // user where it was looked for when it is not there.
  static void Show(QWidget* parent, const i18n::StringTable& strings);
  // The window `parent` keeps for the guide; null before the guide was first shown.
  static CGuideWindow* Of(QWidget* parent);

  CGuideWindow(const QString& path, const i18n::StringTable& strings, QWidget* parent);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_ = nullptr;
};
