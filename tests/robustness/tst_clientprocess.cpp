#include "LoopbackServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// Guards against a client that hangs; nothing is measured against them.
constexpr int kGuardMs = 60000;

// The real client process, installed in a folder of its own: over damaged files it starts, asks
// the service for a ticket, quits cleanly on SIGTERM (as at a session logout) and leaves the
// files as they were, also while the service keeps its first answer waiting.
class TestClientProcess : public QObject {
    Q_OBJECT
private slots:
    void quitsCleanlyLeavingTheFilesAlone_data();
    void quitsCleanlyLeavingTheFilesAlone();
    void sigtermEndsTheStartUpBox_data();
    void sigtermEndsTheStartUpBox();
};

// True once the process has its own SIGTERM handler (the SigCgt mask of /proc), so that the
// signal is no longer the default end of the process.
static bool catchesSigterm(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    return false;
}

void TestClientProcess::quitsCleanlyLeavingTheFilesAlone_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("answerHeld");
    const QByteArray binary = QByteArray::fromHex("00ff0d5b5d3d0a80fe1a9d").repeated(400);
    QTest::newRow("binary setws.ini") << "setws.ini" << binary << false;
    QTest::newRow("setws.ini cut mid-line")
        << "setws.ini" << QByteArray("[Settings]\r\nTimer=18") << false;
    // Over 64000 bytes the settings file is scanned line by line.
    QTest::newRow("binary setws.ini over 64000 bytes")
        << "setws.ini" << binary.repeated(20) << false;
    QTest::newRow("TempImg a file") << "TempImg" << binary << false;
    QTest::newRow("SIGTERM while the first answer is awaited")
        << "setws.ini" << QByteArray("[Settings]\r\nTimer=180\r\n") << true;
}

void TestClientProcess::quitsCleanlyLeavingTheFilesAlone() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, answerHeld);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile file(folder.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    QVERIFY(QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), folder.filePath("brenno")));

    QSemaphore answers(answerHeld ? 0 : 1);
    LoopbackServer service;
    service.server().Post(R"(/RovizeveReravav/sync_connector/ws_chat_due\.php)",
                          [&answers](const httplib::Request &, httplib::Response &response) {
                              answers.acquire();
                              response.set_content("", "text/xml");
                          });
    service.start();
    QProcess client;
    // Runs first on the way out: the server cannot stop while its handler waits.
    const auto release = qScopeGuard([&] {
        client.kill();
        client.waitForFinished(kGuardMs);
        answers.release();
    });
    qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(service.baseUrl()));
    client.start(folder.filePath("brenno"), {"01234567890"});
    QVERIFY(client.waitForStarted(kGuardMs));
    QTRY_VERIFY_WITH_TIMEOUT(!service.requests().empty(), kGuardMs);

    ::kill(pid_t(client.processId()), SIGTERM);
    QVERIFY(client.waitForFinished(kGuardMs));
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 0);
    QCOMPARE(service.requests().size(), size_t(1));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    // Damaged settings never switch the log on.
    QVERIFY(!QFile::exists(folder.filePath("Log.txt")));
}

enum class StartUpBox { SettingsFileMissing, SettingsDatabaseUnreadable };
Q_DECLARE_METATYPE(StartUpBox)

void TestClientProcess::sigtermEndsTheStartUpBox_data() {
    QTest::addColumn<StartUpBox>("box");
    QTest::newRow("setws.ini a folder: \"Errore\"") << StartUpBox::SettingsFileMissing;
    QTest::newRow("settings database unreadable: its box, then \"Errore\"")
        << StartUpBox::SettingsDatabaseUnreadable;
}

// A modal box at start-up runs its own event loop; the signal must end it and the process.
void TestClientProcess::sigtermEndsTheStartUpBox() {
    QFETCH(StartUpBox, box);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString app = root.filePath("app");
    QVERIFY(QDir().mkdir(app));
    QStringList arguments;
    if (box == StartUpBox::SettingsFileMissing) {
        QVERIFY(QDir().mkdir(app + "/setws.ini"));
        arguments << "01234567890";
    } else {
        // Without brenno-dbread beside the client no database can be read.
        QFile settings(root.filePath("SetLKT10.mdb"));
        QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write("not a database") > 0);
    }
    QVERIFY(QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), app + "/brenno"));

    QProcess client;
    const auto stop = qScopeGuard([&] {
        client.kill();
        client.waitForFinished(kGuardMs);
    });
    client.start(app + "/brenno", arguments);
    QVERIFY(client.waitForStarted(kGuardMs));
    QTRY_VERIFY_WITH_TIMEOUT(catchesSigterm(client.processId()), kGuardMs);

    ::kill(pid_t(client.processId()), SIGTERM);
    QVERIFY(client.waitForFinished(kGuardMs));
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    // As when the user dismisses the box: start-up failed.
    QCOMPARE(client.exitCode(), 1);
    QVERIFY(!QFile::exists(app + "/TempImg"));
}

QTEST_GUILESS_MAIN(TestClientProcess)
#include "tst_clientprocess.moc"
