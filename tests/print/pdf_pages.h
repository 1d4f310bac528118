#pragma once

#include "data/data_item.h"

#include <QImage>
#include <QPdfWriter>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace nimbrel::test {

// The offscreen GUI application that fonts and painting need, made on first use.
void EnsureGuiApp();

// The print tests write PDFs at 600 dpi on pages without margins and read them back with poppler's tools.
std::unique_ptr<QPdfWriter> PdfAt(const std::filesystem::path& file, double widthMm, double heightMm,
                                  QPageLayout::Orientation orientation = QPageLayout::Portrait);

// The text of every page in drawing order, one printed line a line (`pdftotext -raw`, blanks folded).
std::vector<std::string> PdfPageTexts(const std::filesystem::path& file);

// The left and right edges, in points, of the first word `word` on page 1; {-1, -1} when absent.
std::pair<double, double> WordSpan(const std::filesystem::path& file, const std::string& word);

// Page 1 rendered by pdftoppm at `dpi`.
QImage RenderFirstPage(const std::filesystem::path& file, int dpi);

// `count` rows of 0.2 mm and 12.5 degrees, `interval` seconds apart from 2005/03/01 10:07:23.
inline CDataSeries Rows(int interval, std::uint32_t count) {
  CDataSeries s;
  s.interval = interval;
  for (std::uint32_t i = 0; i < count; ++i) {
    s.rows.push_back({0.2F, 12.5F, 162986843U + static_cast<std::uint32_t>(interval) * i});
  }
  return s;
}

} // namespace nimbrel::test
