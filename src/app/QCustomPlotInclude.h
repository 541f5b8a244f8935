// QCustomPlot, whose header uses the Qt keywords that this project switches off
// (QT_NO_KEYWORDS): they are lent to it for its own lines only.
#pragma once

#define signals Q_SIGNALS
#define slots Q_SLOTS
#define emit Q_EMIT
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef slots
#undef emit
#undef foreach
