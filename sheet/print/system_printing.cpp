#include "sheet/print/system_printing.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "sheet/print/sheet_pages.h"

namespace sheet::print {
namespace {

// Paints the pages firstPage..lastPage of the job, `copies` times, on a
// printer that is set up except for its page layout.
bool paintJob(QPrinter& printer, const PrintJob& job, std::string& error) {
  SheetPages pages(*job.workbook, *job.sheet);
  if (pages.count() == 0) {
    error = "the sheet has nothing to print";
    return false;
  }
  int first = std::max(1, job.firstPage);
  int last = job.lastPage <= 0 ? pages.count() : std::min(job.lastPage, pages.count());
  if (first > last) return true;  // no page of the sheet in the range
  printer.setFullPage(true);
  printer.setPageLayout(pages.layout());
  int copies = std::max(1, job.copies);
  int repeats = 1;
  printer.setCopyCount(copies);
  printer.setCollateCopies(job.collate);
  // A device that cannot make copies itself gets every page as often as asked.
  if (!printer.supportsMultipleCopies() && copies > 1) repeats = copies;
  QPainter painter;
  if (!painter.begin(&printer)) {
    error = "the printer cannot be opened";
    return false;
  }
  bool started = false;
  auto page = [&](int index) {
    if (started) printer.newPage();
    started = true;
    pages.paint(painter, index - 1, printer.resolution());
  };
  if (job.collate) {
    for (int copy = 0; copy < repeats; ++copy)
      for (int index = first; index <= last; ++index) page(index);
  } else {
    for (int index = first; index <= last; ++index)
      for (int copy = 0; copy < repeats; ++copy) page(index);
  }
  if (!painter.end()) {
    error = "printing failed";
    return false;
  }
  return true;
}

}  // namespace

bool printToPdf(const PrintJob& job, const std::string& path, std::string& error) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(path));
  printer.setCreator(QStringLiteral("jiaxiao"));
  return paintJob(printer, job, error);
}

std::vector<std::string> SystemPrintService::printerNames() {
  std::vector<std::string> names;
  for (const QString& name : QPrinterInfo::availablePrinterNames()) names.push_back(name.toStdString());
  return names;
}

std::string SystemPrintService::defaultPrinter() { return QPrinterInfo::defaultPrinterName().toStdString(); }

bool SystemPrintService::print(const PrintJob& job, std::string& error) {
  if (!job.pdfFile.empty()) return printToPdf(job, job.pdfFile, error);
  QString name = QString::fromStdString(job.printer.empty() ? defaultPrinter() : job.printer);
  QStringList available = QPrinterInfo::availablePrinterNames();
  if (name.isEmpty() && !available.isEmpty()) name = available.front();
  if (!available.contains(name)) {
    error = "no printer named " + name.toStdString();
    return false;
  }
  QPrinter printer(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
  if (!printer.isValid()) {
    error = "the printer is not available";
    return false;
  }
  return paintJob(printer, job, error);
}

void installSystemPrintService() {
  static SystemPrintService service;
  setPrintService(&service);
}

}  // namespace sheet::print
