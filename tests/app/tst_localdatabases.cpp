#include "MdbFixture.h"
#include "RecordingErrorBox.h"
#include "TestFiles.h"
#include "app/AppState.h"
#include "app/DbReadProcess.h"
#include "app/LocalDatabases.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kUnreadableBox =
    QStringLiteral("Brenno: Impossibile aprire il file di impostazioni.");

// The kinds of file a test database can be.
enum class Fixture { Table, DamagedUsageMap, Truncated, NotADatabase, Empty, Missing };

} // namespace

Q_DECLARE_METATYPE(Fixture)

class TestLocalDatabases : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readLocalSetting_data();
    void readLocalSetting();
    void queryFirstValue_data();
    void queryFirstValue();
    void queryWithoutCompanyDatabasePath();
    void fieldToText_data();
    void fieldToText();
    void helperFailureIsAnUnreadableFile_data();
    void helperFailureIsAnUnreadableFile();
    void readsARealAccessFile_data();
    void readsARealAccessFile();

private:
    QString makeFixture(Fixture kind, const QString &table, const QStringList &columns,
                        const QStringList &rows);
    QString writeScript(const QByteArray &body);

    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestLocalDatabases::init() {
    QVERIFY(m_dir.isValid());
    AppState::instance().SettingsDbPath.clear();
    AppState::instance().DataPath.clear();
}

QString TestLocalDatabases::makeFixture(Fixture kind, const QString &table,
                                        const QStringList &columns, const QStringList &rows) {
    const QString path = m_dir.filePath(QStringLiteral("db%1.mdb").arg(++m_files));
    if (kind == Fixture::Missing)
        return path;
    QFile file(path);
    switch (kind) {
    case Fixture::NotADatabase:
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(8192, 'Z'));
        return path;
    case Fixture::Empty:
        if (file.open(QIODevice::WriteOnly))
            file.close();
        return path;
    default:
        break;
    }
    if (!MdbFixture::write(path, table, columns, rows, kind == Fixture::DamagedUsageMap))
        return QString();
    if (kind == Fixture::Truncated)
        file.resize(9000);
    return path;
}

QString TestLocalDatabases::writeScript(const QByteArray &body) {
    const QString path = m_dir.filePath(QStringLiteral("helper%1.sh").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body + "\n") < 0)
        return QString();
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void TestLocalDatabases::readLocalSetting_data() {
    QTest::addColumn<Fixture>("kind");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("boxes");

    const QStringList dataPath{"Versione:long", "DataPath:text"};
    QTest::newRow("DataPath of the one row")
        << Fixture::Table << dataPath << QStringList{QStringLiteral("10|/dati/Ditta è.mdb")}
        << "DataPath" << QStringLiteral("/dati/Ditta è.mdb") << QStringList();
    QTest::newRow("column name without regard to case")
        << Fixture::Table << dataPath << QStringList{"10|/dati/a.mdb"} << "datapath"
        << "/dati/a.mdb" << QStringList();
    QTest::newRow("number column as text")
        << Fixture::Table << dataPath << QStringList{"10|/dati/a.mdb"} << "Versione"
        << "10" << QStringList();
    QTest::newRow("null DataPath") << Fixture::Table << dataPath << QStringList{"10|\\N"}
                                   << "DataPath" << QString() << QStringList();
    QTest::newRow("no DataPath column")
        << Fixture::Table << QStringList{"Versione:long"} << QStringList{"10"} << "DataPath"
        << QString() << QStringList();
    QTest::newRow("table without rows")
        << Fixture::Table << dataPath << QStringList() << "DataPath" << QString() << QStringList();
    QTest::newRow("name that breaks the statement")
        << Fixture::Table << dataPath << QStringList{"10|/dati/a.mdb"} << "DataPath, Versione"
        << QString() << QStringList();
    QTest::newRow("settings database missing: no box")
        << Fixture::Missing << dataPath << QStringList() << "DataPath" << QString()
        << QStringList();
    QTest::newRow("not a database: one box")
        << Fixture::NotADatabase << dataPath << QStringList() << "DataPath" << QString()
        << QStringList{kUnreadableBox};
    QTest::newRow("empty file: one box") << Fixture::Empty << dataPath << QStringList()
                                         << "DataPath" << QString() << QStringList{kUnreadableBox};
    QTest::newRow("not a database, statement broken: one box")
        << Fixture::NotADatabase << dataPath << QStringList() << "a b" << QString()
        << QStringList{kUnreadableBox};
    QTest::newRow("usage map that crashes the reader: one box")
        << Fixture::DamagedUsageMap << dataPath << QStringList{"10|/dati/a.mdb"} << "DataPath"
        << QString() << QStringList{kUnreadableBox};
    QTest::newRow("truncated file: one box")
        << Fixture::Truncated << dataPath << QStringList{"10|/dati/a.mdb"} << "DataPath"
        << QString() << QStringList{kUnreadableBox};
}

