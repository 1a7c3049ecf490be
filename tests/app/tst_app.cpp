#include "EventLoopWait.h"
#include "LoopbackServer.h"
#include "TestFiles.h"

#include "app/AccessReader.h"
#include "app/DbReadProcess.h"
#include "app/ErrorBox.h"
#include "app/InstanceLock.h"
#include "app/ModuleMain.h"
#include "core/AppState.h"
#include "core/Clock.h"
#include "core/DiagnosticLog.h"
#include "net/DownloadFile.h"
#include "session/ServiceDate.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using Outcome = ModuleMain::Outcome;
Q_DECLARE_METATYPE(Outcome)

// An application folder "app" with its real lock, a fake message box and a fake database reader.
struct StartUp : ErrorBox, AccessReader {
    StartUp() { QDir().mkdir(app); }
    void showError(const QString &title, const QString &text) override {
        boxes << title + ": " + text;
    }
    FirstValue readFirstValue(const QString &, const QString &table,
                              const QString &column) override {
        return answers.value(table + '.' + column, FirstValue{true, {}});
    }
    Outcome run(const QString &commandLine) {
        return ModuleMain({app, lock, *this, *this, [](int) {}}).Main(commandLine);
    }
    QString path(const QString &name) const { return app + '/' + name; }

    QTemporaryDir root;
    const QString app = root.filePath("app");
    InstanceLock lock{app};
    QHash<QString, FirstValue> answers; // by "table.column"
    QStringList boxes;
};

struct FixedClock : Clock {
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 9), QTime(7, 5, 3)); }
};

// Logs to folder with the clock above; gives the stamp each entry starts with.
static QByteArray logTo(const QString &folder) {
    AppState::instance().ApplicationFolder = folder;
    AppState::instance().Log = true;
    return QLocale::system().toString(QDate(2026, 3, 9), QLocale::ShortFormat).toLatin1() +
           " 07:05:03- ";
}

// The settings database SetLKT10.mdb, beside the application folder.
enum class Settings { Missing, Unreadable, PointsToCompany };
// Who answers for brenno-dbread.
enum class Reader { DbRead, DbReadOnDamagedMap, HangingHelper };
Q_DECLARE_METATYPE(Settings)
Q_DECLARE_METATYPE(Reader)

const QString kCannotStart = QStringLiteral(". Impossibile avviare l'applicazione.");

