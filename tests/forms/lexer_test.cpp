#include "desc_test_util.h"
#include "forms/desclexer.h"

TEST(DescLexerTest, Placeholder) { SUCCEED(); }