void TestLocalDatabases::readLocalSetting() {
    QFETCH(Fixture, kind);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, rows);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QFETCH(QStringList, boxes);
    const QString path = makeFixture(kind, QStringLiteral("impostazioni"), columns, rows);
    QVERIFY(!path.isEmpty());
    const QByteArray before = TestFiles::bytesOf(path);
    AppState::instance().SettingsDbPath = path;
    DbReadProcess reader;
    RecordingErrorBox errorBox;
    LocalDatabases databases(reader, errorBox);
    QCOMPARE(databases.ReadLocalSetting(name), expected);
    QCOMPARE(errorBox.boxes, boxes);
    QCOMPARE(TestFiles::bytesOf(path), before);
}

void TestLocalDatabases::queryFirstValue_data() {
    QTest::addColumn<Fixture>("kind");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("expected");

    const QStringList aziende{"PIva:text", "Codice:long"};
    const QVariant empty;
    const QVariant null = QVariant::fromValue(nullptr);
    QTest::newRow("PIva of the first row")
        << Fixture::Table << aziende << QStringList{"01234567890|1", "99999999999|2"}
        << "SELECT PIva FROM Aziende" << QVariant("01234567890");
    QTest::newRow("null PIva") << Fixture::Table << aziende << QStringList{"\\N|1"}
                               << "SELECT PIva FROM Aziende" << null;
    QTest::newRow("empty PIva reads as null")
        << Fixture::Table << aziende << QStringList{"|1"} << "SELECT PIva FROM Aziende" << null;
    QTest::newRow("PIva stored as a number")
        << Fixture::Table << QStringList{"PIva:long"} << QStringList{"1234567"}
        << "SELECT PIva FROM Aziende" << QVariant(qlonglong(1234567));
    QTest::newRow("negative number") << Fixture::Table << aziende << QStringList{"x|-5"}
                                     << "SELECT Codice FROM Aziende" << QVariant(qlonglong(-5));
    QTest::newRow("empty table") << Fixture::Table << aziende << QStringList()
                                 << "SELECT PIva FROM Aziende" << empty;
    QTest::newRow("missing column") << Fixture::Table << QStringList{"Codice:long"}
                                    << QStringList{"1"} << "SELECT PIva FROM Aziende" << empty;
    QTest::newRow("missing table")
        << Fixture::Table << aziende << QStringList{"x|1"} << "SELECT PIva FROM Clienti" << empty;
    QTest::newRow("statement of another form")
        << Fixture::Table << aziende << QStringList{"x|1"}
        << "SELECT PIva FROM Aziende WHERE Codice=2" << empty;
    QTest::newRow("not a database")
        << Fixture::NotADatabase << aziende << QStringList() << "SELECT PIva FROM Aziende" << empty;
    QTest::newRow("usage map that crashes the reader")
        << Fixture::DamagedUsageMap << aziende << QStringList{"x|1"} << "SELECT PIva FROM Aziende"
        << empty;
    QTest::newRow("truncated file") << Fixture::Truncated << aziende << QStringList{"x|1"}
                                    << "SELECT PIva FROM Aziende" << empty;
    QTest::newRow("missing file") << Fixture::Missing << aziende << QStringList()
                                  << "SELECT PIva FROM Aziende" << empty;
}

void TestLocalDatabases::queryFirstValue() {
    QFETCH(Fixture, kind);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, rows);
    QFETCH(QString, sql);
    QFETCH(QVariant, expected);
    const QString path = makeFixture(kind, QStringLiteral("Aziende"), columns, rows);
    QVERIFY(!path.isEmpty());
    AppState::instance().DataPath = path;
    DbReadProcess reader;
    RecordingErrorBox errorBox;
    const QVariant value = LocalDatabases(reader, errorBox).QueryFirstValue(sql);
    QCOMPARE(value.isValid(), expected.isValid());
    QCOMPARE(value.isNull(), expected.isNull());
    QCOMPARE(value, expected);
    QVERIFY(errorBox.boxes.isEmpty());
}

