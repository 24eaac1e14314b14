// Fixtures of the image-file tests: a data folder of their own per test (with
// "Image\" and "Icon\", set as the program's folders), a database made from
// the test schema through the provider, and small helpers for files and
// pictures.
#pragma once

#include "images/pixels/picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace imgtest {

// A unique folder below the temporary folder with "Image\" and "Icon\"; sets
// ImageFolder and IconFolder; deleted with everything in it.
class DataFolder
{
public:
    DataFolder();
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    const std::wstring& Path() const { return path; }   // ends with a backslash
    std::wstring ImagePath(const std::wstring& name) const;  // Image\<name>.xmg
    std::wstring IconPath(const std::wstring& name) const;   // Icon\<name>.thb
    // The names of the files in a subfolder ("Image" or "Icon").
    std::vector<std::wstring> Files(const wchar_t* sub) const;

private:
    std::wstring path;
};

// A data folder and a database from site/schema.sql, opened as
// the program's data source and session.
class ImageDbTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs one statement on the program's session; fails the test on error.
    void Exec(const std::wstring& sql);
    // The first column of the first row of a query as text ("<null>" for
    // NULL, "<none>" when there is no row).
    std::wstring Scalar(const std::wstring& sql);
    long Count(const std::wstring& table);

    DataFolder* folder = nullptr;
};

std::vector<BYTE> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes);
bool Exists(const std::wstring& path);

// A picture of width x height whose pixel (x, y) is a value that differs from
// its neighbours' in both directions, below 2^bits; work = source.
DPicturePtr PatternPicture(int width, int height, int bits);
// The same pattern as a raster.
std::vector<uint16_t> PatternRaster(int width, int height, int bits);

// Loads a file through SnimokFile::Load; on a MsgExcept returns null and
// puts its text in *message.
DPicturePtr LoadFile(const std::wstring& path, bool texts, bool takeId, std::wstring* message);
// The string-table text of an id.
std::wstring StringText(unsigned id);

}  // namespace imgtest
