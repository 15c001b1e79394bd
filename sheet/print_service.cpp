#include "sheet/print_service.h"

namespace sheet {
namespace {
PrintService* installed = nullptr;
}

void setPrintService(PrintService* service) { installed = service; }
PrintService* printService() { return installed; }

}  // namespace sheet
