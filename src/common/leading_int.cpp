#include "common/leading_int.h"

#include <climits>

int ParseLeadingInt(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        // Stop growing once past the range; the digits are still consumed.
        if (value <= static_cast<long long>(INT_MAX) + 1) {
            value = value * 10 + (*p - '0');
        }
        ++p;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}
