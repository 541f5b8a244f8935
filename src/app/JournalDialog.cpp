#include "app/JournalDialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <set>

#include "app/Texts.h"
#include "journal/Csv.h"
#include "journal/Format.h"
#include "link/ErrorText.h"

namespace {

constexpr uint32_t kTextTitle = 37301;
constexpr uint32_t kTextAxis = 37302;
constexpr uint32_t kTextController = 37303;
constexpr uint32_t kTextFrom = 37304;
constexpr uint32_t kTextTo = 37305;
constexpr uint32_t kTextAll = 37306;
constexpr uint32_t kTextExport = 37307;
constexpr uint32_t kTextClose = 37308;
constexpr uint32_t kTextCsvFilter = 37309;
constexpr uint32_t kTextFirstColumn = 37310;  // 37310 to 37318, in column order
constexpr int kColumns = 9;
constexpr uint32_t kTextCount = 37320;
constexpr uint32_t kTextDamaged = 37321;
constexpr uint32_t kTextTorn = 37322;
constexpr uint32_t kTextCorrupt = 37323;
constexpr uint32_t kTextOrphan = 37324;
constexpr uint32_t kTextUnreadable = 37325;
constexpr uint32_t kTextResultOk = 37326;
constexpr uint32_t kTextNoAnswer = 37327;
constexpr uint32_t kTextExportFailed = 37328;

struct OpText {
  const char* op;
  uint32_t text;
};
constexpr OpText kOpTexts[] = {
    {journal::kOpWriteReal, 37340},   {journal::kOpWriteByte, 37340},
    {journal::kOpWriteRecord, 37341}, {journal::kOpSave, 37342},
    {journal::kOpLoad, 37343},        {journal::kOpReset, 37344},
    {journal::kOpStop, 37345},        {journal::kOpHome, 37346},
    {journal::kOpSetPosition, 37347}, {journal::kOpMove, 37348},
    {journal::kOpClearLog, 37349},
};

// A text of the table with its "%s" and "%d" filled in, in that order.
QString Fill(QString text, const QString& s, qint64 d) {
  const auto at = text.indexOf(QLatin1String("%s"));
  if (at >= 0) text.replace(at, 2, s);
  const auto dAt = text.indexOf(QLatin1String("%d"));
  if (dAt >= 0) text.replace(dAt, 2, QString::number(d));
  return text;
}

QString Number(const std::optional<double>& v) {
  return v ? FromUtf8(journal::FormatNumber(*v)) : QString();
}

// The controller as the filter lists it: the route name, and the NetId.
QString ControllerText(const journal::Entry& e) {
  const QString netId = QString::fromStdString(e.netId.ToString());
  return e.route.empty() ? netId : FromUtf8(e.route) + QStringLiteral(" (") + netId + ')';
}

QString AxisText(const journal::Entry& e) {
  return QString::number(e.axis) + ' ' + FromUtf8(e.axisName) + QStringLiteral(" (") +
         QString::number(e.port) + ')';
}

// A day of the date filter as a UTC time: its local midnight, or the one after it.
std::optional<int64_t> DayBound(const QDate& day, bool end) {
  return journal::ParseDateArg(day.toString(Qt::ISODate).toStdString(), end);
}

}  // namespace

