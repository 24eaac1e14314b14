// The printing tests run on a main thread that initialised COM for the
// multithreaded apartment, as the program's start-up does (InitCom).
#include <gtest/gtest.h>

#include <objbase.h>

namespace {

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

const ::testing::Environment* const gCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

}  // namespace
