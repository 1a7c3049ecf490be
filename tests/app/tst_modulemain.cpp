#include "TestFiles.h"
#include "app/AccessReader.h"
#include "app/AppState.h"
#include "app/ErrorBox.h"
#include "app/InstanceLock.h"
#include "app/ModuleMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using Outcome = ModuleMain::Outcome;

// An application folder "app" in a fresh folder, with its real lock and fakes for the message
// box and the database reader; the reader answers only the two statements start-up runs.
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
        return ModuleMain({app, lock, *this, *this, [this](int ms) { waits << ms; }})
            .Main(commandLine);
    }
    QString path(const QString &name) const { return app + '/' + name; }

    QTemporaryDir root;
    const QString app = root.filePath("app");
    InstanceLock lock{app};
    QHash<QString, FirstValue> answers; // by "table.column"
    QStringList boxes;
    QList<int> waits;
};

const QString kCannotStart = QStringLiteral(". Impossibile avviare l'applicazione.");
const QString kCompanyMissing = QStringLiteral("Errore: Non è stato trovato il file database in ");

class TestModuleMain : public QObject {
    Q_OBJECT
private slots:
    void identity_data();
    void identity();
    void oneInstancePerApplicationFolder();
    void settingsFile_data();
    void settingsFile();
};

// The outcome follows from the boxes and the VAT number; "%1" stands for the folder above the
// application folder, where the business software keeps its databases.
void TestModuleMain::identity_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QVariant>("dataPath"); // invalid: no settings database; null: unreadable
    QTest::addColumn<QVariant>("piva");
    QTest::addColumn<QString>("vatNumber");
    QTest::addColumn<QStringList>("boxes");

    const QVariant missing;
    const QVariant unreadable = QVariant::fromValue(nullptr);
    const QVariant company("%1/Ditta.mdb");
    QTest::newRow("argument taken whole, no database touched")
        << " IT 0123 " << unreadable << missing << " IT 0123 " << QStringList();
    QTest::newRow("settings database missing")
        << QString() << missing << missing << QString()
        << QStringList{"Errore: Non è stato trovato il file delle impostazioni locali" +
                       kCannotStart};
    QTest::newRow("company database missing")
        << QString() << QVariant("%1/Altra.mdb") << missing << QString()
        << QStringList{kCompanyMissing + "%1/Altra.mdb" + kCannotStart};
    QTest::newRow("settings database unreadable: its box, then the empty path")
        << QString() << unreadable << missing << QString()
        << QStringList{"Brenno: Impossibile aprire il file di impostazioni.",
                       kCompanyMissing + kCannotStart};
    QTest::newRow("numeric PIva from the company database")
        << QString() << company << QVariant(qlonglong(1234567)) << "1234567" << QStringList();
    QTest::newRow("null PIva ends silently")
        << QString() << company << unreadable << QString() << QStringList();
}

void TestModuleMain::identity() {
    QFETCH(QString, commandLine);
    QFETCH(QVariant, dataPath);
    QFETCH(QVariant, piva);
    QFETCH(QString, vatNumber);
    QFETCH(QStringList, boxes);
    StartUp startUp;
    const QString above = startUp.root.path();
    QVERIFY(!dataPath.isValid() || TestFiles::write(above + "/SetLKT10.mdb", "settings"));
    QVERIFY(TestFiles::write(above + "/Ditta.mdb", "company"));
    startUp.answers["impostazioni.DataPath"] = {!dataPath.isNull(),
                                                dataPath.toString().replace("%1", above)};
    startUp.answers["Aziende.PIva"] = {true, piva};

    const Outcome expected = !boxes.isEmpty()      ? Outcome::EndAfterError
                             : vatNumber.isEmpty() ? Outcome::EndSilently
                                                   : Outcome::Continue;
    QCOMPARE(startUp.run(commandLine), expected);
    QCOMPARE(AppState::instance().SettingsDbPath, startUp.path("../SetLKT10.mdb"));
    QCOMPARE(AppState::instance().VatNumber, vatNumber);
    QCOMPARE(startUp.boxes, boxes.replaceInStrings("%1", above));
    QCOMPARE(QFileInfo::exists(startUp.path("setws.ini")), expected == Outcome::Continue);
    QCOMPARE(QFileInfo(startUp.path("TempImg")).isDir(), expected == Outcome::Continue);
}

// The same folder spelt another way is still the same installation.
void TestModuleMain::oneInstancePerApplicationFolder() {
    StartUp startUp;
    {
        InstanceLock running(startUp.app + "/./");
        QVERIFY(running.acquire());
        QCOMPARE(startUp.run("IT1"), Outcome::EndSilently);
        QVERIFY(startUp.boxes.isEmpty());
        QVERIFY(QDir(startUp.app).isEmpty());
    }
    QCOMPARE(startUp.run("IT1"), Outcome::Continue);
}

// setws.ini is created only when missing; a user's file and pictures are kept as they are.
void TestModuleMain::settingsFile_data() {
    QTest::addColumn<QByteArray>("before"); // null: no file; "<folder>": a folder in its place
    // Timer, InputON, OutputON, Interface, Log, TotalSync; none: start-up ends with a box
    QTest::addColumn<QList<int>>("values");

    const QList<int> created{180, 1, 1, 0, 0, 0};
    QTest::newRow("created with its defaults") << QByteArray() << created;
    QTest::newRow("user values, flags on only at 1")
        << QByteArray("[Settings]\nTimer=60\nInputON=0\nOutputON=2\nInterface=1\nLog=1\n"
                      "TotalSync=-1\n")
        << QList<int>{60, 0, 0, 1, 1, 0};
    QTest::newRow("missing, empty, non-numeric or too large: the creation value")
        << QByteArray("[Settings]\r\nTimer=99999999999\r\nInputON=\r\nOutputON=x\r\n") << created;
    QTest::newRow("a folder in its place: its box") << QByteArray("<folder>") << QList<int>();
}

void TestModuleMain::settingsFile() {
    QFETCH(QByteArray, before);
    QFETCH(QList<int>, values);
    StartUp startUp;
    const QString ini = startUp.path("setws.ini");
    QVERIFY(before == "<folder>" ? QDir().mkdir(ini)
                                 : before.isNull() || TestFiles::write(ini, before));
    QVERIFY(QDir(startUp.app).mkdir("TempImg"));
    QVERIFY(TestFiles::write(startUp.path("TempImg/pic.jpg"), "jpeg"));
    QCOMPARE(startUp.run("IT1"), values.isEmpty() ? Outcome::EndAfterError : Outcome::Continue);
    QCOMPARE(startUp.boxes, values.isEmpty()
                                ? QStringList{"Errore: File setws.ini non trovato" + kCannotStart}
                                : QStringList());
    QCOMPARE(TestFiles::bytesOf(startUp.path("TempImg/pic.jpg")), QByteArray("jpeg"));
    if (values.isEmpty())
        return;
    QCOMPARE(TestFiles::bytesOf(ini),
             before.isNull() ? QByteArray("[Settings]\r\nTimer=180\r\nInputON=1\r\nOutputON=1\r\n"
                                          "Interface=0\r\nLog=0\r\nTotalSync=0\r\n")
                             : before);
    QCOMPARE(startUp.waits, before.isNull() ? QList<int>{500} : QList<int>());
    const AppState &s = AppState::instance();
    QCOMPARE((QList<int>{s.Timer, s.InputON, s.OutputON, s.Interface, s.Log, s.TotalSync}), values);
}

QTEST_GUILESS_MAIN(TestModuleMain)
#include "tst_modulemain.moc"
