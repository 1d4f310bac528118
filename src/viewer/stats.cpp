#include "viewer/stats.h"

#include "viewer/table_model.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace nimbrel {

double MaxIntensity(std::span<const std::uint32_t> sortedTips, std::uint32_t window, double amountPerTip) {
  if (window == 0) {
    return 0.0;
  }
  std::size_t best = 0;
  std::size_t last = 0; // one past the last tip inside the window that starts at tip i
  for (std::size_t i = 0; i < sortedTips.size(); ++i) {
    const std::uint64_t end = static_cast<std::uint64_t>(sortedTips[i]) + window;
    last = std::max(last, i);
    while (last < sortedTips.size() && sortedTips[last] < end) {
      ++last;
    }
    best = std::max(best, last - i);
  }
  return static_cast<double>(best) * amountPerTip * 3600.0 / window;
}

std::size_t CountBounces(std::span<const std::uint32_t> tipsInOrder) {
  std::size_t n = 0;
  for (std::size_t i = 1; i < tipsInOrder.size(); ++i) {
    // Times are whole seconds, so "less than 1 s after" is the same second.
    if (tipsInOrder[i] == tipsInOrder[i - 1]) {
      ++n;
    }
  }
  return n;
}

namespace {

struct CTemperatureSum {
  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();
  double sum = 0.0;
  std::size_t n = 0;
  void Add(double v) {
    min = std::min(min, v);
    max = std::max(max, v);
    sum += v;
    ++n;
  }
  void Into(CGroupStats& g) const {
    g.samples = n;
    if (n > 0) {
      g.minTemperature = min;
      g.maxTemperature = max;
      g.meanTemperature = sum / static_cast<double>(n);
    }
  }
};

void FillTips(CGroupStats& g, std::span<const std::uint32_t> inOrder, std::vector<std::uint32_t>& scratch,
              double amountPerTip) {
  g.tips = inOrder.size();
  g.rain = static_cast<double>(inOrder.size()) * amountPerTip;
  g.bounces = CountBounces(inOrder);
  scratch.assign(inOrder.begin(), inOrder.end());
  std::sort(scratch.begin(), scratch.end());
  for (std::size_t w = 0; w < kIntensityWindows.size(); ++w) {
    g.maxIntensity[w] = MaxIntensity(scratch, kIntensityWindows[w], amountPerTip);
  }
}

} // namespace

CFileStats ComputeStats(const CDataSeries& series, const CReadDetails& details) {
  CFileStats out;
  const double amountPerTip = static_cast<double>(series.resolution) * (series.unit == 1 ? kInchPerMm : 1.0);
  const std::size_t rows = series.rows.size();
  out.groups.resize(rows);

  // Tips by row, keeping record order inside each row (a counting sort).
  std::vector<std::size_t> first(rows + 1, 0);
  for (const auto& tip : details.tips) {
    if (tip.row < rows) {
      ++first[tip.row + 1];
    }
  }
  for (std::size_t r = 0; r < rows; ++r) {
    first[r + 1] += first[r];
  }
  std::vector<std::uint32_t> byRow(first.back());
  std::vector<std::size_t> fill(first.begin(), first.end() - 1);
  std::vector<std::uint32_t> all;
  all.reserve(details.tips.size());
  for (const auto& tip : details.tips) {
    all.push_back(tip.time);
    if (tip.row < rows) {
      byRow[fill[tip.row]++] = tip.time;
    }
  }

  std::vector<CTemperatureSum> temps(rows);
  CTemperatureSum allTemps;
  for (const auto& s : details.samples) {
    const std::size_t r = std::min<std::size_t>(s.row, rows == 0 ? 0 : rows - 1);
    if (s.marker) {
      ++out.whole.markerSamples;
      if (rows > 0) {
        ++out.groups[r].markerSamples;
      }
      continue;
    }
    allTemps.Add(s.value);
    if (rows > 0) {
      temps[r].Add(s.value);
    }
  }

  std::vector<std::uint32_t> scratch;
  for (std::size_t r = 0; r < rows; ++r) {
    CGroupStats& g = out.groups[r];
    g.time = series.rows[r].time;
    FillTips(g, std::span<const std::uint32_t>(byRow).subspan(first[r], first[r + 1] - first[r]), scratch,
             amountPerTip);
    temps[r].Into(g);
  }
  for (const std::uint32_t r : details.gapRows) {
    if (r < rows) {
      ++out.groups[r].gapRows;
      ++out.whole.gapRows;
    }
  }
  FillTips(out.whole, all, scratch, amountPerTip);
  allTemps.Into(out.whole);
  return out;
}

namespace {

void AppendLine(std::string& text, const char* label, const CGroupStats& g, bool csv) {
  char buf[512];
  char temps[96];
  if (g.samples > 0) {
    std::snprintf(temps, sizeof temps, csv ? "%.2f,%.2f,%.2f" : "%8.2f %8.2f %8.2f", g.minTemperature,
                  g.meanTemperature, g.maxTemperature);
  } else {
    std::snprintf(temps, sizeof temps, csv ? ",," : "%8s %8s %8s", "-", "-", "-");
  }
  const auto& i = g.maxIntensity;
  const int n =
      csv ? std::snprintf(buf, sizeof buf, "%s,%zu,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%s,%zu,%zu,%zu\n", label, g.tips,
                          g.rain, i[0], i[1], i[2], i[3], i[4], temps, g.gapRows, g.markerSamples, g.bounces)
          : std::snprintf(buf, sizeof buf, "%-20s %7zu %10.3f %8.3f %8.3f %8.3f %8.3f %8.3f %s %6zu %7zu %7zu\n", label,
                          g.tips, g.rain, i[0], i[1], i[2], i[3], i[4], temps, g.gapRows, g.markerSamples, g.bounces);
  text.append(buf, static_cast<std::size_t>(std::max(n, 0)));
}

} // namespace

std::string FormatStats(const CDataSeries& series, const CFileStats& stats, bool csv) {
  const bool inch = series.unit == 1;
  const char* rate = inch ? "in/h" : "mm/h";
  char head[512];
  if (csv) {
    std::snprintf(head, sizeof head,
                  "group,tips,rain_%s,max_5min_%s,max_10min_%s,max_15min_%s,max_30min_%s,max_60min_%s,"
                  "temp_min,temp_mean,temp_max,gap_rows,marker_samples,bounces\n",
                  inch ? "in" : "mm", rate, rate, rate, rate, rate);
  } else {
    std::snprintf(head, sizeof head,
                  "%-20s %7s %10s %8s %8s %8s %8s %8s %8s %8s %8s %6s %7s %7s\n%-20s %7s %10s %8s %8s %8s %8s %8s "
                  "%8s %8s %8s %6s %7s %7s\n",
                  "group", "tips", "rain", "max 5m", "max 10m", "max 15m", "max 30m", "max 60m", "T min", "T mean",
                  "T max", "gaps", "markers", "bounces", "", "", inch ? "[in]" : "[mm]", rate, rate, rate, rate, rate,
                  inch ? "[F]" : "[C]", inch ? "[F]" : "[C]", inch ? "[F]" : "[C]", "", "", "");
  }
  std::string text = head;
  CCellText label;
  for (const CGroupStats& g : stats.groups) {
    GroupTimeLabel(g.time, series.interval, label);
    std::string name(label.View());
    while (!name.empty() && name.back() == ' ') {
      name.pop_back();
    }
    AppendLine(text, name.c_str(), g, csv);
  }
  AppendLine(text, "ALL", stats.whole, csv);
  return text;
}

} // namespace nimbrel
