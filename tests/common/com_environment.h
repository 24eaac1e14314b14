// The tests of a folder that reach the database run on a main thread that
// initialised COM for the multithreaded apartment, as the program's start-up
// does (InitCom). Including this header registers the environment for the
// test executable; any number of its files may include it, it is registered
// once.
#pragma once

#include <gtest/gtest.h>

#include <objbase.h>

namespace harness {

class MultithreadedCom : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

inline const ::testing::Environment* const gMultithreadedCom =
    ::testing::AddGlobalTestEnvironment(new MultithreadedCom);

}  // namespace harness
