#include "RecordingErrorBox.h"
#include "TestFiles.h"
#include "app/AccessReader.h"
#include "app/AppState.h"
#include "app/InstanceGuard.h"
#include "app/ModuleMain.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

class FakeGuard : public InstanceGuard {
public:
    bool acquire() override { return alone; }
    bool alone = true;
};

// Answers from the settings table and the company table; records "file:table.column".
class FakeReader : public AccessReader {
public:
    FirstValue readFirstValue(const QString &path, const QString &table,
                              const QString &column) override {
        calls << QFileInfo(path).fileName() + ':' + table + '.' + column;
        return table == QLatin1String("impostazioni") ? settings : company;
    }
    FirstValue settings;
    FirstValue company;
    QStringList calls;
};

using Outcome = ModuleMain::Outcome;

const QByteArray kMissing = "<missing>";
const QString kCannotStart = QStringLiteral(". Impossibile avviare l'applicazione.");
const QString kCompanyMissing = QStringLiteral("Errore: Non è stato trovato il file database in ");

} // namespace

Q_DECLARE_METATYPE(Outcome)

class TestModuleMain : public QObject {
    Q_OBJECT
private slots:
    void init();
    void identity_data();
    void identity();
    void secondInstanceEndsAtOnce();
    void settingsFile_data();
    void settingsFile();
    void settingsFileThatCannotBeCreated();
    void commandLineText_data();
    void commandLineText();

private:
    Outcome runMain(const QString &commandLine);
    QString appPath(const QString &name) const { return m_appFolder + '/' + name; }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_appFolder;
    FakeGuard m_guard;
    RecordingErrorBox m_errorBox;
    FakeReader m_reader;
    QList<int> m_waits;
};

void TestModuleMain::init() {
    m_root = std::make_unique<QTemporaryDir>();
    m_appFolder = m_root->filePath(QStringLiteral("app"));
    QVERIFY(QDir().mkdir(m_appFolder));
    m_guard.alone = true;
    m_errorBox.boxes.clear();
    m_reader = FakeReader();
    m_waits.clear();
    AppState::instance() = AppState();
}

Outcome TestModuleMain::runMain(const QString &commandLine) {
    ModuleMain module({m_appFolder, m_guard, m_errorBox, m_reader,
                       [this](int milliseconds) { m_waits << milliseconds; }});
    return module.Main(commandLine);
}

// "%1" in texts stands for the folder above the application folder.
void TestModuleMain::identity_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("settingsDbExists");
    QTest::addColumn<bool>("settingsDbReadable");
    QTest::addColumn<QString>("dataPath");
    QTest::addColumn<QVariant>("piva");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("vatNumber");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("reads");

    const QStringList none;
    const QString company = QStringLiteral("%1/Ditta.mdb");
    const QStringList settingsRead{"SetLKT10.mdb:impostazioni.DataPath"};
    const QStringList bothReads = settingsRead + QStringList{"Ditta.mdb:Aziende.PIva"};
    QTest::newRow("argument taken whole, no database touched")
        << " IT 0123 " << false << false << QString() << QVariant() << Outcome::Continue
        << " IT 0123 " << none << none;
    QTest::newRow("settings database missing")
        << QString() << false << false << QString() << QVariant() << Outcome::EndAfterError
        << QString()
        << QStringList{"Errore: Non è stato trovato il file delle impostazioni locali" +
                       kCannotStart}
        << none;
    QTest::newRow("company database missing")
        << QString() << true << true << "%1/Altra.mdb" << QVariant() << Outcome::EndAfterError
        << QString() << QStringList{kCompanyMissing + "%1/Altra.mdb" + kCannotStart}
        << settingsRead;
    QTest::newRow("settings database unreadable: its box, then the empty path")
        << QString() << true << false << QString() << QVariant() << Outcome::EndAfterError
        << QString()
        << QStringList{"Brenno: Impossibile aprire il file di impostazioni.",
                       kCompanyMissing + kCannotStart}
        << settingsRead;
    QTest::newRow("VAT number from the company database")
        << QString() << true << true << company << QVariant("01234567890") << Outcome::Continue
        << "01234567890" << none << bothReads;
    QTest::newRow("numeric PIva in its text form")
        << QString() << true << true << company << QVariant(qlonglong(1234567)) << Outcome::Continue
        << "1234567" << none << bothReads;
    QTest::newRow("empty Aziende ends silently")
        << QString() << true << true << company << QVariant() << Outcome::EndSilently << QString()
        << none << bothReads;
    QTest::newRow("null PIva ends silently")
        << QString() << true << true << company << QVariant::fromValue(nullptr)
        << Outcome::EndSilently << QString() << none << bothReads;
}

