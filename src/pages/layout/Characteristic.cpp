#include "pages/layout/Characteristic.h"

#include <algorithm>
#include <cmath>

#include "pages/layout/Printf.h"

namespace pages::layout {
namespace {

// Outputs above this count as the zero point or beyond.
constexpr double kZeroOutput = -1e-8;
// A table value or output far outside -1 to 1 still lands on a pixel an int holds.
constexpr double kPixelLimit = 1e6;
// Texts of the horizontal axis stand this far left of their grid line (four narrow digits).
constexpr double kPercentShift = 4 * 0.007;

int Trunc(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

bool Finite(const model::LinRecord& lin, size_t i) {
  return std::isfinite(lin.LinTabValue[i]) && std::isfinite(lin.LinTabOutput[i]);
}

ChartOp Line(ChartPen pen, ChartPoint a, ChartPoint b) {
  return ChartOp{ChartOp::Kind::Line, pen, a, b, {}};
}
ChartOp Text(ChartPoint at, std::string text) {
  return ChartOp{ChartOp::Kind::Text, ChartPen::Axis, at, {}, std::move(text)};
}
ChartOp Mark(ChartPoint at) {
  return ChartOp{ChartOp::Kind::Mark, ChartPen::Curve, at, {}, {}};
}

}  // namespace

ChartPoint ChartFrame::At(double x, double y) const {
  return {cx + Trunc(sx * x), cy - Trunc(sy * y)};
}

ChartFrame MakeChartFrame(const DesignScale& scale, int clientLeft, int clientTop,
                          int clientRight) {
  ChartFrame f;
  f.left = clientLeft;
  f.right = clientRight;
  // Below the axis name row (design 86) down to the input row of the command panel (784), each
  // term converted on its own as the rows were.
  f.top = clientTop + scale.Px(50) + scale.Px(36);
  f.bottom = clientTop + 3 * (scale.Px(40) + 2 * scale.Px(50)) + 2 * scale.Px(70) + scale.Px(224);
  f.cx = (f.left + f.right) / 2;
  f.cy = (f.top + f.bottom) / 2;
  f.sx = static_cast<int>(std::floor(0.45 * (f.right - f.left)));
  f.sy = static_cast<int>(std::floor(0.45 * (f.bottom - f.top)));
  return f;
}

size_t ChartPoints(const model::LinRecord& lin) {
  return static_cast<size_t>(
      std::clamp<int>(lin.LinSamples, 0, static_cast<int>(model::kLinTabPoints)));
}

FullScale ComputeFullScale(const model::LinRecord& lin) {
  FullScale s;
  const size_t n = ChartPoints(lin);
  for (size_t i = 0; i < n; ++i) {
    const double v = std::fabs(lin.LinTabValue[i]);
    if (std::isfinite(v)) s.max = std::max(s.max, v);
  }
  const double m = s.max;
  s.step = m >= 10000 ? 1000 : m >= 1000 ? 100 : m >= 100 ? 10 : m >= 10 ? 1 : m >= 1 ? 0.1 : 0.01;
  s.full = s.step * std::trunc(m / s.step + 0.499999);
  return s;
}

std::string ValueLabel(double full, int k) {
  const double v = k * full / 10.0;
  if (full >= 10) return Printf("%.0f", std::trunc(k > 0 ? v + 0.5 : v - 0.5));
  // A full scale of 0 labels every line 0.0, below the axis too.
  return Printf("%3.1f", v + 0.0);
}

std::string PercentLabel(int k) {
  return Printf("%3d0", k);
}

CurveIndices FindCurve(const model::LinRecord& lin) {
  CurveIndices c;
  const size_t n = ChartPoints(lin);
  // One point makes no curve; a full scale of 0 gives no vertical position.
  if (n <= 1 || ComputeFullScale(lin).full == 0) return c;
  const auto& out = lin.LinTabOutput;
  // The zero point: past anything before the negative points, then past the negative points.
  size_t z = 0;
  while (z < n && out[z] > kZeroOutput) ++z;
  while (z < n && out[z] < kZeroOutput) ++z;
  if (z >= n || !Finite(lin, z)) return c;
  c.zero = z;
  // Each branch runs outwards while the outputs keep their order.
  double p = 0.0;
  for (size_t i = z; i < n && Finite(lin, i) && out[i] >= p; ++i) {
    c.positive.push_back(i);
    p = out[i];
  }
  p = 0.0;
  for (size_t i = z + 1; i-- > 0 && Finite(lin, i) && out[i] <= p;) {
    c.negative.push_back(i);
    p = out[i];
  }
  return c;
}

std::vector<ChartOp> PlanCharacteristic(const ChartFrame& f, const model::LinRecord& lin) {
  std::vector<ChartOp> ops;
  ops.reserve(2 + 2 + 10 * 8 + 1 + 2 * 2 * model::kLinTabPoints);
  ops.push_back(Line(ChartPen::Axis, f.At(0, 1), f.At(0, -1)));
  ops.push_back(Line(ChartPen::Axis, f.At(-1, 0), f.At(1, 0)));

  const double full = ComputeFullScale(lin).full;
  ops.push_back(Text(f.At(-1.09, 0.025), "0"));
  ops.push_back(Text(f.At(-0.035, -1.01), "   0%"));
  for (int k = 1; k <= 10; ++k) {
    const double t = k / 10.0;
    ops.push_back(Text(f.At(-1.09, t + 0.025), ValueLabel(full, k)));
    ops.push_back(Line(ChartPen::Grid, f.At(-1, t), f.At(1, t)));
    ops.push_back(Text(f.At(-1.09, 0.025 - t), ValueLabel(full, -k)));
    ops.push_back(Line(ChartPen::Grid, f.At(-1, -t), f.At(1, -t)));
    ops.push_back(Text(f.At(t - kPercentShift, -1.01), PercentLabel(k)));
    ops.push_back(Line(ChartPen::Grid, f.At(t, -1), f.At(t, 1)));
    ops.push_back(Text(f.At(-t - kPercentShift, -1.01), PercentLabel(-k)));
    ops.push_back(Line(ChartPen::Grid, f.At(-t, -1), f.At(-t, 1)));
  }

  const CurveIndices curve = FindCurve(lin);
  if (!curve.zero) return ops;
  const auto point = [&](size_t i) { return f.At(lin.LinTabOutput[i], lin.LinTabValue[i] / full); };
  ops.push_back(Mark(point(*curve.zero)));
  for (const std::vector<size_t>* branch : {&curve.positive, &curve.negative}) {
    ChartPoint from = point(*curve.zero);
    for (size_t i : *branch) {
      const ChartPoint to = point(i);
      ops.push_back(Line(ChartPen::Curve, from, to));
      ops.push_back(Mark(to));
      from = to;
    }
  }
  return ops;
}

}  // namespace pages::layout
