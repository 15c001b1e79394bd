#include "runtime/desktop.h"

namespace rt {
namespace {
Desktop* current = nullptr;
}

Desktop& desktop() { return *current; }
void setDesktop(Desktop* d) { current = d; }
bool hasDesktop() { return current != nullptr; }

}  // namespace rt
