#include "LoopbackServer.h"

#include "app/AccessReader.h"
#include "app/DbReadProcess.h"
#include "app/ErrorBox.h"
#include "app/InstanceLock.h"
#include "app/ModuleMain.h"
#include "chat/ServiceDate.h"
#include "core/AppState.h"
#include "core/Clock.h"
#include "core/DiagnosticLog.h"
#include "core/IniGest.h"
#include "core/Numbers.h"
#include "service/DownloadFile.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The file's bytes; null when it cannot be read.
static QByteArray bytesOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

static bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

using Outcome = ModuleMain::Outcome;
Q_DECLARE_METATYPE(Outcome)

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
        return ModuleMain({app, lock, *this, *this, [](int) {}}).Main(commandLine);
    }
    QString path(const QString &name) const { return app + '/' + name; }

    QTemporaryDir root;
    const QString app = root.filePath("app");
    InstanceLock lock{app};
    QHash<QString, FirstValue> answers; // by "table.column"
    QStringList boxes;
};

const QString kCannotStart = QStringLiteral(". Impossibile avviare l'applicazione.");

// Start-up of the application and the helpers it shares with every module.
class TestApp : public QObject {
    Q_OBJECT
private slots:
    void identity_data();
    void identity();
    void oneInstancePerApplicationFolder();
    void settingsFile_data();
    void settingsFile();
    void readDatabase_data();
    void readDatabase();
    void fixtureReadsTheSameThroughMdbTools();
    void readIni_data();
    void readIni();
    void writeIni_data();
    void writeIni();
    void logEntries();
    void logLimits_data();
    void logLimits();
    void writesStayInTheFolder_data();
    void writesStayInTheFolder();
    void toNumberAndRound_data();
    void toNumberAndRound();
    void serviceDate_data();
    void serviceDate();

private:
    QTemporaryDir m_dir;
    const QString m_ini = m_dir.filePath(QStringLiteral("setws.ini"));
};

// The settings database SetLKT10.mdb, beside the application folder.
enum class Settings { Missing, Unreadable, PointsToCompany };
Q_DECLARE_METATYPE(Settings)

void TestApp::identity_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QVariant>("piva"); // of the company database
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("vatNumber");
    QTest::addColumn<QStringList>("boxes");

    const QVariant null = QVariant::fromValue(nullptr);
    QTest::newRow("argument taken whole, no database touched")
        << " IT 0123 " << Settings::Unreadable << QVariant() << Outcome::Continue << " IT 0123 "
        << QStringList();
    QTest::newRow("settings database missing")
        << QString() << Settings::Missing << QVariant() << Outcome::EndAfterError << QString()
        << QStringList{"Errore: Non è stato trovato il file delle impostazioni locali" +
                       kCannotStart};
    QTest::newRow("settings database unreadable: its box, then the empty path")
        << QString() << Settings::Unreadable << QVariant() << Outcome::EndAfterError << QString()
        << QStringList{"Brenno: Impossibile aprire il file di impostazioni.",
                       "Errore: Non è stato trovato il file database in " + kCannotStart};
    QTest::newRow("numeric PIva from the company database")
        << QString() << Settings::PointsToCompany << QVariant(qlonglong(1234567))
        << Outcome::Continue << "1234567" << QStringList();
    QTest::newRow("null PIva ends silently") << QString() << Settings::PointsToCompany << null
                                             << Outcome::EndSilently << QString() << QStringList();
}

void TestApp::identity() {
    QFETCH(QString, commandLine);
    QFETCH(Settings, settings);
    QFETCH(QVariant, piva);
    QFETCH(Outcome, outcome);
    StartUp startUp;
    const QString above = startUp.root.path();
    QVERIFY(settings == Settings::Missing || writeFile(above + "/SetLKT10.mdb", "settings"));
    QVERIFY(writeFile(above + "/Ditta.mdb", "company"));
    startUp.answers["impostazioni.DataPath"] =
        settings == Settings::PointsToCompany ? AccessReader::FirstValue{true, above + "/Ditta.mdb"}
                                              : AccessReader::FirstValue{false, {}};
    startUp.answers["Aziende.PIva"] = {true, piva};

    QCOMPARE(startUp.run(commandLine), outcome);
    QTEST(AppState::instance().VatNumber, "vatNumber");
    QTEST(startUp.boxes, "boxes");
    QCOMPARE(QFileInfo::exists(startUp.path("setws.ini")), outcome == Outcome::Continue);
    QCOMPARE(QFileInfo(startUp.path("TempImg")).isDir(), outcome == Outcome::Continue);
}