void TestLocalDatabases::queryWithoutCompanyDatabasePath() {
    DbReadProcess reader(m_dir.filePath(QStringLiteral("no-such-helper")));
    RecordingErrorBox errorBox;
    QVERIFY(
        !LocalDatabases(reader, errorBox).QueryFirstValue("SELECT PIva FROM Aziende").isValid());
}

void TestLocalDatabases::fieldToText_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QVariant() << QString();
    QTest::newRow("null") << QVariant::fromValue(nullptr) << QString();
    QTest::newRow("empty text") << QVariant(QString()) << QString();
    QTest::newRow("text unchanged") << QVariant(" IT 01 ") << " IT 01 ";
    QTest::newRow("number in text form") << QVariant(qlonglong(1234567)) << "1234567";
}

void TestLocalDatabases::fieldToText() {
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(LocalDatabases::FieldToText(value), expected);
}

void TestLocalDatabases::helperFailureIsAnUnreadableFile_data() {
    QTest::addColumn<QByteArray>("script"); // empty: no helper at all
    QTest::newRow("helper crashes") << QByteArray("kill -SEGV $$");
    QTest::newRow("helper hangs") << QByteArray("exec sleep 30");
    QTest::newRow("garbage output") << QByteArray("echo 'text zz'");
    QTest::newRow("two answers") << QByteArray("echo none; echo none");
    QTest::newRow("answer then failure") << QByteArray("echo none; exit 3");
    QTest::newRow("helper missing") << QByteArray();
}

void TestLocalDatabases::helperFailureIsAnUnreadableFile() {
    QFETCH(QByteArray, script);
    constexpr int kShortLimitMs = 300;
    const QString program =
        script.isEmpty() ? m_dir.filePath(QStringLiteral("missing")) : writeScript(script);
    QVERIFY(!program.isEmpty());
    const QString settings = makeFixture(Fixture::Table, QStringLiteral("impostazioni"),
                                         {"DataPath:text"}, {"/dati/a.mdb"});
    AppState::instance().SettingsDbPath = settings;
    AppState::instance().DataPath = settings;
    DbReadProcess reader(program, kShortLimitMs);
    RecordingErrorBox errorBox;
    LocalDatabases databases(reader, errorBox);
    QCOMPARE(databases.ReadLocalSetting(QStringLiteral("DataPath")), QString());
    QCOMPARE(errorBox.boxes, QStringList{kUnreadableBox});
    QVERIFY(
        !databases.QueryFirstValue(QStringLiteral("SELECT DataPath FROM impostazioni")).isValid());
}

// A file written by Access itself, from the npm package "mdb" (fetched at test time only).
void TestLocalDatabases::readsARealAccessFile_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("text column") << "Fruit"
                                 << "Fruit" << QVariant("Apple");
    QTest::newRow("long column") << "fruit"
                                 << "Vit A" << QVariant(qlonglong(2));
    QTest::newRow("table name with a blank") << "Fruit Salad"
                                             << "Fruit" << QVariant("Apple");
    QTest::newRow("missing table") << "Ortaggi"
                                   << "Fruit" << QVariant();
}

void TestLocalDatabases::readsARealAccessFile() {
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    const QString fruit = m_dir.filePath(QStringLiteral("package/test/fruit.mdb"));
    if (!QFile::exists(fruit)) {
        QProcess npm;
        npm.setWorkingDirectory(m_dir.path());
        npm.start(QStringLiteral("npm"),
                  {"pack", "--silent", "--fetch-retries=0", "--fetch-timeout=30000", "mdb@0.1.0"});
        if (!npm.waitForFinished(120000) || npm.exitCode() != 0)
            QSKIP("npm or the network is not available");
        QProcess tar;
        tar.setWorkingDirectory(m_dir.path());
        tar.start(QStringLiteral("tar"), {"xzf", "mdb-0.1.0.tgz", "package/test/fruit.mdb"});
        QVERIFY(tar.waitForFinished() && tar.exitCode() == 0);
    }
    DbReadProcess reader;
    const AccessReader::FirstValue read = reader.readFirstValue(fruit, table, column);
    QVERIFY(read.readable);
    QCOMPARE(read.value, expected);
}

QTEST_GUILESS_MAIN(TestLocalDatabases)
#include "tst_localdatabases.moc"
