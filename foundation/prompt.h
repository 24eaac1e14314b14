// Prompts: the one door through which every message box and question of the
// program reaches the user.
//
// Every message-box function of the program (the foundation's message boxes,
// MsgExcept::Show, the custom message box) ends in ShowPrompt. By default it
// is MessageBoxW; a test (or any unattended run) installs a hook that answers
// instead, so that no run can hang on a dialog nobody sees.
#pragma once

#include <windows.h>

// Answers one prompt: the same arguments and result as MessageBoxW. A null
// caption stands for the system's default caption.
typedef int (*PromptHook)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

// Shows the prompt through the installed hook, or MessageBoxW when none is.
// Callable from any thread.
int ShowPrompt(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

// Installs a hook (null restores MessageBoxW); returns the one it replaces.
PromptHook SetPromptHook(PromptHook hook);

// The installed hook, or null when prompts reach the real message box.
PromptHook GetPromptHook();
