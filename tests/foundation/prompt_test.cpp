#include "foundation/prompt.h"

#include "common/prompt_script.h"

#include <gtest/gtest.h>

TEST(Prompt, ScriptAnswersInOrderAndRecords)
{
    PromptScript script({IDYES, IDNO});
    EXPECT_EQ(IDYES, ShowPrompt(nullptr, L"first", L"Caption", MB_YESNO));
    EXPECT_EQ(IDNO, ShowPrompt(nullptr, L"second", nullptr, MB_YESNO));
    ASSERT_EQ(2u, script.Count());
    EXPECT_EQ(L"first", script.Prompts()[0].text);
    EXPECT_EQ(L"Caption", script.Prompts()[0].caption);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ((UINT)MB_YESNO, script.Last().flags);
}
