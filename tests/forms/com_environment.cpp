// The card, lookup and filter tests reach the database from a thread that
// initialised COM for the multithreaded apartment, as the program's main
// thread does at start-up.
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
