#include "pdf_pages.h"

#include "support/child_process.h"

#include <QGuiApplication>
#include <QPageSize>

#include <regex>

namespace nimbrel::test {

void EnsureGuiApp() {
  static int argc = 1;
  static char name[] = "nimbrel-print-test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static const QGuiApplication app(argc, argv);
}

std::unique_ptr<QPdfWriter> PdfAt(const std::filesystem::path& file, double widthMm, double heightMm,
                                  QPageLayout::Orientation orientation) {
  EnsureGuiApp();
  auto writer = std::make_unique<QPdfWriter>(QString::fromStdString(file.string()));
  writer->setResolution(600);
  writer->setPageLayout(QPageLayout(QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter), orientation,
                                    QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
  return writer;
}

std::vector<std::string> PdfPageTexts(const std::filesystem::path& file) {
  const std::string text = RunChild("/usr/bin/pdftotext", {"-raw", file.string(), "-"}).out;
  std::vector<std::string> pages;
  for (std::size_t start = 0, ff = 0; (ff = text.find('\f', start)) != std::string::npos; start = ff + 1) {
    pages.push_back(text.substr(start, ff - start));
  }
  return pages;
}

std::pair<double, double> WordSpan(const std::filesystem::path& file, const std::string& word) {
  const std::string html = RunChild("/usr/bin/pdftotext", {"-bbox", "-f", "1", "-l", "1", file.string(), "-"}).out;
  const std::regex span("xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\" yMax=\"[0-9.]+\">" + word + "<");
  std::smatch m;
  return std::regex_search(html, m, span) ? std::pair(std::stod(m[1]), std::stod(m[2])) : std::pair(-1.0, -1.0);
}

QImage RenderFirstPage(const std::filesystem::path& file, int dpi) {
  const std::string prefix = file.string() + "-page";
  RunChild("/usr/bin/pdftoppm", {"-singlefile", "-png", "-r", std::to_string(dpi), file.string(), prefix});
  return QImage(QString::fromStdString(prefix + ".png"));
}

} // namespace nimbrel::test
