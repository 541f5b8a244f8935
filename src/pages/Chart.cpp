#include "pages/Chart.h"

#include <QEvent>
#include <QPainter>

namespace pages {
namespace {

QColor PenColor(layout::ChartPen pen) {
  switch (pen) {
    case layout::ChartPen::Axis:
      return QColor::fromRgb(kChartAxisRgb);
    case layout::ChartPen::Grid:
      return QColor::fromRgb(kChartGridRgb);
    case layout::ChartPen::Curve:
      return QColor::fromRgb(kChartCurveRgb);
  }
  return Qt::black;
}

QPoint ToQt(layout::ChartPoint p) {
  return {p.x, p.y};
}

}  // namespace

void PaintChart(QPainter& painter, std::span<const layout::ChartOp> ops, const QColor& textColor) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBackgroundMode(Qt::TransparentMode);
  // Texts far larger than any label never clip.
  constexpr int kTextBox = 1000;
  for (const layout::ChartOp& op : ops) {
    switch (op.kind) {
      case layout::ChartOp::Kind::Line: {
        QPen pen(PenColor(op.pen), 1);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawLine(ToQt(op.a), ToQt(op.b));
        break;
      }
      case layout::ChartOp::Kind::Text:
        painter.setPen(textColor);
        painter.drawText(
            QRect(op.a.x, op.a.y, kTextBox, kTextBox),
            Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
            QString::fromLatin1(op.text.data(), static_cast<qsizetype>(op.text.size())));
        break;
      case layout::ChartOp::Kind::Mark:
        painter.fillRect(op.a.x - 1, op.a.y - 1, 3, 3, PenColor(layout::ChartPen::Curve));
        break;
    }
  }
}

CCharacteristicChart::CCharacteristicChart(const layout::DesignScale& scale, QWidget* view)
    : QWidget(view), scale_(scale) {
  // A layer to look at: clicks reach the controls and tabs below it.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(view->rect());
  view->installEventFilter(this);
}

CCharacteristicChart::~CCharacteristicChart() = default;

void CCharacteristicChart::DrawCharacteristic(const model::LinRecord& lin) {
  lin_ = std::make_unique<model::LinRecord>(lin);
  update();
}

void CCharacteristicChart::SetShown(bool shown) {
  if (!shown) lin_.reset();
  if (isHidden() == shown) setVisible(shown);
}

void CCharacteristicChart::paintEvent(QPaintEvent*) {
  if (!lin_) return;
  const layout::ChartFrame frame = layout::MakeChartFrame(scale_, 0, 0, width());
  QPainter painter(this);
  PaintChart(painter, layout::PlanCharacteristic(frame, *lin_),
             palette().color(QPalette::WindowText));
}

bool CCharacteristicChart::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace pages