// The same folder spelt another way is still the same installation.
void TestApp::oneInstancePerApplicationFolder() {
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
enum class Ini { Absent, File, Folder };
Q_DECLARE_METATYPE(Ini)

void TestApp::settingsFile_data() {
    QTest::addColumn<Ini>("ini");
    QTest::addColumn<QByteArray>("before");
    // Timer, InputON, OutputON, Interface, Log, TotalSync; none: start-up ends with a box
    QTest::addColumn<QList<int>>("values");

    const QList<int> created{180, 1, 1, 0, 0, 0};
    QTest::newRow("created with its defaults") << Ini::Absent << QByteArray() << created;
    QTest::newRow("user values, flags on only at 1")
        << Ini::File
        << QByteArray("[Settings]\nTimer=60\nInputON=0\nOutputON=2\nInterface=1\nTotalSync=-1\n")
        << QList<int>{60, 0, 0, 1, 0, 0};
    QTest::newRow("flags on only at exactly 1, Timer rounded")
        << Ini::File
        << QByteArray("[Settings]\nTimer=60.6\nInputON=0.6\nOutputON=1.0\nInterface=1.4\n"
                      "Log=\" 1 \"\nTotalSync=0.9999\n")
        << QList<int>{61, 0, 1, 0, 1, 0};
    QTest::newRow("flags that would round to 1 stay off; 1e0 is 1")
        << Ini::File
        << QByteArray("[Settings]\nInputON=1\nOutputON=0.5000001\nInterface=1.49\nLog=0.6\n"
                      "TotalSync=1e0\n")
        << QList<int>{180, 1, 0, 0, 0, 1};
    QTest::newRow("missing, empty, non-numeric or too large: the creation value")
        << Ini::File << QByteArray("[Settings]\r\nTimer=99999999999\r\nInputON=\r\nOutputON=x\r\n")
        << created;
    QTest::newRow("a folder in its place: its box") << Ini::Folder << QByteArray() << QList<int>();
}

void TestApp::settingsFile() {
    QFETCH(Ini, ini);
    QFETCH(QByteArray, before);
    QFETCH(QList<int>, values);
    // Values are read with the user's separators: the point is the decimal one here.
    QLocale::setDefault(QLocale::c());
    StartUp startUp;
    const QString path = startUp.path("setws.ini");
    QVERIFY(ini == Ini::Folder ? QDir().mkdir(path)
                               : ini == Ini::Absent || writeFile(path, before));
    QVERIFY(QDir(startUp.app).mkdir("TempImg"));
    QVERIFY(writeFile(startUp.path("TempImg/pic.jpg"), "jpeg"));
    QCOMPARE(startUp.run("IT1"), values.isEmpty() ? Outcome::EndAfterError : Outcome::Continue);
    QCOMPARE(startUp.boxes, values.isEmpty()
                                ? QStringList{"Errore: File setws.ini non trovato" + kCannotStart}
                                : QStringList());
    QCOMPARE(bytesOf(startUp.path("TempImg/pic.jpg")), QByteArray("jpeg"));
    if (values.isEmpty())
        return;
    QCOMPARE(bytesOf(path),
             ini == Ini::Absent
                 ? QByteArray("[Settings]\r\nTimer=180\r\nInputON=1\r\nOutputON=1\r\n"
                              "Interface=0\r\nLog=0\r\nTotalSync=0\r\n")
                 : before);
    const AppState &s = AppState::instance();
    QCOMPARE((QList<int>{s.Timer, s.InputON, s.OutputON, s.Interface, s.Log, s.TotalSync}), values);
}

// Who answers for brenno-dbread.
enum class Reader { DbRead, DbReadOnDamagedMap, DbReadOnTruncatedFile, Script, Missing };
Q_DECLARE_METATYPE(Reader)

// Reads a file of brenno-mdbfixture (table Aziende): damaged files and helpers that crash, hang
// or answer wrongly are unreadable, and the file is never changed.
void TestApp::readDatabase_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected"); // invalid: unreadable
    QTest::addColumn<Reader>("reader");
    QTest::addColumn<QByteArray>("script"); // of a helper standing in for brenno-dbread

    const QVariant none;
    QTest::newRow("text of the first row")
        << "PIva" << QVariant("Città") << Reader::DbRead << QByteArray();
    QTest::newRow("any case, number")
        << "codice" << QVariant(qlonglong(-5)) << Reader::DbRead << QByteArray();
    QTest::newRow("null") << "Nota" << QVariant::fromValue(nullptr) << Reader::DbRead
                          << QByteArray();
    QTest::newRow("usage map that crashes libmdb")
        << "PIva" << none << Reader::DbReadOnDamagedMap << QByteArray();
    QTest::newRow("truncated") << "PIva" << none << Reader::DbReadOnTruncatedFile << QByteArray();
    QTest::newRow("helper hangs") << "PIva" << none << Reader::Script
                                  << QByteArray("exec sleep 30");
    QTest::newRow("answer, then failure")
        << "PIva" << none << Reader::Script << QByteArray("echo none; exit 3");
    QTest::newRow("no helper") << "PIva" << none << Reader::Missing << QByteArray();
}

