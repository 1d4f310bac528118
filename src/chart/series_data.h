#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace nimbrel {

// A Y value of at least this is a hole: not drawn, the line breaks there, and it never counts as a
// highest or lowest value.
inline constexpr double kHole = 1.0E308;
inline bool IsHole(double y) {
  return y >= kHole;
}

// Lowest and highest value of a run of points, and whether the run holds a hole.
struct CMinMax {
  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();
  bool hole = false;

  [[nodiscard]] bool Any() const { return min <= max; }
  // Without branches on the values: a pixel column's points come in no predictable order.
  void Add(double y) {
    const bool isHole = IsHole(y);
    hole = hole || isHole;
    const double low = isHole ? std::numeric_limits<double>::infinity() : y;
    const double high = isHole ? -std::numeric_limits<double>::infinity() : y;
    min = low < min ? low : min;
    max = high > max ? high : max;
  }
  void Merge(const CMinMax& other) {
    min = other.min < min ? other.min : min;
    max = other.max > max ? other.max : max;
    hole = hole || other.hole;
  }
};

// One series of the chart: X ascending (seconds after the time base) and Y. Beside the values it keeps
// min/max summaries of blocks of 16, 256, 4096, ... points, so the summary of any run costs a few dozen
// steps however long the run: a pixel column of a million-point view is summarised without visiting
// its points.
class CSeriesData {
public:
  // New X values are 0 and new Y values are holes.
  void Resize(std::size_t count);
  // Copy the first min(Size(), values.size()) values.
  void SetX(std::span<const double> values);
  void SetY(std::span<const double> values);
  // Takes `other`'s X values, of the same size, without a copy of its own: the two groups of the
  // chart plot the same times, and a year of minutes would hold them twice.
  void ShareX(const CSeriesData& other);
  [[nodiscard]] bool SameX(std::span<const double> values) const;

  [[nodiscard]] std::size_t Size() const { return x_->size(); }
  [[nodiscard]] std::span<const double> X() const { return *x_; }
  [[nodiscard]] std::span<const double> Y() const { return y_; }

  // Summary of the points [begin, end).
  [[nodiscard]] CMinMax Summary(std::size_t begin, std::size_t end) const;
  // The points to draw for the X range [x0, x1]: those inside it plus one neighbour on each side, so a
  // line runs on to the edges. Empty when the series is.
  [[nodiscard]] std::pair<std::size_t, std::size_t> VisibleRange(double x0, double x1) const;
  // Index of the point nearest to x by X (the earlier one on a tie). The series must not be empty.
  [[nodiscard]] std::size_t Nearest(double x) const;

private:
  void BuildSummaries();

  // Shared between series that plot the same times; never changed in place while shared.
  std::shared_ptr<std::vector<double>> x_ = std::make_shared<std::vector<double>>();
  std::vector<double> y_;
  // levels_[k][b] summarises points [b * 16^(k+1), (b + 1) * 16^(k+1)).
  std::vector<std::vector<CMinMax>> levels_;
};

} // namespace nimbrel
