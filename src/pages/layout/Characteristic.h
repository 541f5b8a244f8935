// The characteristic chart of the LinTab page as data: the plot frame in pixels, the full-scale
// value of the table, and every line, text and mark the chart draws, in drawing order. The Qt
// view walks the list with a painter (pages/Chart.h).
//
// The output ratio of the table runs horizontally from -1 to 1, its value vertically, scaled to
// the full-scale value. The table comes from a controller or a file: at most its 100 points are
// taken, whatever `LinSamples` says, and a point that is not a finite number ends the curve.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/LinRecord.h"
#include "pages/layout/Design.h"

namespace pages::layout {

struct ChartPoint {
  int x = 0;
  int y = 0;
  friend constexpr bool operator==(const ChartPoint&, const ChartPoint&) = default;
};

// The plot frame in pixels of the view's client area: below the axis name row down to the
// input row of the command panel, the whole width. Chart coordinates -1 to 1 cover 90 % of
// width and height, y upwards.
struct ChartFrame {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int cx = 0;
  int cy = 0;
  int sx = 0;
  int sy = 0;

  ChartPoint At(double x, double y) const;
};

ChartFrame MakeChartFrame(const DesignScale& scale, int clientLeft, int clientTop, int clientRight);

// The points of the table the chart takes: LinSamples, within 0 and 100.
size_t ChartPoints(const model::LinRecord& lin);

// The largest absolute table value m, the step s it is rounded to and the full scale F.
struct FullScale {
  double max = 0;
  double step = 0;
  double full = 0;
};
FullScale ComputeFullScale(const model::LinRecord& lin);

// The label of the value k * F / 10 (k from -10 to 10): a whole number from a full scale of 10
// on, else one decimal.
std::string ValueLabel(double full, int k);
// The label of k * 10 % on the horizontal axis: "%3d0".
std::string PercentLabel(int k);

// The curve by point index: the zero point (none when the table has no point with non-negative
// output after its negative points, or no curve is drawn) and the points of the positive and the
// negative branch, each starting at the zero point.
struct CurveIndices {
  std::optional<size_t> zero;
  std::vector<size_t> positive;
  std::vector<size_t> negative;
};
CurveIndices FindCurve(const model::LinRecord& lin);

enum class ChartPen : uint8_t { Axis, Grid, Curve };

struct ChartOp {
  enum class Kind : uint8_t { Line, Text, Mark };
  Kind kind = Kind::Line;
  ChartPen pen = ChartPen::Axis;  // of a line
  ChartPoint a;                   // a line's start, a text's top left corner, a mark's centre
  ChartPoint b;                   // a line's end
  std::string text;
};

// Everything the chart draws for `lin` in `frame`: the axes, the grid with its labels, then the
// curve with a 3 by 3 mark on every point.
std::vector<ChartOp> PlanCharacteristic(const ChartFrame& frame, const model::LinRecord& lin);

}  // namespace pages::layout
