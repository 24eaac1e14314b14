// Answers the program's prompts in tests.
//
// While a PromptScript lives, every prompt (message box or question) is
// recorded and answered from its queue of answers, in order. A prompt with no
// answer left fails the test and is answered IDCANCEL. With no PromptScript
// alive, every prompt fails the test: no test can hang on a dialog.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

struct PromptRecord {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    bool hasCaption;
    UINT flags;
};

class PromptScript {
public:
    explicit PromptScript(std::vector<int> answers = {});
    ~PromptScript();
    PromptScript(const PromptScript&) = delete;
    PromptScript& operator=(const PromptScript&) = delete;

    void Answer(int answer);                    // queues one more answer
    std::vector<PromptRecord> Prompts() const;  // every prompt seen so far
    size_t Count() const;
    PromptRecord Last() const;                  // the last prompt (empty record when none)

    // Used by the hook.
    int Take(const PromptRecord& record);

private:
    mutable CRITICAL_SECTION lock_;
    std::vector<int> answers_;   // answers still to give, front first
    std::vector<PromptRecord> seen_;
};

// Installs the failing default hook; called once by the test main.
void InstallUnexpectedPromptHook();
