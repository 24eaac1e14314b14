#include "exchange/imagefiles/exchangeservices.h"

#include "app/exchangeservices.h"
#include "exchange/dicom/dicomclient.h"
#include "exchange/dicom/dicomqueue.h"
#include "exchange/imagefiles/imageexport.h"
#include "exchange/imagefiles/imageimport.h"

namespace {

void ReleaseDicomClient()
{
    DicomExportClient::Instance().Shutdown();
}

}  // namespace

void InstallExchangeServices()
{
    ExchangeServices services = GetExchangeServices();
    services.importImageFile = ImportImageFile;
    services.exportImage = ExportImage;
    services.showDicomQueueWindow = ShowDicomQueueWindow;
    services.release = ReleaseDicomClient;
    SetExchangeServices(services);
}

void RemoveExchangeServices()
{
    SetExchangeServices(ExchangeServices{});
}
