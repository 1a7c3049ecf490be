#include "app/DbReadProcess.h"

#include <QCoreApplication>
#include <QProcess>

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

constexpr QLatin1String kProgramName("brenno-dbread");

// The helper's one line: "text HEX", "number HEX", "null" or "none" (HEX: UTF-8 bytes).
std::optional<QVariant> parseAnswer(const QByteArray &output) {
    if (!output.endsWith('\n') || output.count('\n') != 1)
        return std::nullopt;
    const QByteArray line = output.chopped(1);
    if (line == "none")
        return QVariant();
    if (line == "null")
        return QVariant::fromValue(nullptr);
    const qsizetype blank = line.indexOf(' ');
    const QByteArray kind = line.left(blank);
    const QByteArray hex = line.mid(blank + 1);
    if (blank < 0 || (kind != "text" && kind != "number") || hex.size() % 2 != 0 ||
        !std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)); }))
        return std::nullopt;
    const QString text = QString::fromUtf8(QByteArray::fromHex(hex));
    if (kind == "number") {
        bool whole = false;
        const qlonglong number = text.toLongLong(&whole);
        if (whole)
            return QVariant(number);
        bool ok = false;
        const double real = text.toDouble(&ok);
        return ok ? QVariant(real) : QVariant(text);
    }
    return QVariant(text);
}

} // namespace

DbReadProcess::DbReadProcess(QString program, int timeLimitMs)
    : m_program(std::move(program))
    , m_timeLimitMs(timeLimitMs) {}

QString DbReadProcess::defaultProgram() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + kProgramName;
}

AccessReader::FirstValue DbReadProcess::readFirstValue(const QString &path, const QString &table,
                                                       const QString &column) {
    QProcess helper;
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    helper.setStandardErrorFile(QProcess::nullDevice());
    const QStringList arguments =
        table.isEmpty() ? QStringList{path} : QStringList{path, table, column};
    helper.start(m_program, arguments, QIODevice::ReadOnly);
    if (!helper.waitForFinished(m_timeLimitMs)) {
        helper.kill();
        helper.waitForFinished();
        return {};
    }
    if (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0)
        return {};
    const std::optional<QVariant> value = parseAnswer(helper.readAllStandardOutput());
    if (!value)
        return {};
    return {true, *value};
}
