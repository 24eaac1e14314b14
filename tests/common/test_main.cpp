// The main of every test executable: binary standard output (so that ctest's
// test discovery reads clean lines under Wine), and prompts answered by the
// test's script or failed, never shown. Once the results are written the
// process ends at once: a thread a test left behind (a print monitor, a
// worker) cannot hold up its end, which ctest would only see as a time-out.
#include "common/prompt_script.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    InstallUnexpectedPromptHook();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    fflush(stdout);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
    return result;
}
