#include "scratch.h"

#include <array>
#include <vector>

float* scratch(Slot slot, std::size_t n) {
    thread_local std::array<std::vector<float>, static_cast<std::size_t>(Slot::Count)> slots;
    auto& v = slots[static_cast<std::size_t>(slot)];
    if (v.size() < n + 1) v.resize(n + 1);
    return v.data();
}
