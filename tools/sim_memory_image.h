// The configuration memory a freshly unpacked simulated unit holds.
#pragma once

#include <cstdint>
#include <span>

namespace telvora {

// Fills the unit's memory: erased (0xFF) everywhere except the basic block, the number
// table and the internet block, which hold a believable installation.
void FillUnitMemory(std::span<std::uint8_t> memory);

}  // namespace telvora
