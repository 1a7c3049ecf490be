#include "LoopbackServer.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <QScopeGuard>

#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>

namespace {

// Guards against a client that hangs; nothing is measured against them.
constexpr int kGuardMs = 60000;
const QString kMissing = QStringLiteral("<missing>");
const QByteArray kLogOn = "[Settings]\r\nTimer=180\r\nLog=1\r\n";
const QByteArray kNotXml = "<html><body>Errore interno<br></body>";

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(1252);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QByteArray bytesOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : kMissing.toUtf8();
}

// Files of the application folder by name and their bytes.
using Files = QMap<QString, QByteArray>;

} // namespace

// The real client process, installed in a folder of its own: over damaged files it starts,
// asks the service for a ticket, handles the answer, quits cleanly when told and leaves the
// files as they were; told to quit while a service keeps it waiting, it quits.
class TestClientProcess : public QObject {
    Q_OBJECT
private slots:
    void startsAndLeavesTheFilesAlone_data();
    void startsAndLeavesTheFilesAlone();
    void quitsWhileTheFirstAnswerIsAwaited();

private:
    void write(const QString &folder, const Files &files);
    Files read(const QString &folder, const QStringList &names);
    void start(QProcess &client, const QTemporaryDir &folder, const LoopbackServer &service);
    void terminate(QProcess &client);
};

void TestClientProcess::write(const QString &folder, const Files &files) {
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile file(folder + u'/' + it.key());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(it.value()), it.value().size());
    }
}

Files TestClientProcess::read(const QString &folder, const QStringList &names) {
    Files files;
    for (const QString &name : names)
        files[name] = bytesOf(folder + u'/' + name);
    return files;
}

void TestClientProcess::startsAndLeavesTheFilesAlone_data() {
    QTest::addColumn<Files>("before");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<Files>("after");

    const QByteArray binary = randomBytes(4096);
    const QByteArray truncated = "[Settings]\r\nTimer=18";
    // Over 64000 bytes the settings file is scanned line by line.
    const QByteArray largeBinary = randomBytes(70000);
    QTest::newRow("binary setws.ini")
        << Files{{"setws.ini", binary}} << QByteArray()
        << Files{{"setws.ini", binary}, {"Log.txt", kMissing.toUtf8()}};
    QTest::newRow("setws.ini cut in the middle of a line")
        << Files{{"setws.ini", truncated}} << QByteArray()
        << Files{{"setws.ini", truncated}, {"Log.txt", kMissing.toUtf8()}};
    QTest::newRow("binary setws.ini over 64000 bytes")
        << Files{{"setws.ini", largeBinary}} << QByteArray()
        << Files{{"setws.ini", largeBinary}, {"Log.txt", kMissing.toUtf8()}};
    QTest::newRow("log on, answer not XML: the log gets the answer")
        << Files{{"setws.ini", kLogOn}} << kNotXml << Files{{"setws.ini", kLogOn}};
    QTest::newRow("TempImg a file")
        << Files{{"TempImg", binary}} << QByteArray() << Files{{"TempImg", binary}};
}

void TestClientProcess::startsAndLeavesTheFilesAlone() {
    QFETCH(Files, before);
    QFETCH(QByteArray, answer);
    QFETCH(Files, after);

    LoopbackServer service;
    service.server().Post(R"(/RovizeveReravav/sync_connector/ws_chat_due\.php)",
                          [answer](const httplib::Request &, httplib::Response &response) {
                              response.set_content(answer.toStdString(), "text/html");
                          });
    service.start();

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    write(folder.path(), before);
    QProcess client;
    start(client, folder, service);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(!service.requests().empty(), kGuardMs);
    // An unreadable answer is logged once handled; the signal must not cut the exchange short.
    if (!answer.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(bytesOf(folder.filePath("Log.txt")).contains("- XML: " + answer),
                                 kGuardMs);

    terminate(client);
    QCOMPARE(service.requests().size(), size_t(1));

    const Files found = read(folder.path(), after.keys());
    for (const QString &name : after.keys())
        QCOMPARE(found[name], after[name]);
}

void TestClientProcess::quitsWhileTheFirstAnswerIsAwaited() {
    std::mutex mutex;
    std::condition_variable released;
    bool answerNow = false;
    LoopbackServer service;
    service.server().Post(R"(/RovizeveReravav/sync_connector/ws_chat_due\.php)",
                          [&](const httplib::Request &, httplib::Response &response) {
                              std::unique_lock<std::mutex> lock(mutex);
                              released.wait(lock, [&] { return answerNow; });
                              response.set_content("", "text/xml");
                          });
    service.start();
    // The server cannot stop while its handler waits.
    const auto release = qScopeGuard([&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            answerNow = true;
        }
        released.notify_all();
    });

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcess client;
    start(client, folder, service);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(!service.requests().empty(), kGuardMs);
    terminate(client);
}

void TestClientProcess::start(QProcess &client, const QTemporaryDir &folder,
                              const LoopbackServer &service) {
    QVERIFY(QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), folder.filePath("brenno")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("BRENNO_SERVICE_URL"),
                       QString::fromStdString(service.baseUrl()));
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(folder.filePath("brenno"), {QStringLiteral("01234567890")});
    QVERIFY(client.waitForStarted(kGuardMs));
}

// SIGTERM ends the client like a session logout: the event loop ends and the exit is clean.
void TestClientProcess::terminate(QProcess &client) {
    ::kill(pid_t(client.processId()), SIGTERM);
    const bool ended = client.waitForFinished(kGuardMs);
    if (!ended) {
        client.kill();
        client.waitForFinished(kGuardMs);
    }
    QVERIFY(ended);
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestClientProcess)
#include "tst_clientprocess.moc"
