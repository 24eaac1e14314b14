#include "app/exchangeservices.h"

#include "app/mainmenus.h"

namespace {

ExchangeServices& Table()
{
    static ExchangeServices services = {};
    return services;
}

}  // namespace

const ExchangeServices& GetExchangeServices()
{
    return Table();
}

ExchangeServices SetExchangeServices(const ExchangeServices& services)
{
    const ExchangeServices previous = Table();
    Table() = services;
    return previous;
}

DPicturePtr ImportPicture(HWND owner, DWORD patientKey, int flag)
{
    if (!Table().importImageFile) {
        ShowNotAvailableYet(owner);
        return DPicturePtr();
    }
    DPicturePtr picture = Table().importImageFile(owner, patientKey, flag);
    // A picture new to the database opens as a stored one whose row holds no
    // view centre: on the middle of the raster, not on its top-left corner.
    if (picture.Get() && !picture->stored) {
        picture->viewCentreX = picture->width / 2;
        picture->viewCentreY = picture->height / 2;
    }
    return picture;
}

void ExportPicture(HWND owner, const DPicturePtr& picture, const uint8_t* table)
{
    if (Table().exportImage)
        Table().exportImage(picture, owner, table);
    else
        ShowNotAvailableYet(owner);
}

void ShowDicomStatus(HWND owner)
{
    if (Table().showDicomQueueWindow)
        Table().showDicomQueueWindow(owner);
    else
        ShowNotAvailableYet(owner);
}

void ReleaseExchange()
{
    if (Table().release)
        Table().release();
}
