#pragma once

#include "engine/base/EngineError.h"
#include "engine/jet/JetFile.h"
#include "support/SharedFiles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace jettest {

// The sample files live outside the repository (../shared/corpus/jet); tests
// that need them skip when they are not there (and fail under CI).
inline std::string corpusFile(const std::string& name) {
    return std::string(JET_CORPUS_DIR) + "/" + name;
}

#define JET_REQUIRE_CORPUS(name)                                                                   \
    do {                                                                                           \
        REQUIRE_SHARED_FILE(jettest::corpusFile(name));                                            \
    } while (0)

inline std::vector<std::vector<engine::Value>> allRows(const engine::jet::JetFile& f,
                                                       const std::string& table) {
    std::vector<std::vector<engine::Value>> rows;
    f.forEachRow(table, [&](const std::vector<engine::Value>& r) {
        rows.push_back(r);
        return true;
    });
    return rows;
}

// Row values as their text forms, for compact comparisons with what the
// other readers print.
inline std::vector<std::string> texts(const std::vector<engine::Value>& row) {
    std::vector<std::string> out;
    for (const auto& v : row)
        out.push_back(v.isNull() ? "<null>" : v.toText());
    return out;
}

} // namespace jettest
