// The entry reader on arbitrary bytes.  The first byte chooses, bit by bit,
// readInt or readFloat for the successive entries of the rest; each entry is
// followed by readChar, which marks where the entry's text ended.  Whatever an
// entry consumed must be exactly what strtol / strtof take as one number when
// the entry reports Ok, and must not be one whole number when it reports
// Unreadable.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scanner.h"

namespace {

void check(bool ok, const char* what, const std::string& text) {
    if (ok) return;
    std::fprintf(stderr, "invariant failed: %s on \"%s\"\n", what, text.c_str());
    std::abort();
}

// Reads straight from the fuzzer's buffer, so that a read past its end is an
// address error.
class BufferInput : public Input {
public:
    BufferInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    int get() override { return pos_ < size_ ? data_[pos_++] : -1; }
    std::size_t pos() const { return pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

bool wholeLong(const std::string& text, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && static_cast<std::size_t>(end - text.c_str()) == text.size() &&
           errno == 0 && value >= INT_MIN && value <= INT_MAX;
}

bool wholeFloat(const std::string& text, float& value) {
    char* end = nullptr;
    value = std::strtof(text.c_str(), &end);
    return end != text.c_str() && static_cast<std::size_t>(end - text.c_str()) == text.size();
}

bool sameFloat(float a, float b) {
    // strtof keeps the payload of "nan(...)"; only NaN-ness and sign count.
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned selector = data[0];
    const std::uint8_t* text = data + 1;
    BufferInput in(text, size - 1);
    Scanner scan(in);

    std::size_t start = 0;
    for (unsigned op = 0;; ++op) {
        const bool isFloat = (selector >> (op % 8)) & 1u;
        int iv = 12345;
        float fv = 0.5f;
        const ReadStatus status = isFloat ? scan.readFloat(fv) : scan.readInt(iv);
        const int next = scan.readChar();
        check(in.pos() <= size - 1, "read past the end", "");
        const std::size_t end = next < 0 ? in.pos() : in.pos() - 1;
        check(end >= start, "consumed text ends before it starts", "");
        const std::string consumed(reinterpret_cast<const char*>(text) + start, end - start);
        if (status == ReadStatus::End) {
            check(next < 0, "End before the end of the input", consumed);
            break;
        }
        if (isFloat) {
            float expected;
            const bool whole = wholeFloat(consumed, expected);
            if (status == ReadStatus::Ok) {
                check(whole, "Ok, but strtof does not take the consumed text", consumed);
                check(sameFloat(fv, expected), "readFloat differs from strtof", consumed);
            } else {
                check(!whole, "Unreadable, but the consumed text is one number", consumed);
                check(fv == 0.5f, "Unreadable, but the variable changed", consumed);
            }
        } else {
            long expected;
            const bool whole = wholeLong(consumed, expected);
            if (status == ReadStatus::Ok) {
                check(whole && expected == iv, "readInt differs from strtol", consumed);
            } else {
                check(!whole, "Unreadable, but the consumed text is an int", consumed);
                check(iv == 12345, "Unreadable, but the variable changed", consumed);
            }
        }
        if (next < 0) break;
        start = in.pos();
    }
    return 0;
}
