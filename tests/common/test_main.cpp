// The main of every test executable: binary standard output (so that ctest's
// test discovery reads clean lines under Wine), and prompts answered by the
// test's script or failed, never shown. Started with "--tf-child=<job>", it
// runs that job of the executable instead (common/child_jobs.h).
#include "common/child_jobs.h"
#include "common/prompt_script.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    InstallUnexpectedPromptHook();
    int childExitCode = 0;
    if (harness::RunChildJobIfAsked(argc, argv, &childExitCode))
        return childExitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
