#include "app/GuideWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "app/Texts.h"

namespace {

constexpr uint32_t kTextTitle = 37801;
constexpr uint32_t kTextMissing = 37802;
const QString kGuideFile = QStringLiteral("guide.md");
// The name the window carries among its parent's children, to be found again.
const QString kObjectName = QStringLiteral("userGuide");

// The screenshots are a screen wide; shown this wide, a page needs no sideways scrolling.
constexpr int kImageWidth = 860;

void FitImages(QTextDocument& doc) {
  std::vector<std::pair<int, int>> images;  // position, length
  for (QTextBlock b = doc.begin(); b != doc.end(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (f.charFormat().isImageFormat()) images.emplace_back(f.position(), f.length());
    }
  }
  for (const auto& [position, length] : images) {
    QTextCursor c(&doc);
    c.setPosition(position);
    c.setPosition(position + length, QTextCursor::KeepAnchor);
    QTextImageFormat image = c.charFormat().toImageFormat();
    image.setWidth(kImageWidth);  // the height follows in proportion
    c.setCharFormat(image);
  }
}

}  // namespace

QStringList CGuideWindow::Places() {
  return {QDir::cleanPath(QCoreApplication::applicationDirPath() +
                          QStringLiteral("/../share/doc/axtune")),
          QStringLiteral(AXTUNE_SOURCE_DOCS)};
}

QString CGuideWindow::FindGuide() {
  for (const QString& dir : Places()) {
    const QFileInfo guide(QDir(dir).filePath(kGuideFile));
    if (guide.isReadable()) return guide.absoluteFilePath();
  }
  return {};
}

void CGuideWindow::Show(QWidget* parent, const i18n::StringTable& strings) {
  auto* window = Of(parent);
  if (window == nullptr) {
    const QString path = FindGuide();
    if (path.isEmpty()) {
      QMessageBox::warning(
          parent, Text(strings, kTextTitle),
          Text(strings, kTextMissing) + QStringLiteral("\n") + Places().join(QStringLiteral("\n")));
      return;
    }
    window = new CGuideWindow(path, strings, parent);
  }
  window->show();
  window->raise();
  window->activateWindow();
}

CGuideWindow* CGuideWindow::Of(QWidget* parent) {
  return dynamic_cast<CGuideWindow*>(
      parent->findChild<QWidget*>(kObjectName, Qt::FindDirectChildrenOnly));
}

CGuideWindow::CGuideWindow(const QString& path, const i18n::StringTable& strings, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setObjectName(kObjectName);
  setWindowTitle(Text(strings, kTextTitle));
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  // The screenshots are named relative to the guide.
  browser_->setSearchPaths({QFileInfo(path).absolutePath()});
  browser_->setSource(QUrl::fromLocalFile(path), QTextDocument::MarkdownResource);
  FitImages(*browser_->document());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(kImageWidth + 80, 800);
}
