#pragma once

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

} // namespace nimbrel::test