void TestApp::readDatabase() {
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    QFETCH(Reader, reader);
    QFETCH(QByteArray, script);
    // Short, so that a hanging helper is given up quickly; nothing is timed against it.
    constexpr int kShortLimitMs = 1000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Ditta.mdb"));
    QStringList arguments{path, "Aziende", "PIva:text,Codice:long,Nota:text", "Città|-5|\\N",
                          "x|1|y"};
    if (reader == Reader::DbReadOnDamagedMap)
        arguments.prepend(QStringLiteral("--damage-usage-map"));
    QCOMPARE(QProcess::execute(QStringLiteral(BRENNO_MDBFIXTURE), arguments), 0);
    if (reader == Reader::DbReadOnTruncatedFile)
        QVERIFY(QFile::resize(path, 9000));
    const QByteArray before = bytesOf(path);
    const QString helper = dir.filePath(QStringLiteral("helper.sh"));
    if (reader == Reader::Script) {
        QVERIFY(writeFile(helper, "#!/bin/sh\n" + script + "\n"));
        QFile::setPermissions(helper, QFile::ReadOwner | QFile::ExeOwner);
    }
    const bool dbread = reader != Reader::Script && reader != Reader::Missing;
    const AccessReader::FirstValue read =
        (dbread ? DbReadProcess() : DbReadProcess(helper, kShortLimitMs))
            .readFirstValue(path, "Aziende", column);
    QCOMPARE(read.readable, expected.isValid());
    QCOMPARE(read.value.isNull(), expected.isNull());
    QCOMPARE(read.value, expected);
    QCOMPARE(bytesOf(path), before);
}

// The fixtures must be real Jet files, not files only our own reader accepts.
void TestApp::fixtureReadsTheSameThroughMdbTools() {
    const QString path = m_dir.filePath(QStringLiteral("export.mdb"));
    QCOMPARE(QProcess::execute(QStringLiteral(BRENNO_MDBFIXTURE),
                               {path, "Aziende", "PIva:text,Codice:long", "IT01|42", "\\N|-7",
                                "|\\N", "Città|0"}),
             0);
    QProcess exporter;
    exporter.start(QStringLiteral("mdb-export"), {path, "Aziende"});
    QVERIFY(exporter.waitForFinished());
    QCOMPARE(exporter.readAllStandardOutput(),
             QByteArray("PIva,Codice\n\"IT01\",42\n,-7\n,\n\"Citt\xc3\xa0\",0\n"));
}

