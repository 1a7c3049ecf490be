#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

// The real client, copied into an empty folder of its own as an installation would be.
class TestStartupProcess : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstStartCreatesSettingsAndPictureFolder();
    void existingSettingsFileUntouched();
    void secondInstanceEndsAtOnce();

private:
    void startClient(QProcess &client);
    void stopClient(QProcess &client);
    QString appPath(const QString &name) const { return m_dir->filePath(name); }
    QByteArray bytesOf(const QString &name) const { return TestFiles::bytesOf(appPath(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_client;
};

namespace {
constexpr int kStartLimitMs = 30000;
const QByteArray kCreatedSettings = "[Settings]\r\nTimer=180\r\nInputON=1\r\nOutputON=1\r\n"
                                    "Interface=0\r\nLog=0\r\nTotalSync=0\r\n";
} // namespace

void TestStartupProcess::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), appPath("brenno")));
}

void TestStartupProcess::cleanup() {
    if (m_client.state() != QProcess::NotRunning) {
        m_client.kill();
        m_client.waitForFinished();
    }
}

void TestStartupProcess::startClient(QProcess &client) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Nothing listens there: whatever polls the service gets no answer.
    environment.insert(QStringLiteral("BRENNO_SERVICE_URL"), QStringLiteral("http://127.0.0.1:9"));
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(appPath("brenno"), {QStringLiteral(" IT 01234567890")});
    QVERIFY(client.waitForStarted());
}

// SIGTERM ends the event loop like any other quit.
void TestStartupProcess::stopClient(QProcess &client) {
    QCOMPARE(client.state(), QProcess::Running);
    ::kill(pid_t(client.processId()), SIGTERM);
    QVERIFY(client.waitForFinished(kStartLimitMs));
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 0);
}

void TestStartupProcess::firstStartCreatesSettingsAndPictureFolder() {
    startClient(m_client);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(appPath("TempImg")).isDir(), kStartLimitMs);
    QCOMPARE(bytesOf("setws.ini"), kCreatedSettings);
    QVERIFY(!QFileInfo::exists(appPath("Log.txt")));
    stopClient(m_client);
}

void TestStartupProcess::existingSettingsFileUntouched() {
    const QByteArray userSettings = "[Settings]\nTimer=30\nLog=0\n; mine\n";
    QVERIFY(TestFiles::write(appPath("setws.ini"), userSettings));
    startClient(m_client);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(appPath("TempImg")).isDir(), kStartLimitMs);
    QCOMPARE(bytesOf("setws.ini"), userSettings);
    stopClient(m_client);
}

void TestStartupProcess::secondInstanceEndsAtOnce() {
    startClient(m_client);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(appPath("TempImg")).isDir(), kStartLimitMs);
    QProcess second;
    startClient(second);
    QVERIFY(second.waitForFinished(kStartLimitMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(m_client.state(), QProcess::Running);
    stopClient(m_client);
}

QTEST_GUILESS_MAIN(TestStartupProcess)
#include "tst_startupprocess.moc"
