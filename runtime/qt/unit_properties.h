// ReadProperty and WriteProperty of the screen layer.
#pragma once

#include <cstdint>

namespace rt::qt {

uint64_t readProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element);
void writeProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element, uint64_t data);

}  // namespace rt::qt
