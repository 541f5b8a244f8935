// The characteristic chart of the LinTab page, drawn straight onto the view: a transparent layer
// over the whole view, under every control, that paints the plan of layout/Characteristic.h for
// the table it was last given, at the view's current size.
#pragma once

#include <QWidget>
#include <memory>
#include <span>

#include "model/LinRecord.h"
#include "pages/layout/Characteristic.h"
#include "pages/layout/Design.h"

class QPainter;

namespace pages {

// Colours of the chart's pens: black axes, light grey grid, blue curve and marks.
inline constexpr QRgb kChartAxisRgb = 0xFF000000;
inline constexpr QRgb kChartGridRgb = 0xFFC8C8C8;
inline constexpr QRgb kChartCurveRgb = 0xFF0000FF;

// Draws `ops` with solid pens one pixel wide; texts by their top left corner in the painter's
// font and `textColor`, on a transparent background.
void PaintChart(QPainter& painter, std::span<const layout::ChartOp> ops, const QColor& textColor);

class CCharacteristicChart final : public QWidget {
 public:
  // Covers `view` whole and follows its size; positions come from the view's design scale.
  CCharacteristicChart(const layout::DesignScale& scale, QWidget* view);
  ~CCharacteristicChart() override;
  CCharacteristicChart(const CCharacteristicChart&) = delete;
  CCharacteristicChart& operator=(const CCharacteristicChart&) = delete;

  // Takes the table of `lin` to draw; the next paint of the view shows it.
  void DrawCharacteristic(const model::LinRecord& lin);
  // Shows the chart, or hides it and forgets its table, so that it shows nothing of an earlier
  // axis until the next drawing.
  void SetShown(bool shown);
  bool HasTable() const { return lin_ != nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  layout::DesignScale scale_;
  std::unique_ptr<model::LinRecord> lin_;
};

}  // namespace pages
