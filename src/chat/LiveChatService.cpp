#include "chat/LiveChatService.h"

#include "service/DownloadFile.h"
#include "service/FileUpload.h"
#include "service/HttpExchange.h"
#include "service/LinkProbe.h"
#include "service/PictureDownloadUrl.h"
#include "service/SoapTransport.h"

QString LiveChatService::post(const QString &endpoint, const QString &envelope) {
    return PostSoapWithin(endpoint, envelope, m_soapTimeLimitMs);
}

bool LiveChatService::downloadPicture(const QString &fileName, const QString &path) {
    return DownloadFile(PictureDownloadUrl(fileName), path);
}

namespace {
constexpr int kHttpOk = 200;
} // namespace

bool LiveChatService::uploadFile(const QString &path) {
    int status = 0;
    const QString answer = UploadFile(path, &status);
    return status == kHttpOk && answer != QLatin1String(kUploadNoFileData);
}

bool LiveChatService::probeLink(const QUrl &address) {
    return ProbeLink(address);
}

bool LiveChatService::exchangeInProgress() const {
    return HttpExchange::inProgress();
}