constexpr qint64 kProfileReadLimit = 64000;

// Above the size limit the file is scanned line by line for "key=" with the value in quotes.
void TestApp::readIni_data() {
    QTest::addColumn<QString>("key"); // in the section Settings
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("padTo"); // 0: as it is; else a comment brings it to that size
    QTest::addColumn<QString>("expected");

    const QByteArray settings = "[Settings]\r\nTimer=180\r\n[Other]\r\nExtra=yes\r\n";
    QTest::newRow("names without regard to case, blanks and quotes dropped")
        << "timer" << QByteArray("[SETTINGS]\r\n  Timer  =  \"60\"  \r\n") << 0ll << "60";
    QTest::newRow("key of another section") << "Extra" << settings << 0ll << QString();
    QTest::newRow("windows-1252 bytes")
        << QStringLiteral("Città") << QByteArray("[Settings]\nCitt\xe0=Forl\xec \x80\x81\n") << 0ll
        << QStringLiteral("Forlì €\u0081");
    QTest::newRow("64000 bytes: profile call") << "Timer" << settings << kProfileReadLimit << "180";
    QTest::newRow("64001 bytes: the scan drops a character from each end")
        << "Timer" << settings << kProfileReadLimit + 1 << "8";
}

void TestApp::readIni() {
    QFETCH(QString, key);
    QFETCH(QByteArray, content);
    QFETCH(qint64, padTo);
    QFETCH(QString, expected);
    if (padTo > 0)
        content += ';' + QByteArray(padTo - content.size() - 3, 'x') + "\r\n";
    QVERIFY(writeFile(m_ini, content));
    QCOMPARE(ReadIniValue(m_ini, QStringLiteral("Settings"), key), expected);
}

// Every byte not written stays as it was; what would break the file is refused.
void TestApp::writeIni_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("write"); // section, key, value
    QTest::addColumn<QByteArray>("after");  // as before: refused

    const QByteArray keyA = "[S]\r\nA=0\r\n";
    QTest::newRow("replaced in place, blanks, order and other bytes kept")
        << QByteArray("[S]\r\nT=\x81\xff\r\nLog = 0\r\nX=0\r\n") << QStringList{"s", "log", "1"}
        << QByteArray("[S]\r\nT=\x81\xff\r\nLog = 1\r\nX=0\r\n");
    QTest::newRow("missing key after the section's last key")
        << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n") << QStringList{"S", "C", "3"}
        << QByteArray("[S]\r\nA=1\r\nC=3\r\n\r\n[T]\r\nB=2\r\n");
    QTest::newRow("missing section after a last line without line end, unix line ends kept")
        << QByteArray("[T]\nB=2") << QStringList{"S", "A", "1"}
        << QByteArray("[T]\nB=2\n[S]\nA=1\n");
    QTest::newRow("refused: line break in value")
        << keyA << QStringList{"S", "A", "1\r\nLog=1"} << keyA;
    QTest::newRow("refused: = in key") << keyA << QStringList{"S", "A=B", "1"} << keyA;
    QTest::newRow("refused: ] in section") << keyA << QStringList{"S]x", "A", "1"} << keyA;
}

void TestApp::writeIni() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, write);
    QFETCH(QByteArray, after);
    QVERIFY(writeFile(m_ini, before));
    QCOMPARE(WriteIniValue(m_ini, write[0], write[1], write[2]) != 0, after != before);
    QCOMPARE(bytesOf(m_ini), after);
}

struct FixedClock : Clock {
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 9), QTime(7, 5, 3)); }
};

// Entries in call order, one ? for each character windows-1252 lacks; an entry that cannot be
// written is lost alone; nothing is written for an empty text or while the log is off.
void TestApp::logEntries() {
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("Log.txt"));
    AppState::instance().ApplicationFolder = folder.path();
    AppState::instance().Log = true;
    QVERIFY(QDir().mkdir(log));
    WriteLog(QStringLiteral("perso"), FixedClock());
    QVERIFY(QDir().rmdir(log));
    WriteLog(QStringLiteral("primo"), FixedClock());
    WriteLog(QString(), FixedClock());
    WriteLog(QString::fromUcs4(U"a\r\nè€“Ω\U0001F600\u0085"), FixedClock());
    AppState::instance().Log = false;
    WriteLog(QStringLiteral("spento"), FixedClock());
    const QByteArray stamp =
        QLocale::system().toString(QDate(2026, 3, 9), QLocale::ShortFormat).toLatin1() +
        " 07:05:03- ";
    QCOMPARE(bytesOf(log), stamp + "primo\r\n" + stamp + "a\r\n\xe8\x80\x93???\r\n");
}

