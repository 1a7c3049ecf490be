#include "ChatFakes.h"
#include "TestFiles.h"

#include "app/DbReadProcess.h"
#include "app/ErrorBox.h"
#include "app/InstanceLock.h"
#include "app/ModuleMain.h"
#include "core/AppState.h"
#include "core/DiagnosticLog.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using Outcome = ModuleMain::Outcome;
Q_DECLARE_METATYPE(Outcome)

// An application folder "app" with its real lock, a fake message box and a fake database reader:
// the settings database points to the company's, or cannot be read.
struct StartUp : ErrorBox, AccessReader {
    StartUp() { QDir().mkdir(app); }
    void showError(const QString &title, const QString &text) override {
        boxes << title + ": " + text;
    }
    FirstValue readFirstValue(const QString &, const QString &table, const QString &) override {
        return table == "Aziende" ? FirstValue{true, piva} : FirstValue{piva.isValid(), company};
    }
    Outcome run(const QString &commandLine) {
        return ModuleMain({app, lock, *this, *this, [](int) {}}).Main(commandLine);
    }

    QTemporaryDir root;
    const QString app = root.filePath("app");
    const QString company = root.filePath("Ditta.mdb");
    InstanceLock lock{app};
    QVariant piva; // of the company database; invalid: the settings database is unreadable
    QStringList boxes;
};

const QString kCannotStart = QStringLiteral(". Impossibile avviare l'applicazione.");

// Start-up of the application and the helpers it shares with every module.
class TestApp : public QObject {
    Q_OBJECT
private slots:
    // setws.ini is created only when missing; the VAT number comes whole from the command line,
    // else from the company database that the settings database names.
    void startUp_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("settings"); // whether SetLKT10.mdb is there
        QTest::addColumn<QVariant>("piva");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("vatNumber");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("argument taken whole, no database read")
            << " IT 0123 " << false << QVariant() << Outcome::Continue << " IT 0123 "
            << QStringList();
        QTest::newRow("settings database missing")
            << QString() << false << QVariant() << Outcome::EndAfterError << QString()
            << QStringList{"Errore: Non è stato trovato il file delle impostazioni locali" +
                           kCannotStart};
        QTest::newRow("settings database unreadable: its box, then the empty path")
            << QString() << true << QVariant() << Outcome::EndAfterError << QString()
            << QStringList{"Brenno: Impossibile aprire il file di impostazioni.",
                           "Errore: Non è stato trovato il file database in " + kCannotStart};
        QTest::newRow("numeric PIva") << QString() << true << QVariant(qlonglong(1234567))
                                      << Outcome::Continue << "1234567" << QStringList();
    }
    void startUp() {
        QFETCH(QString, commandLine);
        QFETCH(bool, settings);
        QFETCH(QVariant, piva);
        QFETCH(Outcome, outcome);
        StartUp startUp;
        startUp.piva = piva;
        QVERIFY(!settings || writeFile(startUp.root.filePath("SetLKT10.mdb"), "settings"));
        QVERIFY(writeFile(startUp.company, "company"));
        QCOMPARE(startUp.run(commandLine), outcome);
        QTEST(AppState::instance().VatNumber, "vatNumber");
        QTEST(startUp.boxes, "boxes");
        QCOMPARE(bytesOf(startUp.app + "/setws.ini"),
                 outcome == Outcome::Continue
                     ? QByteArray("[Settings]\r\nTimer=180\r\nInputON=1\r\nOutputON=1\r\n"
                                  "Interface=0\r\nLog=0\r\nTotalSync=0\r\n")
                     : QByteArray());
    }

    // A file that crashes libmdb costs the helper alone and is unreadable; it never changes.
    void damagedDatabase() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Ditta.mdb");
        QCOMPARE(QProcess::execute(BRENNO_MDBFIXTURE,
                                   {"--damage-usage-map", path, "Aziende", "PIva:text", "x"}),
                 0);
        const QByteArray before = bytesOf(path);
        const AccessReader::FirstValue read =
            DbReadProcess().readFirstValue(path, "Aziende", "PIva");
        QVERIFY(!read.readable && read.value.isNull());
        QCOMPARE(bytesOf(path), before);
    }

    // Cut to 4 KiB, in Windows-1252, never through a link, nothing while off.
    void logEntries() {
        QTemporaryDir folder;
        const QString log = folder.filePath(QStringLiteral("Log.txt"));
        const QString outside = folder.filePath(QStringLiteral("outside.txt"));
        AppState::instance().ApplicationFolder = folder.path();
        AppState::instance().Log = true;
        QVERIFY(writeFile(outside, "outside") && QFile::link(outside, log));
        WriteLog(QStringLiteral("perso"), FakeClock());
        QVERIFY(QFile::remove(log));
        WriteLog(QStringLiteral("primo"), FakeClock());
        WriteLog(QString::fromUcs4(U"a\r\nè€“Ω\U0001F600\u0085"), FakeClock());
        WriteLog(QString(4097, u'a'), FakeClock());
        AppState::instance().Log = false;
        WriteLog(QStringLiteral("spento"), FakeClock());
        const QByteArray stamp =
            QLocale::system().toString(QDate(2024, 3, 5), QLocale::ShortFormat).toLatin1() +
            " 14:07:09- ";
        QCOMPARE(bytesOf(log), stamp + "primo\r\n" + stamp + "a\r\n\xe8\x80\x93???\r\n" + stamp +
                                   QByteArray(4096, 'a') + " ... (altri 1 byte)\r\n");
        QCOMPARE(bytesOf(outside), QByteArray("outside"));
    }
};
QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
