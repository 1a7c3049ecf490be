#include "chat/LiveChatService.h"

#include "service/AttachmentDownload.h"
#include "service/FileUpload.h"
#include "service/HttpExchange.h"
#include "service/LinkProbe.h"
#include "service/SoapTransport.h"

QString LiveChatService::post(const QString &endpoint, const QString &envelope) {
    return PostSoapWithin(endpoint, envelope, m_soapTimeLimitMs);
}

bool LiveChatService::downloadPicture(const QString &fileName, const QString &path) {
    return DownloadFile(PictureDownloadUrl(fileName), path);
}

QString LiveChatService::uploadFile(const QString &path) {
    return UploadFile(path);
}

bool LiveChatService::probeLink(const QUrl &address) {
    return ProbeLink(address);
}

bool LiveChatService::exchangeInProgress() const {
    return HttpExchange::inProgress();
}
