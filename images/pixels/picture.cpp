#include "images/pixels/picture.h"

#include <new>

PatientInfo::PatientInfo() : sex(0), birthday(), patientId(0)
{
}

void PatientInfo::SetName(int index, const wchar_t* text, int length)
{
    if (index < 0 || index >= kNames)
        return;
    // Copies of a record share their name blocks: a new name gets a block of
    // its own instead of changing the text under the other holders.
    names[index].Release();
    if (!text)
        return;
    if (length < 0)
        length = (int)wcslen(text);
    names[index].AppendN(text, length);
}

const wchar_t* PatientInfo::GetName(int index) const
{
    const wchar_t* text = index >= 0 && index < kNames ? names[index].c_str() : nullptr;
    return text ? text : L"";
}

int PatientInfo::GetNameLength(int index) const
{
    return index >= 0 && index < kNames ? names[index].Length() : 0;
}

DPicture::DPicture() : fileName(), imageDate()
{
}

DPicture::DPicture(int width, int height) : DPictureBase(width, height), fileName(), imageDate()
{
}

LONG DPicture::AddRef()
{
    return refs.AddRef();
}

LONG DPicture::Release()
{
    return refs.ReleaseAndFree([this] { delete this; });
}

void DPicture::MapRect(const RECT& in, RECT& out) const
{
    PixelRect r = {in.left, in.top, in.right, in.bottom}, mapped;
    DPictureBase::MapRect(r, mapped);
    out.left = mapped.left;
    out.top = mapped.top;
    out.right = mapped.right;
    out.bottom = mapped.bottom;
}

DPicturePtr::DPicturePtr(DPicture* p) : picture(p)
{
    if (picture)
        picture->AddRef();
}

DPicturePtr::DPicturePtr(const DPicturePtr& other) : picture(other.picture)
{
    if (picture)
        picture->AddRef();
}

DPicturePtr& DPicturePtr::operator=(const DPicturePtr& other)
{
    DPicture* old = picture;
    if (other.picture)
        other.picture->AddRef();
    picture = other.picture;
    if (old)
        old->Release();
    return *this;
}

DPicturePtr::~DPicturePtr()
{
    Reset();
}

void DPicturePtr::Reset()
{
    DPicture* old = picture;
    picture = nullptr;
    if (old)
        old->Release();
}

bool DPicturePtr::CreateNew()
{
    Reset();
    picture = new (std::nothrow) DPicture();
    return picture != nullptr;
}

bool DPicturePtr::CreateSized(int width, int height)
{
    if (!CreateNew())
        return false;
    return picture->AllocBuffers(width, height);
}
