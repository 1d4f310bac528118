#pragma once

namespace nimbrel {

// One axis of the chart: data values [s1, s2] onto pixels [p1, p2]. A value axis maps upwards
// (p2 above p1). Both ends map exactly, so the last point of a range lands on the last pixel.
// An empty or reversed data range is widened to [s1, s1 + 1]: a rain axis of 0 to 0 still has a
// pixel for every value, with 0 at the bottom.
class CScaleMap {
public:
  CScaleMap() = default;
  CScaleMap(double s1, double s2, double p1, double p2)
      : s1_(s1), s2_(s2 > s1 ? s2 : s1 + 1.0), p1_(p1), p2_(p2), span_(s2_ - s1_) {}

  [[nodiscard]] double ToPixel(double value) const { return p1_ + (value - s1_) / span_ * (p2_ - p1_); }
  [[nodiscard]] double ToValue(double pixel) const {
    return p2_ == p1_ ? s1_ : s1_ + (pixel - p1_) / (p2_ - p1_) * span_;
  }

  [[nodiscard]] double S1() const { return s1_; }
  [[nodiscard]] double S2() const { return s2_; }
  [[nodiscard]] double P1() const { return p1_; }
  [[nodiscard]] double P2() const { return p2_; }
  // Pixels per data unit, signed (negative on a value axis).
  [[nodiscard]] double Density() const { return (p2_ - p1_) / span_; }

private:
  double s1_ = 0.0;
  double s2_ = 1.0;
  double p1_ = 0.0;
  double p2_ = 1.0;
  double span_ = 1.0;
};

} // namespace nimbrel
