// Shared pieces of the spreadsheet tests: the independent readers
// (workbook_readers.h), poppler's tools on printed PDF files, and a print
// service that prints into PDF files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sheet/print/system_printing.h"
#include "sheet/print_service.h"
#include "tests/sheet/workbook_readers.h"

namespace sheettest {

namespace fs = std::filesystem;

// --- printed PDF files ---

struct PdfFacts {
  int pages = 0;
  std::vector<std::pair<double, double>> pageSizes;  // points
  std::string text;
};

inline PdfFacts pdfFacts(const fs::path& pdf) {
  PdfFacts facts;
  std::string info = run("pdfinfo -f 1 -l 999 " + shellQuoted(pdf.string()));
  std::istringstream lines(info);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("Pages:", 0) == 0) facts.pages = std::atoi(line.c_str() + 6);
    size_t at = line.find(" size:");
    if (line.rfind("Page", 0) == 0 && at != std::string::npos) {
      double w = 0, h = 0;
      if (std::sscanf(line.c_str() + at + 6, "%lf x %lf", &w, &h) == 2) facts.pageSizes.emplace_back(w, h);
    }
  }
  facts.text = run("pdftotext -layout " + shellQuoted(pdf.string()) + " -");
  return facts;
}

// A print service for tests: the printers it is given exist, and every job
// is printed into a PDF file of its own in the folder (or the job's file).
class PdfPrintService : public sheet::PrintService {
 public:
  struct Printed {
    std::string printer;  // the printer the job went to
    std::string sheet;    // the sheet's name
    int firstPage = 0, lastPage = 0, copies = 0;
    fs::path pdf;
  };

  PdfPrintService(fs::path folder, std::vector<std::string> printers, std::string defaultPrinter)
      : folder_(std::move(folder)), printers_(std::move(printers)), default_(std::move(defaultPrinter)) {}

  std::vector<std::string> printerNames() override { return printers_; }
  std::string defaultPrinter() override { return default_; }
  bool print(const sheet::PrintJob& job, std::string& error) override {
    std::string printer = job.printer.empty() ? default_ : job.printer;
    bool known = false;
    for (const auto& p : printers_) known |= p == printer;
    if (job.pdfFile.empty() && !known) {
      error = "unknown printer";
      return false;
    }
    fs::path pdf =
        job.pdfFile.empty() ? folder_ / ("print-" + std::to_string(jobs.size() + 1) + ".pdf") : fs::path(job.pdfFile);
    if (!sheet::print::printToPdf(job, pdf.string(), error)) return false;
    jobs.push_back(
        {job.pdfFile.empty() ? printer : "", job.sheet->name(), job.firstPage, job.lastPage, job.copies, pdf});
    return true;
  }

  std::vector<Printed> jobs;

 private:
  fs::path folder_;
  std::vector<std::string> printers_;
  std::string default_;
};

}  // namespace sheettest
