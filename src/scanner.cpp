#include "scanner.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

int Scanner::peek() {
    if (!has_) {
        pending_ = in_.get();
        has_ = true;
    }
    return pending_;
}

bool Scanner::skipSpace() {
    for (;;) {
        const int c = peek();
        if (c < 0) return false;
        if (!std::isspace(c)) return true;
        next();
    }
}

int Scanner::readChar() {
    const int c = peek();
    if (c >= 0) next();
    return c;
}

void Scanner::discardLine() {
    for (;;) {
        const int c = peek();
        if (c < 0) return;
        next();
        if (c == '\n') return;
    }
}

ReadStatus Scanner::readInt(int& value) {
    if (!skipSpace()) return ReadStatus::End;
    bool negative = false;
    int c = peek();
    if (c == '+' || c == '-') {
        negative = c == '-';
        next();
        c = peek();
    }
    if (c < 0 || !std::isdigit(c)) return c < 0 ? ReadStatus::End : ReadStatus::Unreadable;
    long long magnitude = 0;
    bool overflow = false;
    while (c >= 0 && std::isdigit(c)) {
        if (!overflow) {
            magnitude = magnitude * 10 + (c - '0');
            if (magnitude > static_cast<long long>(INT_MAX) + 1) overflow = true;
        }
        next();
        c = peek();
    }
    const long long v = negative ? -magnitude : magnitude;
    if (overflow || v > INT_MAX || v < INT_MIN) return ReadStatus::Unreadable;
    value = static_cast<int>(v);
    return ReadStatus::Ok;
}

namespace {
bool isHexDigit(int c) { return c >= 0 && std::isxdigit(c); }
bool isDecDigit(int c) { return c >= 0 && std::isdigit(c); }
int lower(int c) { return c >= 0 ? std::tolower(c) : c; }

// Digits of a mantissa, kept to a bounded length: digits past the limit only
// matter through whether any of them is non-zero, which a final 1 records.
class Mantissa {
public:
    void add(char digit, bool fraction) {
        if (digits_.empty() && digit == '0') {
            if (fraction) ++leadingFractionZeros_;
            return;
        }
        if (digits_.size() < kKept) {
            digits_.push_back(digit);
        } else if (digit != '0') {
            sticky_ = true;
        }
        if (!fraction) ++integerDigits_;
    }
    bool empty() const { return digits_.empty(); }
    // Position of the radix point relative to the first kept digit.
    long long pointShift() const {
        return digits_.empty() ? 0 : integerDigits_ - leadingFractionZeros_;
    }
    std::string text() const {
        std::string s(digits_.begin(), digits_.end());
        if (sticky_) s.push_back('1');
        return s;
    }

private:
    static constexpr std::size_t kKept = 800;
    std::vector<char> digits_;
    long long integerDigits_ = 0;
    long long leadingFractionZeros_ = 0;
    bool sticky_ = false;
};
}  // namespace

ReadStatus Scanner::readFloat(float& value) {
    if (!skipSpace()) return ReadStatus::End;
    std::string sign;
    int c = peek();
    if (c == '+' || c == '-') {
        sign.push_back(static_cast<char>(c));
        next();
        c = peek();
    }
    // Consumes the letters of word as long as they match; true when all did.
    auto matchWord = [&](const char* word) {
        for (const char* w = word; *w != '\0'; ++w) {
            if (lower(peek()) != *w) return false;
            next();
        }
        return true;
    };

    if (lower(c) == 'i') {
        next();
        if (!matchWord("nf")) return ReadStatus::Unreadable;
        if (lower(peek()) == 'i') {
            next();
            if (!matchWord("nity")) return ReadStatus::Unreadable;
        }
        value = std::strtof((sign + "inf").c_str(), nullptr);
        return ReadStatus::Ok;
    }
    if (lower(c) == 'n') {
        next();
        if (!matchWord("an")) return ReadStatus::Unreadable;
        if (peek() == '(') {
            next();
            for (;;) {
                const int d = peek();
                if (d == ')') {
                    next();
                    break;
                }
                if (d < 0 || !(std::isalnum(d) || d == '_')) return ReadStatus::Unreadable;
                next();
            }
        }
        value = std::strtof((sign + "nan").c_str(), nullptr);
        return ReadStatus::Ok;
    }

    bool hex = false;
    bool anyDigit = false;
    Mantissa mantissa;
    if (c == '0') {
        next();
        anyDigit = true;
        if (lower(peek()) == 'x') {
            next();
            hex = true;
            anyDigit = false;
        }
    }
    auto isDigit = [&](int d) { return hex ? isHexDigit(d) : isDecDigit(d); };
    for (c = peek(); isDigit(c); c = peek()) {
        mantissa.add(static_cast<char>(c), false);
        anyDigit = true;
        next();
    }
    if (c == '.') {
        next();
        for (c = peek(); isDigit(c); c = peek()) {
            mantissa.add(static_cast<char>(c), true);
            anyDigit = true;
            next();
        }
    }
    if (!anyDigit) return ReadStatus::Unreadable;

    long long exponent = 0;
    c = lower(peek());
    if (c == (hex ? 'p' : 'e')) {
        next();
        bool negative = false;
        c = peek();
        if (c == '+' || c == '-') {
            negative = c == '-';
            next();
            c = peek();
        }
        if (!isDecDigit(c)) return ReadStatus::Unreadable;
        for (; isDecDigit(c); c = peek()) {
            if (exponent < 1000000000LL) exponent = exponent * 10 + (c - '0');
            next();
        }
        if (negative) exponent = -exponent;
    }

    if (mantissa.empty()) {
        value = std::strtof((sign + "0").c_str(), nullptr);
        return ReadStatus::Ok;
    }
    // The value is 0.<digits> times the base to the power of the shift plus
    // the exponent; hexadecimal digits count four binary places each.
    const long long shift = mantissa.pointShift();
    const long long scaled = hex ? 4 * shift + exponent : shift + exponent;
    const std::string text = sign + (hex ? "0x0." : "0.") + mantissa.text() + (hex ? "p" : "e") +
                             std::to_string(scaled);
    value = std::strtof(text.c_str(), nullptr);
    return ReadStatus::Ok;
}
