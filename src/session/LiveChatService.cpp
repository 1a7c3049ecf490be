#include "session/LiveChatService.h"

#include "net/DownloadFile.h"
#include "net/FileUpload.h"
#include "net/HttpExchange.h"
#include "net/LinkProbe.h"
#include "net/PictureDownloadUrl.h"

namespace {
constexpr int kHttpOk = 200;
} // namespace

void LiveChatService::adopt(QObject *exchange) {
    if (exchange)
        exchange->setParent(this);
}

void LiveChatService::post(const QString &endpoint, const QString &envelope, Answer done) {
    adopt(PostSoapWithin(endpoint, envelope, m_soapTimeLimitMs, std::move(done)));
}

void LiveChatService::downloadPicture(const QString &fileName, const QString &path, Outcome done) {
    adopt(DownloadFile(PictureDownloadUrl(fileName), path, std::move(done)));
}

void LiveChatService::uploadFile(const QString &path, Progress progress, Outcome done) {
    HttpExchange *exchange = UploadFile(path, [done = std::move(done)](const UploadAnswer &answer) {
        done(answer.status == kHttpOk && answer.text != QLatin1String(kUploadNoFileData));
    });
    adopt(exchange);
    if (exchange && progress)
        connect(exchange, &HttpExchange::uploadProgress, this, std::move(progress));
}

void LiveChatService::probeLink(const QUrl &address, Outcome done) {
    adopt(ProbeLink(address, std::move(done)));
}
