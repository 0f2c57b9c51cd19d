// Growable working storage: a buffer that a workspace owns and reuses.
//
// A buffer grows to the largest size asked of it and then keeps its memory,
// so a worker that owns its buffers allocates nothing per iteration once the
// first iteration has run.
#pragma once

#include <cstddef>
#include <vector>

class Buffer {
public:
    // At least n floats (n <= 0 allowed), valid until the next call on this
    // buffer.  The contents are whatever the last user left.
    float* floats(int n) {
        const std::size_t size = n > 0 ? static_cast<std::size_t>(n) + 1 : 1;
        if (data_.size() < size) data_.resize(size);
        return data_.data();
    }

private:
    std::vector<float> data_;
};
