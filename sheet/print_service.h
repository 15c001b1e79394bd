// The printing seam. The engine prints through the PrintService installed at
// start-up: the program installs the one of jx_sheet_print (Qt Print Support:
// the system's printers, or a PDF file), tests install one that prints into
// PDF files. Without one, the engine behaves as on a system without printers.
// This header has no Qt: the engine and its library stay free of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sheet/engine/workbook.h"

namespace sheet {

struct PrintJob {
  const Workbook* workbook = nullptr;
  const Worksheet* sheet = nullptr;
  // Pages of the sheet, 1-based and inclusive; `lastPage` 0 means the last one.
  int32_t firstPage = 1;
  int32_t lastPage = 0;
  int32_t copies = 1;
  bool collate = false;
  std::string printer;  // UTF-8; empty: the default printer
  std::string pdfFile;  // UTF-8; not empty: print into this PDF file instead of a printer
};

class PrintService {
 public:
  virtual ~PrintService() = default;
  // The printers of the system (UTF-8 names); empty when it has none.
  virtual std::vector<std::string> printerNames() = 0;
  // The default printer's name; empty when there is none.
  virtual std::string defaultPrinter() = 0;
  // Renders the pages of the job; false and a reason (English) when nothing
  // could be printed (an unknown printer, a file that cannot be written).
  virtual bool print(const PrintJob& job, std::string& error) = 0;
};

// The service in use (not owned; null: none). The program installs one at
// start-up; it must outlive every print call.
void setPrintService(PrintService* service);
PrintService* printService();

}  // namespace sheet
