#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

// Tests that read the sample files kept beside the repository (../shared).
// On a developer's clone without them such a test skips and says why; under
// CI (the variable CI set) a missing file is a failure, so a run that lost
// its sample files never passes quietly.
#define REQUIRE_SHARED_FILE(path)                                                                  \
    do {                                                                                           \
        if (!std::filesystem::exists(path)) {                                                      \
            if (std::getenv("CI")) FAIL() << "sample file missing under CI: " << (path);           \
            GTEST_SKIP() << "sample file missing: " << (path);                                     \
        }                                                                                          \
    } while (0)