// Start-up of the application and the helpers it shares with every module.
class TestApp : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    // setws.ini is created only when missing; over 64000 bytes it is scanned for "key=" anywhere.
    void startUp_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QVariant>("piva");  // of the company database
        QTest::addColumn<QByteArray>("ini"); // setws.ini before; empty: none
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("vatNumber");
        QTest::addColumn<QStringList>("boxes");
        // Timer, InputON, OutputON, Interface, Log, TotalSync
        QTest::addColumn<QList<int>>("values");
        const QByteArray user("[settings]\ntimer = \"60,5\"\nInputON=0,6\nOutputON=1,0\n"
                              "Interface=1,4\nLog=\" 1 \"\nTotalSync=0,9999\n");
        const QByteArray large = "[Other]\r\nTimer=\"90\"\r\n;" + QByteArray(63979, 'x');
        const Settings unreadable = Settings::Unreadable;
        const QStringList none;
        QTest::newRow("argument taken whole; names in any case, decimal comma, halves to even, "
                      "flags on only at 1")
            << " IT 0123 " << unreadable << QVariant() << user << Outcome::Continue << " IT 0123 "
            << none << QList<int>{60, 0, 1, 0, 1, 0};
        QTest::newRow("64001 bytes: scanned")
            << "IT1" << unreadable << QVariant() << large << Outcome::Continue << "IT1" << none
            << QList<int>{90, 1, 1, 0, 0, 0};
        QTest::newRow("settings database missing")
            << QString() << Settings::Missing << QVariant() << QByteArray()
            << Outcome::EndAfterError << QString()
            << QStringList{"Errore: Non è stato trovato il file delle impostazioni locali" +
                           kCannotStart}
            << QList<int>();
        QTest::newRow("settings database unreadable: its box, then the empty path")
            << QString() << unreadable << QVariant() << QByteArray() << Outcome::EndAfterError
            << QString()
            << QStringList{"Brenno: Impossibile aprire il file di impostazioni.",
                           "Errore: Non è stato trovato il file database in " + kCannotStart}
            << QList<int>();
        QTest::newRow("numeric PIva; setws.ini created")
            << QString() << Settings::PointsToCompany << QVariant(qlonglong(1234567))
            << QByteArray() << Outcome::Continue << "1234567" << none
            << QList<int>{180, 1, 1, 0, 0, 0};
        QTest::newRow("null PIva ends silently")
            << QString() << Settings::PointsToCompany << QVariant::fromValue(nullptr)
            << QByteArray() << Outcome::EndSilently << QString() << none << QList<int>();
    }
    void startUp() {
        QFETCH(QString, commandLine);
        QFETCH(Settings, settings);
        QFETCH(QVariant, piva);
        QFETCH(QByteArray, ini);
        QFETCH(Outcome, outcome);
        QFETCH(QList<int>, values);
        // Values are read with the user's separators.
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        StartUp startUp;
        const QString company = startUp.root.filePath("Ditta.mdb");
        QVERIFY(settings == Settings::Missing ||
                writeFile(startUp.root.filePath("SetLKT10.mdb"), "settings"));
        QVERIFY(writeFile(company, "company"));
        QVERIFY(ini.isEmpty() || writeFile(startUp.path("setws.ini"), ini));
        startUp.answers["impostazioni.DataPath"] = settings == Settings::PointsToCompany
                                                       ? AccessReader::FirstValue{true, company}
                                                       : AccessReader::FirstValue{false, {}};
        startUp.answers["Aziende.PIva"] = {true, piva};
        QCOMPARE(startUp.run(commandLine), outcome);
        QTEST(AppState::instance().VatNumber, "vatNumber");
        QTEST(startUp.boxes, "boxes");
        QCOMPARE(bytesOf(startUp.path("setws.ini")),
                 ini.isEmpty() && outcome == Outcome::Continue
                     ? QByteArray("[Settings]\r\nTimer=180\r\nInputON=1\r\nOutputON=1\r\n"
                                  "Interface=0\r\nLog=0\r\nTotalSync=0\r\n")
                     : ini);
        QCOMPARE(QFileInfo(startUp.path("TempImg")).isDir(), outcome == Outcome::Continue);
        const AppState &s = AppState::instance();
        if (!values.isEmpty())
            QCOMPARE((QList<int>{s.Timer, s.InputON, s.OutputON, s.Interface, s.Log, s.TotalSync}),
                     values);
    }

    // The same folder spelt another way is one installation; a crash's leftover socket is no bar.
    void oneInstancePerApplicationFolder() {
        StartUp startUp;
        QVERIFY(writeFile(InstanceLock::socketPath(startUp.app), "stale"));
        InstanceLock running(startUp.app + "/./");
        int activations = 0;
        running.setActivationHandler([&activations] { ++activations; });
        QVERIFY(running.acquire());
        QCOMPARE(startUp.run("IT1"), Outcome::EndSilently);
        QVERIFY(startUp.boxes.isEmpty() && QDir(startUp.app).isEmpty());
        QTRY_COMPARE(activations, 1);
        QCOMPARE(startUp.run("IT1"), Outcome::EndSilently);
        QTRY_COMPARE(activations, 2);
    }

    // Damaged files and hanging helpers are unreadable; the file is never changed.
    void readDatabase_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("expected"); // invalid: unreadable
        QTest::addColumn<Reader>("reader");
        QTest::newRow("text, column in any case") << "piva" << QVariant("Città") << Reader::DbRead;
        QTest::newRow("null") << "Nota" << QVariant::fromValue(nullptr) << Reader::DbRead;
        QTest::newRow("usage map that crashes libmdb")
            << "PIva" << QVariant() << Reader::DbReadOnDamagedMap;
        QTest::newRow("helper hangs") << "PIva" << QVariant() << Reader::HangingHelper;
    }
    void readDatabase() {
        QFETCH(QString, column);
        QFETCH(QVariant, expected);
        QFETCH(Reader, reader);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ditta.mdb"));
        const QString helper = dir.filePath(QStringLiteral("helper.sh"));
        QStringList arguments{path, "Aziende", "PIva:text,Nota:text", "Città|\\N", "x|y"};
        if (reader == Reader::DbReadOnDamagedMap)
            arguments.prepend(QStringLiteral("--damage-usage-map"));
        QCOMPARE(QProcess::execute(QStringLiteral(BRENNO_MDBFIXTURE), arguments), 0);
        const QByteArray before = bytesOf(path);
        QVERIFY(writeFile(helper, "#!/bin/sh\nexec sleep 30\n"));
        QFile::setPermissions(helper, QFile::ReadOwner | QFile::ExeOwner);
        const AccessReader::FirstValue read =
            (reader == Reader::HangingHelper ? DbReadProcess(helper, 1000) : DbReadProcess())
                .readFirstValue(path, "Aziende", column);
        QCOMPARE(read.readable, expected.isValid());
        QCOMPARE(read.value, expected);
        QCOMPARE(bytesOf(path), before);
    }

    // Cut to 4 KiB, in Windows-1252, Log.old.txt past 10 MiB, never through a link.
    void logEntries() {
        QTemporaryDir folder;
        const QString log = folder.filePath(QStringLiteral("Log.txt"));
        const QString old = folder.filePath(QStringLiteral("Log.old.txt"));
        const QString outside = folder.filePath(QStringLiteral("outside.txt"));
        const QByteArray stamp = logTo(folder.path());
        QVERIFY(writeFile(outside, "outside") && QFile::link(outside, log));
        WriteLog(QStringLiteral("perso"), FixedClock());
        QVERIFY(QFile::remove(log) && QFile::link(outside, old));
        QVERIFY(writeFile(log, {}) && QFile::resize(log, 10 * 1024 * 1024 - 10));
        WriteLog(QStringLiteral("primo"), FixedClock());
        WriteLog(QString(), FixedClock());
        WriteLog(QString::fromUcs4(U"a\r\nè€“Ω\U0001F600\u0085"), FixedClock());
        WriteLog(QString(4097, u'a'), FixedClock());
        AppState::instance().Log = false;
        WriteLog(QStringLiteral("spento"), FixedClock());
        QCOMPARE(bytesOf(log), stamp + "primo\r\n" + stamp + "a\r\n\xe8\x80\x93???\r\n" + stamp +
                                   QByteArray(4096, 'a') + " ... (altri 1 byte)\r\n");
        QCOMPARE(QFileInfo(old).size(), 10 * 1024 * 1024 - 10);
        QCOMPARE(bytesOf(outside), QByteArray("outside"));
    }

    // A picture is never downloaded through a link planted in the application folder.
    void downloadStaysInTheFolder() {
        StartUp startUp;
        const QString outside = startUp.root.filePath("outside");
        QVERIFY(QDir().mkdir(outside) && QFile::link(outside, startUp.path("TempImg")));
        const QByteArray stamp = logTo(startUp.app);
        LoopbackServer service;
        service.server().Get("/foto", [](const httplib::Request &, httplib::Response &response) {
            response.set_content("jpeg", "image/jpeg");
        });
        service.start();
        QVERIFY(!answerOf<bool>([&](auto done) {
            DownloadFile(QString::fromStdString(service.baseUrl() + "/foto"),
                         startUp.path("TempImg/foto.jpg"), done);
        }));
        QVERIFY(QDir(outside).isEmpty());
        QCOMPARE(bytesOf(startUp.path("Log.txt")).mid(stamp.size()),
                 "Scrittura rifiutata, collegamento simbolico: " + startUp.app.toUtf8() +
                     "/TempImg/foto.jpg\r\n");
    }

    // Day first as the regional settings write it; two-digit years fall in this century.
    void serviceDate() {
        QCOMPARE(ServiceDate::parse(" 05/03/99 14:05 ", QLocale(QLocale::Italian, QLocale::Italy)),
                 QDateTime(QDate(2099, 3, 5), QTime(14, 5)));
        QVERIFY(!ServiceDate::parse("3/31/2024", QLocale::c()));
    }
};
QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
