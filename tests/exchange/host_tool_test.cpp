// The host's programs as the tests run them (RunHostTool): their output comes
// back, and starting them closes no handle of the test's process. Wine hands
// back no handles of a Unix program it starts; the handles the start gives are
// left over from earlier calls, often a registry key or a file that the
// process still uses (a closed key of COM's made every later connection to the
// DICOM server fail with CO_E_CLASSSTRING).
#include "exchange_fixture.h"

#include <string>
#include <vector>

using namespace exchtest;

namespace {

// The handle values of this process that are open now (the low range, where
// a process of the tests keeps its handles).
std::vector<HANDLE> OpenHandles()
{
    std::vector<HANDLE> open;
    for (ULONG_PTR value = 4; value < 0x4000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            open.push_back(reinterpret_cast<HANDLE>(value));
    }
    return open;
}

}  // namespace

TEST(HostTool, GivesTheOutputAndClosesNoHandleOfTheCaller)
{
    // Events fill the free low values: a handle closed by mistake is likely one of them.
    std::vector<HANDLE> events;
    for (int i = 0; i < 64; ++i)
        events.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    struct Case
    {
        const char* program;
        const char* arguments;
        const char* output;
    };
    const Case cases[] = {
        {"/bin/echo", "one two", "one two\n"},
        {"/bin/sh", "-c 'echo error >&2'", "error\n"},
        {"/usr/bin/dcmftest", "/nonexistent.dcm", "no: /nonexistent.dcm\n"},
    };
    for (const Case& c : cases) {
        const std::vector<HANDLE> before = OpenHandles();
        EXPECT_EQ(c.output, RunHostTool(c.program, c.arguments)) << c.program;
        std::vector<HANDLE> closed;
        for (HANDLE h : before) {
            DWORD flags = 0;
            if (!GetHandleInformation(h, &flags))
                closed.push_back(h);
        }
        EXPECT_TRUE(closed.empty()) << c.program << " closed " << closed.size() << " handle(s), the first "
                                    << (closed.empty() ? nullptr : closed.front());
    }
    for (HANDLE e : events)
        CloseHandle(e);
}
