#include "runtime/desktop.h"

namespace rt {
namespace {
Desktop* current = nullptr;
}

int32_t Desktop::askChoice(const std::string&, const std::string&, const std::vector<std::string>&) { return -1; }

Desktop& desktop() { return *current; }
void setDesktop(Desktop* d) { current = d; }
bool hasDesktop() { return current != nullptr; }

}  // namespace rt
