#include "chart/series_data.h"

#include <algorithm>

namespace nimbrel {

namespace {
constexpr std::size_t kFan = 16;
} // namespace

void CSeriesData::Resize(std::size_t count) {
  if (x_.use_count() > 1) {
    x_ = std::make_shared<std::vector<double>>(*x_); // a series that shared the old values keeps them
  }
  x_->resize(count, 0.0);
  y_.resize(count, kHole);
  BuildSummaries();
}

void CSeriesData::SetX(std::span<const double> values) {
  if (x_.use_count() > 1) {
    x_ = std::make_shared<std::vector<double>>(*x_); // the other series keeps its values
  }
  std::copy_n(values.begin(), std::min(values.size(), x_->size()), x_->begin());
}

void CSeriesData::ShareX(const CSeriesData& other) {
  if (other.Size() == Size()) {
    x_ = other.x_;
  }
}

bool CSeriesData::SameX(std::span<const double> values) const {
  return values.size() == x_->size() && std::equal(values.begin(), values.end(), x_->begin());
}

void CSeriesData::SetY(std::span<const double> values) {
  std::copy_n(values.begin(), std::min(values.size(), y_.size()), y_.begin());
  BuildSummaries();
}

void CSeriesData::BuildSummaries() {
  levels_.clear();
  std::size_t below = y_.size();
  for (int level = 0; below > 1; ++level) {
    std::vector<CMinMax> blocks((below + kFan - 1) / kFan);
    for (std::size_t i = 0; i < below; ++i) {
      if (level == 0) {
        blocks[i / kFan].Add(y_[i]);
      } else {
        blocks[i / kFan].Merge(levels_.back()[i]);
      }
    }
    below = blocks.size();
    levels_.push_back(std::move(blocks));
  }
}

CMinMax CSeriesData::Summary(std::size_t begin, std::size_t end) const {
  CMinMax out;
  end = std::min(end, y_.size());
  if (begin >= end) {
    return out;
  }
  // The points up to the first and from the last block boundary one by one, the whole blocks in
  // between from the level above, and so on upwards.
  std::size_t a = (begin + kFan - 1) / kFan * kFan;
  std::size_t b = end / kFan * kFan;
  if (levels_.empty() || a >= b) {
    for (std::size_t i = begin; i < end; ++i) {
      out.Add(y_[i]);
    }
    return out;
  }
  for (std::size_t i = begin; i < a; ++i) {
    out.Add(y_[i]);
  }
  for (std::size_t i = b; i < end; ++i) {
    out.Add(y_[i]);
  }
  a /= kFan;
  b /= kFan;
  for (std::size_t level = 0; a < b; ++level) {
    const CMinMax* blocks = levels_[level].data();
    const std::size_t a2 = (a + kFan - 1) / kFan * kFan;
    const std::size_t b2 = b / kFan * kFan;
    if (level + 1 == levels_.size() || a2 >= b2) {
      for (std::size_t i = a; i < b; ++i) {
        out.Merge(blocks[i]);
      }
      break;
    }
    for (std::size_t i = a; i < a2; ++i) {
      out.Merge(blocks[i]);
    }
    for (std::size_t i = b2; i < b; ++i) {
      out.Merge(blocks[i]);
    }
    a = a2 / kFan;
    b = b2 / kFan;
  }
  return out;
}

std::pair<std::size_t, std::size_t> CSeriesData::VisibleRange(double x0, double x1) const {
  const std::vector<double>& x = *x_;
  const auto first = std::lower_bound(x.begin(), x.end(), x0);
  const auto last = std::upper_bound(first, x.end(), x1);
  const std::size_t begin = static_cast<std::size_t>(first - x.begin());
  const std::size_t end = static_cast<std::size_t>(last - x.begin());
  return {begin > 0 ? begin - 1 : 0, end < x.size() ? end + 1 : end};
}

std::size_t CSeriesData::Nearest(double x) const {
  const std::vector<double>& xs = *x_;
  const std::size_t after = static_cast<std::size_t>(std::lower_bound(xs.begin(), xs.end(), x) - xs.begin());
  if (after == 0) {
    return 0;
  }
  if (after == xs.size()) {
    return after - 1;
  }
  return x - xs[after - 1] <= xs[after] - x ? after - 1 : after;
}

} // namespace nimbrel
