// Printing sheets with Qt Print Support: the engine's PrintService for the
// system's printers (CUPS) and PDF files. The header has no Qt, so the
// program's entry can install the service without seeing Qt.
#pragma once

#include <string>

#include "sheet/print_service.h"

namespace sheet::print {

// Renders the job's pages into a PDF file (UTF-8 path).
bool printToPdf(const PrintJob& job, const std::string& path, std::string& error);

// The system's printers: a named printer, or the default one when the job
// names none (the first printer when no default is set); a job with a PDF
// file prints into that file instead.
class SystemPrintService : public PrintService {
 public:
  std::vector<std::string> printerNames() override;
  std::string defaultPrinter() override;
  bool print(const PrintJob& job, std::string& error) override;
};

// Installs one SystemPrintService for the rest of the run (the program calls
// it at start-up).
void installSystemPrintService();

}  // namespace sheet::print