CJournalDialog::CJournalDialog(const std::string& dir, const i18n::StringTable& strings,
                               QWidget* parent, std::function<QString()> chooseExportFile)
    : QDialog(parent),
      strings_(strings),
      chooseExportFile_(std::move(chooseExportFile)),
      journal_(journal::ReadJournal(dir)) {
  setWindowTitle(Text(strings_, kTextTitle));
  auto* layout = new QVBoxLayout(this);

  auto* filters = new QGridLayout;
  axis_ = new QComboBox(this);
  controller_ = new QComboBox(this);
  from_ = new QDateEdit(this);
  to_ = new QDateEdit(this);
  for (QDateEdit* d : {from_, to_}) {
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  }
  filters->addWidget(new QLabel(Text(strings_, kTextController), this), 0, 0);
  filters->addWidget(controller_, 0, 1);
  filters->addWidget(new QLabel(Text(strings_, kTextAxis), this), 0, 2);
  filters->addWidget(axis_, 0, 3);
  filters->addWidget(new QLabel(Text(strings_, kTextFrom), this), 0, 4);
  filters->addWidget(from_, 0, 5);
  filters->addWidget(new QLabel(Text(strings_, kTextTo), this), 0, 6);
  filters->addWidget(to_, 0, 7);
  filters->setColumnStretch(1, 1);
  filters->setColumnStretch(3, 1);
  layout->addLayout(filters);

  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setAlternatingRowColors(true);
  list_->setUniformRowHeights(true);
  QStringList headers;
  for (int i = 0; i < kColumns; ++i) {
    headers << Text(strings_, kTextFirstColumn + static_cast<uint32_t>(i));
  }
  list_->setHeaderLabels(headers);
  layout->addWidget(list_, 1);

  auto* bottom = new QHBoxLayout;
  count_ = new QLabel(this);
  warnings_ = new QLabel(this);
  warnings_->setStyleSheet(QStringLiteral("color: #a33;"));
  bottom->addWidget(count_);
  bottom->addWidget(warnings_, 1);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* exportButton =
      buttons->addButton(Text(strings_, kTextExport), QDialogButtonBox::ActionRole);
  buttons->addButton(Text(strings_, kTextClose), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(exportButton, &QPushButton::clicked, this, [this] {
    QString path;
    if (chooseExportFile_) {
      path = chooseExportFile_();
    } else {
      path = QFileDialog::getSaveFileName(this, Text(strings_, kTextExport),
                                          QStringLiteral("axtune-journal.csv"),
                                          Text(strings_, kTextCsvFilter));
    }
    if (!path.isEmpty()) ExportCsv(path);
  });
  bottom->addWidget(buttons);
  layout->addLayout(bottom);

  // Lines that could not be read: counted beside the list, each named in the tooltip.
  if (!journal_.warnings.empty()) {
    warnings_->setText(
        Fill(Text(strings_, kTextDamaged), {}, static_cast<qint64>(journal_.warnings.size())));
    QStringList lines;
    for (const journal::Warning& w : journal_.warnings) {
      uint32_t id = kTextCorrupt;
      if (w.kind == journal::WarningKind::TornLine) id = kTextTorn;
      if (w.kind == journal::WarningKind::OrphanResult) id = kTextOrphan;
      if (w.kind == journal::WarningKind::Unreadable) id = kTextUnreadable;
      lines << Fill(Text(strings_, id), QString::fromStdString(w.file),
                    static_cast<qint64>(w.line));
    }
    warnings_->setToolTip(lines.join('\n'));
  }

  FillFilters();
  ApplyFilters();
  for (QComboBox* c : {axis_, controller_}) {
    connect(c, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
  }
  for (QDateEdit* d : {from_, to_}) {
    connect(d, &QDateEdit::dateChanged, this, [this] { ApplyFilters(); });
  }
  resize(1100, 560);
}

void CJournalDialog::FillFilters() {
  // Item data: the index of an entry that stands for the choice; -1 for "(all)".
  std::map<QString, int> axes, controllers;
  for (size_t i = 0; i < journal_.entries.size(); ++i) {
    const journal::Entry& e = journal_.entries[i];
    axes.emplace(AxisText(e), static_cast<int>(i));
    controllers.emplace(ControllerText(e), static_cast<int>(i));
  }
  for (auto [combo, items] : {std::pair{axis_, &axes}, std::pair{controller_, &controllers}}) {
    combo->addItem(Text(strings_, kTextAll), -1);
    for (const auto& [text, index] : *items) combo->addItem(text, index);
  }
  const QDate today = QDate::currentDate();
  QDate first = today;
  if (!journal_.entries.empty()) {
    const auto& e = journal_.entries.front();
    first = QDateTime::fromMSecsSinceEpoch(e.timeMs).date();
  }
  from_->setDate(std::min(first, today));
  to_->setDate(today);
}

void CJournalDialog::ApplyFilters() {
  journal::Filter filter;
  if (const int i = axis_->currentData().toInt(); i >= 0) {
    filter.axis = journal_.entries[static_cast<size_t>(i)].axis;
    filter.port = journal_.entries[static_cast<size_t>(i)].port;
  }
  if (const int i = controller_->currentData().toInt(); i >= 0) {
    filter.netId = journal_.entries[static_cast<size_t>(i)].netId;
  }
  filter.sinceMs = DayBound(from_->date(), false);
  filter.untilMs = DayBound(to_->date(), true);

  shown_.clear();
  for (auto it = journal_.entries.rbegin(); it != journal_.entries.rend(); ++it) {
    if (filter.Matches(*it)) shown_.push_back(*it);
  }
  list_->clear();
  QList<QTreeWidgetItem*> items;
  for (const journal::Entry& e : shown_) {
    const size_t rows = std::max<size_t>(1, e.changes.size());
    for (size_t r = 0; r < rows; ++r) {
      QStringList cells;
      cells << FromUtf8(journal::FormatLocal(e.timeMs, e.utcOffsetMin))
            << FromUtf8(e.user) + '@' + FromUtf8(e.host) << ControllerText(e) << AxisText(e)
            << ActionText(e);
      if (e.changes.empty()) {
        cells << QString() << QString() << QString();
      } else {
        const journal::Change& c = e.changes[r];
        cells << QString::number(c.no) + ' ' + FromUtf8(c.name) << Number(c.before)
              << Number(c.value);
      }
      if (!e.result) {
        cells << Text(strings_, kTextNoAnswer);
      } else if (*e.result == 0) {
        cells << Text(strings_, kTextResultOk);
      } else {
        cells << QStringLiteral("0x%1")
                     .arg(static_cast<uint32_t>(*e.result), 0, 16)
                     .toUpper()
                     .replace(QLatin1String("0X"), QLatin1String("0x"));
      }
      auto* item = new QTreeWidgetItem(cells);
      if (e.result != 0) item->setForeground(kColumns - 1, QColor(0xAA, 0x22, 0x22));
      if (e.result && *e.result != 0) {
        if (const auto id = axlink::OxaErrorStringId(*e.result)) {
          item->setToolTip(kColumns - 1, Text(strings_, *id));
        }
      }
      items << item;
    }
  }
  list_->addTopLevelItems(items);
  for (int c = 0; c < kColumns; ++c) list_->resizeColumnToContents(c);
  count_->setText(Fill(Text(strings_, kTextCount), {}, static_cast<qint64>(shown_.size())));
}

QString CJournalDialog::ActionText(const journal::Entry& e) const {
  QString text = FromUtf8(e.op);
  for (const OpText& o : kOpTexts) {
    if (e.op == o.op) text = Text(strings_, o.text);
  }
  const std::string args = journal::ArgsText(e);
  return args.empty() ? text : text + QStringLiteral(" (") + FromUtf8(args) + ')';
}

bool CJournalDialog::ExportCsv(const QString& path) {
  QFile file(path);
  const std::string csv = journal::ToCsv(shown_);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
      file.write(csv.data(), static_cast<qint64>(csv.size())) == static_cast<qint64>(csv.size()) &&
      file.flush()) {
    return true;
  }
  QMessageBox::warning(this, Text(strings_, kTextTitle),
                       Fill(Text(strings_, kTextExportFailed), path, 0));
  return false;
}
