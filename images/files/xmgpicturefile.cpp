// The picture-file functions over SnimokFile: opening an image of the image
// folder and writing a new one there.
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "images/files/datafolders.h"
#include "images/files/savefaults.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "resources/strings.h"

#include <string.h>

namespace {

// Closes a file handle when it goes out of scope.
class FileHandle
{
public:
    explicit FileHandle(HANDLE h) : h(h) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return h; }
    bool Valid() const { return h != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h;
};

[[noreturn]] void ThrowSystemText(DWORD code)
{
    throw MsgExcept(nullptr, 0, ErrorCodeText(code).c_str(), -1);
}

HANDLE OpenPictureFile(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    if (!fileName || !BuildDataFilePath(path, ImageFolder, fileName, L".xmg"))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                       nullptr);
}

void CopyFileName(DPicture* picture, const wchar_t* fileName)
{
    const size_t room = sizeof picture->fileName / sizeof picture->fileName[0];
    wcsncpy(picture->fileName, fileName, room - 1);
    picture->fileName[room - 1] = 0;
}

}  // namespace

DPicturePtr ReadPictureFile(HANDLE file, HWND owner)
{
    try {
        return SnimokFile::Load(file, false, false);
    } catch (const MsgExcept& message) {
        message.Show(owner, MB_OK | MB_SYSTEMMODAL);
        return DPicturePtr();
    }
}

DPicturePtr LoadPictureFile(const wchar_t* fileName, HWND owner)
{
    FileHandle file(OpenPictureFile(fileName));
    if (!file.Valid()) {
        MessageBoxId(owner, IDS_ERROR_OPENING_PICTURE, MB_OK);
        return DPicturePtr();
    }
    DPicturePtr picture = ReadPictureFile(file.Get(), owner);
    file.Close();
    if (picture.Get())
        CopyFileName(picture.Get(), fileName);
    return picture;
}

DPicturePtr LoadPictureFileEx(DWORD imageId, const wchar_t* fileName, HWND owner)
{
    DPicturePtr picture = LoadPictureFile(fileName, owner);
    DPicture* p = picture.Get();
    if (!p)
        return picture;
    p->imageId = imageId;
    p->stored = 1;
    if (!ReadPictureViewSettings(p) || !ReadPatientForPicture(p))
        throw 0;
    return picture;
}

bool WritePictureFile(const DPicturePtr& picture, DWORD* error)
{
    *error = 0;
    wchar_t path[MAX_PATH];
    if (!picture.Get() || !BuildDataFilePath(path, ImageFolder, picture->fileName, L".xmg")) {
        *error = picture.Get() ? GetLastError() : (DWORD)ERROR_INVALID_PARAMETER;
        return false;
    }
    if (SaveStepFails(SaveStep::CreateImageFile, error))
        return false;
    FileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) {
        *error = GetLastError();
        return false;
    }
    if (!SnimokFile::Save(picture, file.Get(), error, true)) {
        file.Close();
        if (!DeleteFileW(path))
            LogError(GetLastError(), L"Error delete snimok file");
        return false;
    }
    return true;
}

void SavePictureFile(const DPicturePtr& picture)
{
    if (!picture.Get())
        throw MsgExcept(nullptr, 0, L"Internal Error", -1);
    DWORD error = 0;
    if (!WritePictureFile(picture, &error))
        ThrowSystemText(error);
}

void SavePictureFileAs(const DPicturePtr& picture)
{
    SavePictureFile(picture);
}
