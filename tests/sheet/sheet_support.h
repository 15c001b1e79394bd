// Shared pieces of the spreadsheet tests: the independent readers
// (workbook_readers.h), poppler's tools on printed PDF files, and a print
// service that prints into PDF files.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

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

// --- packages made in the test ---

using Parts = std::vector<std::pair<std::string, std::string>>;

// A zip package of these parts, each compressed as far as deflate goes.
inline std::string zipOf(const Parts& parts) {
  TempFolder folder;
  fs::path file = folder / "p.zip";
  int error = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  for (const auto& [name, bytes] : parts) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
  }
  zip_close(archive);
  return fileBytes(file);
}

// The parts of a workbook with one sheet "S" whose part is `sheetTarget`
// (relative to xl/), with a shared-string part, a styles part and defined
// names (the inside of <definedNames>) when given.
inline Parts workbookParts(const std::string& sheetXml, const std::string& sharedStrings = {},
                           const std::string& styles = {}, const std::string& definedNames = {},
                           const std::string& sheetTarget = "worksheets/sheet1.xml") {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  std::string relationships =
      "<Relationships><Relationship Id=\"s1\" Type=\"" + rel + "/worksheet\" Target=\"" + sheetTarget + "\"/>";
  if (!sharedStrings.empty())
    relationships += "<Relationship Id=\"t\" Type=\"" + rel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
  if (!styles.empty()) relationships += "<Relationship Id=\"u\" Type=\"" + rel + "/styles\" Target=\"styles.xml\"/>";
  relationships += "</Relationships>";
  Parts parts = {
      {"_rels/.rels", "<Relationships><Relationship Id=\"r\" Type=\"" + rel +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", "<workbook xmlns:r=\"" + rel +
                              "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"s1\"/></sheets><definedNames>" +
                              definedNames + "</definedNames></workbook>"},
      {"xl/_rels/workbook.xml.rels", relationships},
      {"xl/worksheets/sheet1.xml", sheetXml},
  };
  if (!sharedStrings.empty()) parts.emplace_back("xl/sharedStrings.xml", sharedStrings);
  if (!styles.empty()) parts.emplace_back("xl/styles.xml", styles);
  return parts;
}

// `times` copies of `text`.
inline std::string repeated(const std::string& text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// A few tens of kilobytes that declare more than four million empty cells.
inline std::string millionsOfCells() {
  return zipOf(workbookParts("<worksheet><sheetData>" + repeated("<row>" + repeated("<c/>", 16384) + "</row>", 260) +
                             "</sheetData></worksheet>"));
}

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
