#include "FuzzText.h"
#include "core/IniGest.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// Files above this size are read by the line scan rather than the profile reader.
constexpr qsizetype kProfileReadLimit = 64000;
constexpr qsizetype kMaxProfileValue = 511;

QString iniPath() {
    static QTemporaryDir folder;
    return folder.filePath(QStringLiteral("setws.ini"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool large = input.ConsumeBool();
    const QString section = FuzzText::take(input, 24);
    const QString key = FuzzText::take(input, 24);
    QByteArray content = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());
    if (large) {
        // One long comment line pushes the file over the limit and matches no key but ";".
        content += "\r\n;" + QByteArray(kProfileReadLimit, '-') + "\r\n";
    } else {
        content.truncate(kProfileReadLimit);
    }

    QFile file(iniPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        return 0;
    file.close();

    const QString value = ReadIniValue(iniPath(), section, key);
    if (value.contains(QLatin1Char('\n')))
        __builtin_trap();
    if (!large && value.size() > kMaxProfileValue)
        __builtin_trap();
    return 0;
}
