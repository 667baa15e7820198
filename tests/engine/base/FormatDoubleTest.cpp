#include "engine/base/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

// What the text of a double has always been: printf's %g with 15 digits, or
// 16 or 17 where fewer do not read back.
std::string printfText(double v) {
    char buf[64];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

double fromBits(std::uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

} // namespace

// Shown in every grid cell and export of a Double: the text must not change
// with the way it is computed, for any value.
TEST(FormatDouble, MatchesPrintfOnEveryKindOfValue) {
    std::mt19937_64 rng(20261208);
    int checked = 0, differ = 0;
    auto check = [&](double v) {
        if (std::isnan(v) || std::isinf(v)) return;
        ++checked;
        const std::string want = printfText(v);
        const std::string got = engine::formatDouble(v);
        if (got != want && ++differ <= 10) ADD_FAILURE() << want << ": " << got;
    };
    // Any bit pattern: tiny, huge, subnormal, 17-digit values.
    for (int i = 0; i < 300000; ++i)
        check(fromBits(rng()));
    // Values as people type them: money, measures, whole numbers, and the
    // neighbours of each, where 16 and 17 digits are needed.
    std::uniform_int_distribution<std::int64_t> whole(-100000000000LL, 100000000000LL);
    std::uniform_int_distribution<int> scale(0, 8);
    for (int i = 0; i < 300000; ++i) {
        const double v = static_cast<double>(whole(rng)) / std::pow(10.0, scale(rng));
        check(v);
        check(std::nextafter(v, 1e300));
    }
    // Where %g turns from fixed to exponent form, and the rounding that
    // carries into a new power of ten.
    for (int e = -310; e <= 308; ++e) {
        const double p = std::pow(10.0, e);
        for (double m : {1.0, 9.999999999999999, 9.9999999999999995, 1.5, 123456789012345.0})
            check(m * p);
        check(std::nextafter(p, 0.0));
        check(std::nextafter(p, 1e308));
    }
    for (double v : {0.0, -0.0, 0.1, 0.2 + 0.1, 1e15, 1e16, 1e17, 123456789012345678.0, 5e-324,
                     1.7976931348623157e308, 0.0001, 0.00001, -745680.86})
        check(v);
    EXPECT_EQ(differ, 0) << "of " << checked;
    EXPECT_EQ(engine::formatDouble(std::nan("")), "NaN");
    EXPECT_EQ(engine::formatDouble(-INFINITY), "-Infinity");
}
