// Removable disks for the tests: archive disks simulated with folders that
// Wine's mount manager maps to a leased drive letter (testfix::SimulatedDrive,
// tests/common/test_files.h), and the disk service stand-in on a pipe of the
// test's own, which ejects a disk by removing its drive.
#pragma once

#include "common/test_files.h"

#include <windows.h>

#include <string>

namespace extest {

// Temporary folders and leased drive letters: tests/common/test_files.h.
using testfix::SimulatedDrive;
using testfix::TempDir;
using testfix::UniqueName;

// The disk service stand-in on its own pipe, set as the pipe the client uses
// for the object's life. With a log file, the stand-in appends every request
// it reads to it (one line of hexadecimal bytes each).
class DiskService {
public:
    explicit DiskService(const std::wstring& requestLog = std::wstring());
    ~DiskService();
    DiskService(const DiskService&) = delete;
    DiskService& operator=(const DiskService&) = delete;
    bool Listening() const { return listening_; }
    const std::wstring& Pipe() const { return pipe_; }

private:
    std::wstring pipe_;
    const wchar_t* previous_ = nullptr;
    PROCESS_INFORMATION process_ = {};
    bool listening_ = false;
};

}  // namespace extest
