#include "engine/sql/JetSql.h"

#include <gtest/gtest.h>

using namespace engine::sql;

TEST(Tokenizer, Placeholder) {
    EXPECT_EQ(tokenize("a").size(), 2u);
}
