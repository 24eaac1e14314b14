#include "common/prompt_script.h"

#include "foundation/prompt.h"

#include <gtest/gtest.h>

namespace {

PromptScript* volatile gScript = nullptr;

std::wstring Narrowable(const wchar_t* s) { return s ? std::wstring(s) : std::wstring(); }

std::string ToUtf8(const std::wstring& w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

int TestPromptHook(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    PromptRecord record{owner, Narrowable(text), Narrowable(caption), caption != nullptr, flags};
    PromptScript* script = gScript;
    if (script)
        return script->Take(record);
    ADD_FAILURE() << "unexpected prompt: \"" << ToUtf8(record.text) << "\" caption \"" << ToUtf8(record.caption)
                  << "\"";
    return IDCANCEL;
}

}  // namespace

PromptScript::PromptScript(std::vector<int> answers) : answers_(std::move(answers))
{
    InitializeCriticalSection(&lock_);
    gScript = this;
}

PromptScript::~PromptScript()
{
    gScript = nullptr;
    DeleteCriticalSection(&lock_);
}

void PromptScript::Answer(int answer)
{
    EnterCriticalSection(&lock_);
    answers_.push_back(answer);
    LeaveCriticalSection(&lock_);
}

std::vector<PromptRecord> PromptScript::Prompts() const
{
    EnterCriticalSection(&lock_);
    std::vector<PromptRecord> copy = seen_;
    LeaveCriticalSection(&lock_);
    return copy;
}

size_t PromptScript::Count() const { return Prompts().size(); }

PromptRecord PromptScript::Last() const
{
    std::vector<PromptRecord> all = Prompts();
    return all.empty() ? PromptRecord{nullptr, L"", L"", false, 0} : all.back();
}

int PromptScript::Take(const PromptRecord& record)
{
    EnterCriticalSection(&lock_);
    seen_.push_back(record);
    bool have = !answers_.empty();
    int answer = IDCANCEL;
    if (have) {
        answer = answers_.front();
        answers_.erase(answers_.begin());
    }
    LeaveCriticalSection(&lock_);
    if (!have)
        ADD_FAILURE() << "prompt with no scripted answer: \"" << ToUtf8(record.text) << "\"";
    return answer;
}

void InstallUnexpectedPromptHook() { SetPromptHook(TestPromptHook); }