// The entry texts of a log file, without their time stamps; none for a link.
static QStringList entriesOf(const QString &path) {
    if (QFileInfo(path).isSymLink())
        return {};
    QStringList entries;
    for (const QByteArray &line : bytesOf(path).split('\n')) {
        if (line.endsWith('\r'))
            entries << QString::fromLatin1(line.mid(line.indexOf("- ") + 2).chopped(1));
    }
    return entries;
}

constexpr qint64 kMiB = 1024 * 1024;

// A service can answer megabytes of junk as fast as it likes: an entry keeps its first 4 KiB and
// says how much it left out, and Log.txt becomes Log.old.txt (replacing the older one) before
// an entry would take it past 10 MiB.
void TestApp::logLimits_data() {
    QTest::addColumn<qint64>("before");    // bytes already in Log.txt
    QTest::addColumn<qint64>("textBytes"); // of the entry written
    QTest::addColumn<QByteArray>("entry"); // as Log.txt holds it afterwards
    QTest::addColumn<bool>("rotated");

    const QByteArray kept(4096, 'a');
    QTest::newRow("4096 bytes kept whole") << 0ll << 4096ll << kept << false;
    QTest::newRow("4097 bytes: one left out")
        << 0ll << 4097ll << kept + " ... (altri 1 byte)" << false;
    QTest::newRow("15 MB answer: its first 4 KiB")
        << 0ll << 15000000ll << kept + " ... (altri 14995904 byte)" << false;
    QTest::newRow("an entry that fits under 10 MiB is appended")
        << 10 * kMiB - 100 << 5ll << QByteArray("aaaaa") << false;
    QTest::newRow("an entry that would pass 10 MiB starts a new Log.txt")
        << 10 * kMiB - 10 << 5ll << QByteArray("aaaaa") << true;
}

void TestApp::logLimits() {
    QFETCH(qint64, before);
    QFETCH(qint64, textBytes);
    QFETCH(QByteArray, entry);
    QFETCH(bool, rotated);
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("Log.txt"));
    const QString old = folder.filePath(QStringLiteral("Log.old.txt"));
    AppState::instance().ApplicationFolder = folder.path();
    AppState::instance().Log = true;
    QVERIFY(writeFile(old, "vecchio"));
    QVERIFY(writeFile(log, {}) && QFile::resize(log, before));
    WriteLog(QString(textBytes, u'a'), FixedClock());

    QCOMPARE(QFileInfo(old).size(), rotated ? before : 7);
    QCOMPARE(entriesOf(log).constLast().toLatin1(), entry);
    const qint64 stampBytes = QFileInfo(log).size() - (rotated ? 0 : before) - entry.size() - 2;
    QVERIFY2(stampBytes > 0 && stampBytes < 40, "one entry after what was kept");
}

// Numbers from the service are read with the user's separators, then rounded halves to even.
void TestApp::toNumberAndRound_data() {
    QTest::addColumn<bool>("italian"); // else the C locale
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<std::optional<qint32>>("int32");
    QTest::addColumn<std::optional<qint16>>("int16");
    using I32 = std::optional<qint32>;
    using I16 = std::optional<qint16>;
    QTest::newRow("blanks among digits") << false << QVariant(" 1 234 ") << I32(1234) << I16(1234);
    QTest::newRow("not a finite number") << false << QVariant(qQNaN()) << I32(0) << I16(0);
    QTest::newRow("decimal comma, half to even") << true << QVariant("-2,5") << I32(-2) << I16(-2);
    QTest::newRow("a number is not read again") << true << QVariant(3.5) << I32(4) << I16(4);
    QTest::newRow("past the 16-bit largest") << false << QVariant(32767.5) << I32(32768) << I16();
    QTest::newRow("past the 32-bit largest") << false << QVariant("2147483647.5") << I32() << I16();
}

