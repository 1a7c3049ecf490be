#include "OperatorToken.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <array>

namespace {

constexpr int kRandomWords = 8; // 32 bytes

} // namespace

namespace OperatorToken {

QByteArray create() {
    std::array<quint32, kRandomWords> words;
    QRandomGenerator::system()->fillRange(words.data(), kRandomWords);
    return QByteArray(reinterpret_cast<const char *>(words.data()), sizeof words)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool isWellFormed(const QByteArray &token) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9._~-]{16,256}$"));
    return pattern.match(QString::fromLatin1(token)).hasMatch();
}

bool matches(const QByteArray &expected, const QByteArray &given) {
    if (expected.size() != given.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>(expected[i] ^ given[i]);
    return difference == 0;
}

} // namespace OperatorToken
