// The route file's warnings as the status bar's message pane shows them at start-up.
#include <gtest/gtest.h>

#include <QLabel>

#include "app/StartupWarnings.h"

namespace {

TEST(StartupWarningsTest, FirstWarningInThePaneAllInItsToolTip) {
  const std::vector<oxa::RouteWarning> warnings = {
      {"/etc/oxa.conf", 4, "empty host, line skipped"},
      {"/etc/oxa.conf", 0, "not a readable file of at most 1 MiB, ignored"}};
  i18n::StringTable strings(i18n::kGerman);
  QLabel pane(QStringLiteral("Bereit"));
  ShowStartupWarnings(pane, RouteWarningTexts({}, strings), strings);
  EXPECT_EQ(pane.text().toStdString(), "Bereit");

  ShowStartupWarnings(pane, RouteWarningTexts(warnings, strings), strings);
  EXPECT_EQ(pane.text().toStdString(),
            "Routendatei /etc/oxa.conf, Zeile 4: empty host, line skipped (und 1 weitere)");
  EXPECT_EQ(pane.toolTip().toStdString(),
            "Routendatei /etc/oxa.conf, Zeile 4: empty host, line skipped\n"
            "Routendatei /etc/oxa.conf: not a readable file of at most 1 MiB, ignored");
}

}  // namespace