void TestModuleMain::identity() {
    QFETCH(QString, commandLine);
    QFETCH(bool, settingsDbExists);
    QFETCH(bool, settingsDbReadable);
    QFETCH(QString, dataPath);
    QFETCH(QVariant, piva);
    QFETCH(Outcome, outcome);
    QFETCH(QString, vatNumber);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, reads);
    const QString above = m_root->path();
    if (settingsDbExists)
        QVERIFY(TestFiles::write(above + "/SetLKT10.mdb", "settings"));
    QVERIFY(TestFiles::write(above + "/Ditta.mdb", "company"));
    m_reader.settings = {settingsDbReadable,
                         settingsDbReadable ? QVariant(dataPath.arg(above)) : QVariant()};
    m_reader.company = {true, piva};

    QCOMPARE(runMain(commandLine), outcome);
    const AppState &state = AppState::instance();
    QCOMPARE(state.SettingsDbPath, m_appFolder + "/../SetLKT10.mdb");
    QCOMPARE(state.VatNumber, vatNumber);
    for (QString &box : boxes)
        box = box.arg(above);
    QCOMPARE(m_errorBox.boxes, boxes);
    QCOMPARE(m_reader.calls, reads);
    QCOMPARE(QFileInfo::exists(appPath("setws.ini")), outcome == Outcome::Continue);
    QCOMPARE(QFileInfo(appPath("TempImg")).isDir(), outcome == Outcome::Continue);
}

void TestModuleMain::secondInstanceEndsAtOnce() {
    m_guard.alone = false;
    QCOMPARE(runMain(QStringLiteral("IT1")), Outcome::EndSilently);
    QVERIFY(m_errorBox.boxes.isEmpty());
    QVERIFY(AppState::instance().VatNumber.isEmpty());
    QVERIFY(QDir(m_appFolder).isEmpty());
}

// setws.ini is created only when missing; a user's file and pictures are kept as they are.
void TestModuleMain::settingsFile_data() {
    QTest::addColumn<QByteArray>("before"); // "<missing>": no file
    QTest::addColumn<int>("timer");
    QTest::addColumn<QList<bool>>("flags"); // InputON, OutputON, Interface, Log, TotalSync

    const QList<bool> created{true, true, false, false, false};
    QTest::newRow("created with its defaults") << kMissing << 180 << created;
    QTest::newRow("user values, flags on only at 1")
        << QByteArray("[Settings]\r\nTimer=60\r\nInputON=0\r\nOutputON=2\r\nInterface=1\r\n"
                      "Log=1\r\nTotalSync=-1\r\n")
        << 60 << QList<bool>{false, false, true, true, false};
    QTest::newRow("missing, empty and non-numeric keys take their creation values")
        << QByteArray("[Settings]\r\nTimer=abc\r\nInputON=\r\nLog=1\r\n") << 180
        << QList<bool>{true, true, false, true, false};
    QTest::newRow("keys of another section ignored")
        << QByteArray("[Altro]\r\nLog=1\r\n[Settings]\r\nTimer=5\r\n") << 5 << created;
    QTest::newRow("timer out of range")
        << QByteArray("[Settings]\nTimer=99999999999\n") << 180 << created;
    QTest::newRow("empty file") << QByteArray() << 180 << created;
}

void TestModuleMain::settingsFile() {
    QFETCH(QByteArray, before);
    QFETCH(int, timer);
    QFETCH(QList<bool>, flags);
    const bool create = before == kMissing;
    if (!create)
        QVERIFY(TestFiles::write(appPath("setws.ini"), before));
    QVERIFY(QDir().mkdir(appPath("TempImg")));
    QVERIFY(TestFiles::write(appPath("TempImg/pic.jpg"), "jpeg"));
    QCOMPARE(runMain(QStringLiteral("IT1")), Outcome::Continue);
    QCOMPARE(TestFiles::bytesOf(appPath("TempImg/pic.jpg")), QByteArray("jpeg"));
    QCOMPARE(TestFiles::bytesOf(appPath("setws.ini")),
             create ? QByteArray("[Settings]\r\nTimer=180\r\nInputON=1\r\nOutputON=1\r\n"
                                 "Interface=0\r\nLog=0\r\nTotalSync=0\r\n")
                    : before);
    QCOMPARE(m_waits, create ? QList<int>{500} : QList<int>());
    const AppState &state = AppState::instance();
    QCOMPARE(state.Timer, timer);
    QCOMPARE(
        (QList<bool>{state.InputON, state.OutputON, state.Interface, state.Log, state.TotalSync}),
        flags);
}

void TestModuleMain::settingsFileThatCannotBeCreated() {
    QVERIFY(QDir(m_appFolder).mkdir(QStringLiteral("setws.ini")));
    QCOMPARE(runMain(QStringLiteral("IT1")), Outcome::EndAfterError);
    QCOMPARE(m_errorBox.boxes, QStringList{"Errore: File setws.ini non trovato" + kCannotStart});
    QVERIFY(QDir(appPath("setws.ini")).isEmpty());
    QVERIFY(!QFileInfo::exists(appPath("TempImg")));
}

void TestModuleMain::commandLineText_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no argument") << QStringList{"brenno"} << QString();
    QTest::newRow("one argument as given") << QStringList{"brenno", "  IT 01  "} << "  IT 01  ";
    QTest::newRow("split words joined again") << QStringList{"brenno", "IT", "01"} << "IT 01";
}

void TestModuleMain::commandLineText() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QCOMPARE(ModuleMain::commandLineText(arguments), expected);
}

QTEST_GUILESS_MAIN(TestModuleMain)
#include "tst_modulemain.moc"
