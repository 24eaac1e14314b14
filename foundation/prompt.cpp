#include "foundation/prompt.h"

static PromptHook volatile gPromptHook = nullptr;

int ShowPrompt(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    PromptHook hook = gPromptHook;
    if (hook)
        return hook(owner, text, caption, flags);
    return MessageBoxW(owner, text, caption, flags);
}

PromptHook SetPromptHook(PromptHook hook)
{
    return reinterpret_cast<PromptHook>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&gPromptHook), reinterpret_cast<void*>(hook)));
}

PromptHook GetPromptHook() { return gPromptHook; }
