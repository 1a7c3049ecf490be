#include "TestFiles.h"
#include "app/DbReadProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Reads a file of brenno-mdbfixture (table Aziende), spoilt as asked, through brenno-dbread or a
// stand-in helper: damaged files and helpers that crash, hang or answer wrongly are unreadable.
class TestLocalDatabases : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void fixtureReadsTheSameThroughMdbTools();
    void readsARealAccessFile_data();
    void readsARealAccessFile();

private:
    QTemporaryDir m_dir;
};

void TestLocalDatabases::read_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected"); // invalid: unreadable
    QTest::addColumn<QByteArray>("helper"); // a shell script instead of brenno-dbread
    QTest::addColumn<QString>("damage");    // of the file

    const QVariant none;
    const QByteArray dbread;
    QTest::newRow("text of the first row") << "PIva" << QVariant("Città") << dbread << "";
    QTest::newRow("names without regard to case, number")
        << "codice" << QVariant(qlonglong(-5)) << dbread << "";
    QTest::newRow("null") << "Nota" << QVariant::fromValue(nullptr) << dbread << "";
    QTest::newRow("usage map that crashes libmdb") << "PIva" << none << dbread << "map";
    QTest::newRow("truncated") << "PIva" << none << dbread << "truncated";
    QTest::newRow("helper hangs") << "PIva" << none << QByteArray("exec sleep 30") << "";
    QTest::newRow("garbage answer") << "PIva" << none << QByteArray("echo 'text zz'") << "";
    QTest::newRow("answer, then failure")
        << "PIva" << none << QByteArray("echo none; exit 3") << "";
    QTest::newRow("no helper") << "PIva" << none << QByteArray("<none>") << "";
}

void TestLocalDatabases::read() {
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    QFETCH(QByteArray, helper);
    QFETCH(QString, damage);
    // Short, so that a hanging helper is given up quickly; nothing is timed against it.
    constexpr int kShortLimitMs = 1000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Ditta.mdb"));
    QStringList arguments{path, "Aziende", "PIva:text,Codice:long,Nota:text", "Città|-5|\\N",
                          "x|1|y"};
    if (damage == "map")
        arguments.prepend(QStringLiteral("--damage-usage-map"));
    QCOMPARE(QProcess::execute(QStringLiteral(BRENNO_MDBFIXTURE), arguments), 0);
    if (damage == "truncated")
        QVERIFY(QFile::resize(path, 9000));
    const QByteArray before = TestFiles::bytesOf(path);
    const QString script = dir.filePath(QStringLiteral("helper.sh"));
    if (helper != "<none>")
        QVERIFY(TestFiles::write(script, "#!/bin/sh\n" + helper + "\n"));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);

    const AccessReader::FirstValue read =
        (helper.isEmpty() ? DbReadProcess() : DbReadProcess(script, kShortLimitMs))
            .readFirstValue(path, "Aziende", column);
    QCOMPARE(read.readable, expected.isValid());
    QCOMPARE(read.value.isNull(), expected.isNull());
    QCOMPARE(read.value, expected);
    QCOMPARE(TestFiles::bytesOf(path), before);
}

// The fixtures must be real Jet files, not files only our own reader accepts.
void TestLocalDatabases::fixtureReadsTheSameThroughMdbTools() {
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

// A file written by Access itself, from the npm package mdb (fetched at test time, never kept).
void TestLocalDatabases::readsARealAccessFile_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("text column") << "Fruit"
                                 << "Fruit" << QVariant("Apple");
    QTest::newRow("long column, table name in other case") << "fruit"
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
            QSKIP("npm or the registry is not available");
        QCOMPARE(QProcess::execute(QStringLiteral("tar"),
                                   {"-C", m_dir.path(), "-xzf", m_dir.filePath("mdb-0.1.0.tgz"),
                                    "package/test/fruit.mdb"}),
                 0);
    }
    const AccessReader::FirstValue read = DbReadProcess().readFirstValue(fruit, table, column);
    QVERIFY(read.readable);
    QCOMPARE(read.value, expected);
}

QTEST_GUILESS_MAIN(TestLocalDatabases)
#include "tst_localdatabases.moc"
