#include "app/learner.h"

#include "runtime/heap.h"

namespace app::learner {

const char* nameGb(Field field) {
  static const std::array<const char*, kFieldCount> names = [] {
    std::array<const char*, kFieldCount> interned{};
    for (const Column& column : kColumns) interned[column.field] = rt::internUtf8(column.nameUtf8);
    return interned;
  }();
  return names[field];
}

}  // namespace app::learner