void TestApp::toNumberAndRound() {
    QFETCH(bool, italian);
    QFETCH(QVariant, value);
    QFETCH(std::optional<qint32>, int32);
    QFETCH(std::optional<qint16>, int16);
    QLocale::setDefault(italian ? QLocale(QLocale::Italian, QLocale::Italy) : QLocale::c());
    const double number = ToNumber(value);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(RoundToInt32(number), int32);
    QCOMPARE(RoundToInt16(number), int16);
}

enum class LinkTo { OutsideFile, NothingOutside, OutsideFolder };
enum class Write { Download, StartUp, SettingsKey, LogEntry, LogAfter10MiB };
Q_DECLARE_METATYPE(LinkTo)
Q_DECLARE_METATYPE(Write)

// A link planted in the application folder never takes a write outside it: the outside file
// keeps its bytes and nothing appears beside it. The refusal is logged where the log can be.
void TestApp::writesStayInTheFolder_data() {
    QTest::addColumn<QString>("link"); // in the application folder
    QTest::addColumn<LinkTo>("linkTo");
    QTest::addColumn<Write>("write");
    QTest::addColumn<bool>("done");
    QTest::addColumn<QString>("refused"); // the file whose refusal Log.txt holds; empty: none

    const QString refusedPicture = QStringLiteral("TempImg/foto.jpg");
    const QString refusedSettings = QStringLiteral("setws.ini");
    QTest::newRow("TempImg entry to an outside file: download")
        << "TempImg/foto.jpg" << LinkTo::OutsideFile << Write::Download << false << refusedPicture;
    QTest::newRow("dangling TempImg entry: download")
        << "TempImg/foto.jpg" << LinkTo::NothingOutside << Write::Download << false
        << refusedPicture;
    QTest::newRow("TempImg itself to an outside folder: download")
        << "TempImg" << LinkTo::OutsideFolder << Write::Download << false << refusedPicture;
    QTest::newRow("dangling setws.ini: start-up ends with its box")
        << "setws.ini" << LinkTo::NothingOutside << Write::StartUp << false << refusedSettings;
    QTest::newRow("setws.ini to an outside file: a key")
        << "setws.ini" << LinkTo::OutsideFile << Write::SettingsKey << false << refusedSettings;
    QTest::newRow("Log.txt to an outside file: an entry")
        << "Log.txt" << LinkTo::OutsideFile << Write::LogEntry << false << QString();
    QTest::newRow("Log.old.txt to an outside file: replaced by the full log")
        << "Log.old.txt" << LinkTo::OutsideFile << Write::LogAfter10MiB << true << QString();
}

