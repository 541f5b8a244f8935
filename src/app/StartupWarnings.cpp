#include "app/StartupWarnings.h"

#include <QFile>
#include <QLabel>

#include "app/Texts.h"

namespace {

constexpr uint32_t kTextRouteLine = 37610;
constexpr uint32_t kTextRouteFile = 37611;
constexpr uint32_t kTextMoreWarnings = 37612;

}  // namespace

QStringList RouteWarningTexts(const std::vector<oxa::RouteWarning>& warnings,
                              const i18n::StringTable& strings) {
  QStringList lines;
  for (const oxa::RouteWarning& w : warnings) {
    const QString file = QFile::decodeName(QByteArray::fromStdString(w.file));
    const QString text = QString::fromLatin1(w.text.data(), static_cast<qsizetype>(w.text.size()));
    lines.push_back(w.line == 0
                        ? Text(strings, kTextRouteFile).arg(file, text)
                        : Text(strings, kTextRouteLine).arg(file, QString::number(w.line), text));
  }
  return lines;
}

void ShowStartupWarnings(QLabel& pane, const QStringList& lines, const i18n::StringTable& strings) {
  if (lines.isEmpty()) return;
  QString text = lines.front();
  if (lines.size() > 1) {
    text += QLatin1Char(' ') + Text(strings, kTextMoreWarnings).arg(lines.size() - 1);
  }
  pane.setText(text);
  pane.setToolTip(lines.join(QLatin1Char('\n')));
}
