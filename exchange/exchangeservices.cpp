#include "exchange/exchangeservices.h"

#include "app/exchangeservices.h"
#include "exchange/dicomclient.h"
#include "exchange/dicomqueue.h"
#include "exchange/imageexport.h"
#include "exchange/imageimport.h"

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