void TestApp::writesStayInTheFolder() {
    QFETCH(QString, link);
    QFETCH(LinkTo, linkTo);
    QFETCH(Write, write);
    QFETCH(bool, done);
    QFETCH(QString, refused);
    StartUp startUp;
    const QString outside = startUp.root.filePath("outside");
    QVERIFY(QDir().mkdir(outside));
    QVERIFY(writeFile(outside + "/target.txt", "outside"));
    QVERIFY(link == "TempImg" || QDir(startUp.app).mkdir("TempImg"));
    const QString target = linkTo == LinkTo::OutsideFile      ? outside + "/target.txt"
                           : linkTo == LinkTo::NothingOutside ? outside + "/absent"
                                                              : outside;
    QVERIFY(QFile::link(target, startUp.path(link)));
    AppState &state = AppState::instance();
    state.ApplicationFolder = startUp.app;
    state.Log = true;

    bool written = false;
    switch (write) {
    case Write::Download: {
        LoopbackServer service;
        service.server().Get("/foto", [](const httplib::Request &, httplib::Response &response) {
            response.set_content("jpeg", "image/jpeg");
        });
        service.start();
        written = DownloadFile(QString::fromStdString(service.baseUrl() + "/foto"),
                               startUp.path("TempImg/foto.jpg"));
        break;
    }
    case Write::StartUp:
        written = startUp.run("IT1") == Outcome::Continue;
        break;
    case Write::SettingsKey:
        written = WriteIniValue(startUp.path("setws.ini"), "Settings", "Log", "1") != 0;
        break;
    case Write::LogAfter10MiB:
        QVERIFY(writeFile(startUp.path("Log.txt"), {}));
        QVERIFY(QFile::resize(startUp.path("Log.txt"), 10 * kMiB));
        Q_FALLTHROUGH();
    case Write::LogEntry:
        WriteLog(QStringLiteral("primo"), FixedClock());
        written = entriesOf(startUp.path("Log.txt")).contains("primo");
        break;
    }
    QCOMPARE(written, done);
    QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList{"target.txt"});
    QCOMPARE(bytesOf(outside + "/target.txt"), QByteArray("outside"));
    QCOMPARE(entriesOf(startUp.path("Log.txt")).filter("Scrittura rifiutata"),
             refused.isEmpty() ? QStringList()
                               : QStringList{"Scrittura rifiutata, collegamento simbolico: " +
                                             startUp.app + '/' + refused});
}

enum class Regional { Italian, UnitedStates, C };
Q_DECLARE_METATYPE(Regional)

// The time of a message as the system's regional settings and the explicit forms write it;
// two-digit years fall in this century. An invalid expected value: refused.
void TestApp::serviceDate_data() {
    QTest::addColumn<Regional>("regional");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");

    const QDate march5(2024, 3, 5);
    const QDateTime at1405(march5, QTime(14, 5));
    const QDateTime at140507(march5, QTime(14, 5, 7));
    const QDateTime midnight(march5, QTime(0, 0));
    const Regional it = Regional::Italian;
    QTest::newRow("it short, two-digit year") << it << "05/03/24 14:05" << at1405;
    QTest::newRow("it short with seconds") << it << "05/03/24 14:05:07" << at140507;
    QTest::newRow("it short, no time") << it << "05/03/24" << midnight;
    QTest::newRow("it year 99 is 2099")
        << it << " 05/03/99 14:05 " << QDateTime(QDate(2099, 3, 5), QTime(14, 5));
    QTest::newRow("it 29 February of a leap year")
        << it << "29/02/24 10:00" << QDateTime(QDate(2024, 2, 29), QTime(10, 0));
    QTest::newRow("it long, no seconds") << it << "martedì 5 marzo 2024 14:05" << at1405;
    QTest::newRow("it explicit four-digit year, no time") << it << "05/03/2024" << midnight;
    QTest::newRow("it explicit, no seconds") << it << "05/03/2024 14:05" << at1405;
    QTest::newRow("it 31 February refused") << it << "31/02/24 10:00" << QDateTime();
    QTest::newRow("en_US short") << Regional::UnitedStates << "3/5/24 2:05 PM" << at1405;
    const Regional c = Regional::C;
    QTest::newRow("explicit with seconds") << c << "5/3/2024 14:05:07" << at140507;
    QTest::newRow("explicit two-digit year") << c << "5/3/24 14:05" << at1405;
    QTest::newRow("explicit, no time") << c << "5/3/2024" << midnight;
    QTest::newRow("ISO with space") << c << "2024-03-05 14:05:07" << at140507;
    QTest::newRow("ISO, no time") << c << "2024-03-05" << midnight;
    QTest::newRow("month first refused") << c << "3/31/2024" << QDateTime();
    QTest::newRow("not a date") << c << "ieri" << QDateTime();
}

void TestApp::serviceDate() {
    QFETCH(Regional, regional);
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const QLocale locale = regional == Regional::Italian ? QLocale(QLocale::Italian, QLocale::Italy)
                           : regional == Regional::UnitedStates
                               ? QLocale(QLocale::English, QLocale::UnitedStates)
                               : QLocale::c();
    QCOMPARE(ServiceDate::parse(text, locale).value_or(QDateTime()), expected);
}

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
