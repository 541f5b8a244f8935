#include "app/JournalHook.h"

#include "app/JournalDialog.h"
#include "app/Texts.h"
#include "link/AxtuneDoc.h"

namespace {

constexpr uint32_t kTextJournalFailed = 37329;

}  // namespace

CJournalHook::CJournalHook(CAxtuneDoc& doc, const i18n::StringTable& strings, std::string dir,
                           bool record)
    : doc_(doc),
      strings_(strings),
      writer_(dir.empty() ? journal::DefaultJournalDir() : std::move(dir)),
      recorder_(writer_, journal::CurrentIdentity(),
                [this](const std::string& why) {
                  std::string text(strings_.Text(kTextJournalFailed));
                  const size_t at = text.find("%s");
                  if (at != std::string::npos) text.replace(at, 2, why);
                  doc_.Ui().MessageBox(text);
                }),
      record_(record) {
  if (record_) doc_.AddObserver(&recorder_);
}

CJournalHook::~CJournalHook() {
  if (record_) doc_.RemoveObserver(&recorder_);
}

void CJournalHook::ShowDialog(QWidget* parent, std::function<QString()> chooseExportFile) {
  writer_.Flush();
  CJournalDialog dialog(writer_.Dir(), strings_, parent, std::move(chooseExportFile));
  dialog.exec();
}
