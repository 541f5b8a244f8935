// The route file's warnings in the window: once, at start-up, in the status bar's message pane.
#pragma once

#include <QStringList>
#include <vector>

#include "i18n/StringTable.h"
#include "oxa/RouteTable.h"

class QLabel;

// One line per warning, in the current language: "Route file F, line N: text".
QStringList RouteWarningTexts(const std::vector<oxa::RouteWarning>& warnings,
                              const i18n::StringTable& strings);

// Puts the first line into the pane, with the count of the others; the tool tip lists them all.
// Nothing happens without a line.
void ShowStartupWarnings(QLabel& pane, const QStringList& lines, const i18n::StringTable& strings);
