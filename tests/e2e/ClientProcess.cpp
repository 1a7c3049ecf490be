#include "ClientProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace {

// Bound waits on a loaded machine so that a fault ends the test; they measure nothing.
constexpr int kStartGuardMs = 30000;
constexpr int kStopGuardMs = 60000;
const QStringList kPrograms = {QStringLiteral("brenno"), QStringLiteral("brenno-dbread")};
constexpr auto kApplicationFolder = "app";
constexpr auto kErrorFile = "client-stderr.txt";

} // namespace

ClientProcess::~ClientProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kStopGuardMs);
    }
}

bool ClientProcess::start(const QString &programFolder, const QString &serviceUrl,
                          const QString &vatNumber) {
    const QString folder = applicationFolder();
    if (!m_root.isValid() || !QDir().mkpath(folder))
        return false;
    for (const QString &program : kPrograms)
        if (!QFile::copy(QDir(programFolder).filePath(program), QDir(folder).filePath(program)))
            return false;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BRENNO_SERVICE_URL"), serviceUrl);
    // The desktop is what is under test, whatever platform the caller chose for itself.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(folder);
    // A file rather than a pipe: nothing has to read it while the test waits.
    m_process.setStandardErrorFile(m_root.filePath(QLatin1String(kErrorFile)));
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QDir(folder).filePath(kPrograms.first()), {vatNumber});
    return m_process.waitForStarted(kStartGuardMs);
}

int ClientProcess::terminate() {
    m_process.terminate();
    if (!m_process.waitForFinished(kStopGuardMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString ClientProcess::applicationFolder() const {
    return m_root.filePath(QLatin1String(kApplicationFolder));
}

QString ClientProcess::errorOutput() const {
    QFile errors(m_root.filePath(QLatin1String(kErrorFile)));
    return errors.open(QIODevice::ReadOnly) ? QString::fromUtf8(errors.readAll()) : QString();
}

QList<qint64> ClientProcess::processesRunningFromFolder() const {
    const QString folder = QFileInfo(applicationFolder()).canonicalFilePath() + '/';
    QList<qint64> running;
    const QStringList processes =
        QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &process : processes) {
        const QString program = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(process));
        if (program.startsWith(folder))
            running << process.toLongLong();
    }
    return running;
}
