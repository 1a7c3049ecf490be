#include "TestFiles.h"
#include "app/DbReadProcess.h"
#include "app/SelectStatement.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Reading Access files: the one statement form, and the helper process that reads the file and
// whose crashes, hangs and stray output must all come out as an unreadable file.
class TestLocalDatabases : public QObject {
    Q_OBJECT
private slots:
    void selectStatement_data();
    void selectStatement();
    void readFixture_data();
    void readFixture();
    void helperFailureIsAnUnreadableFile_data();
    void helperFailureIsAnUnreadableFile();

private:
    QTemporaryDir m_dir;
};

void TestLocalDatabases::selectStatement_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("tableDotColumn"); // empty: refused
    QTest::newRow("the company query") << "SELECT PIva FROM Aziende"
                                       << "Aziende.PIva";
    QTest::newRow("keywords in any case, extra blanks, semicolon")
        << "  select DataPath  from impostazioni ; "
        << "impostazioni.DataPath";
    QTest::newRow("names in brackets with blanks")
        << QStringLiteral("SELECT [Città A] FROM [Fruit Salad]")
        << QStringLiteral("Fruit Salad.Città A");
    QTest::newRow("two columns") << "SELECT A, B FROM T" << QString();
    QTest::newRow("star") << "SELECT * FROM T" << QString();
    QTest::newRow("where clause") << "SELECT A FROM T WHERE B=1" << QString();
    QTest::newRow("second statement") << "SELECT A FROM T; DELETE FROM T" << QString();
    QTest::newRow("blank column") << "SELECT  FROM T" << QString();
}

void TestLocalDatabases::selectStatement() {
    QFETCH(QString, sql);
    QFETCH(QString, tableDotColumn);
    const std::optional<SelectStatement> statement = SelectStatement::parse(sql);
    QCOMPARE(statement ? statement->table + '.' + statement->column : QString(), tableDotColumn);
}

// Files written by brenno-mdbfixture with the table Aziende, read through brenno-dbread.
void TestLocalDatabases::readFixture_data() {
    QTest::addColumn<QString>("damage"); // how the written file is spoilt, if at all
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QVariant>("expected");

    const QStringList rows{QStringLiteral("Città|-5|\\N"), "x|1|y"};
    const QVariant none;
    QTest::newRow("text of the first row") << "" << rows << "Aziende"
                                           << "PIva" << true << QVariant(QStringLiteral("Città"));
    QTest::newRow("names without regard to case, number")
        << "" << rows << "aziende"
        << "codice" << true << QVariant(qlonglong(-5));
    QTest::newRow("null") << "" << rows << "Aziende"
                          << "Nota" << true << QVariant::fromValue(nullptr);
    QTest::newRow("empty text reads as null") << "" << QStringList{"|1|y"} << "Aziende"
                                              << "PIva" << true << QVariant::fromValue(nullptr);
    QTest::newRow("no such column") << "" << rows << "Aziende"
                                    << "Nome" << true << none;
    QTest::newRow("no such table") << "" << rows << "Clienti"
                                   << "PIva" << true << none;
    QTest::newRow("table without rows") << "" << QStringList() << "Aziende"
                                        << "PIva" << true << none;
    QTest::newRow("only whether it reads") << "" << rows << ""
                                           << "" << true << none;
    QTest::newRow("usage map that crashes libmdb") << "usage map" << rows << "Aziende"
                                                   << "PIva" << false << none;
    QTest::newRow("truncated") << "truncated" << rows << "Aziende"
                               << "PIva" << false << none;
    QTest::newRow("not a database") << "garbage" << rows << ""
                                    << "" << false << none;
    QTest::newRow("empty file") << "empty" << rows << ""
                                << "" << false << none;
    QTest::newRow("missing file") << "missing" << rows << "Aziende"
                                  << "PIva" << false << none;
}

void TestLocalDatabases::readFixture() {
    QFETCH(QString, damage);
    QFETCH(QStringList, rows);
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(bool, readable);
    QFETCH(QVariant, expected);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".mdb");
    QStringList arguments{path, "Aziende", "PIva:text,Codice:long,Nota:text"};
    if (damage == "usage map")
        arguments.prepend(QStringLiteral("--damage-usage-map"));
    QCOMPARE(QProcess::execute(QStringLiteral(BRENNO_MDBFIXTURE), arguments + rows), 0);
    QFile file(path);
    if (damage == "truncated")
        QVERIFY(file.resize(9000));
    else if (damage == "garbage" || damage == "empty")
        QVERIFY(TestFiles::write(path, damage == "empty" ? QByteArray() : QByteArray(8192, 'Z')));
    else if (damage == "missing")
        QVERIFY(file.remove());
    const QByteArray before = TestFiles::bytesOf(path);

    const AccessReader::FirstValue read = DbReadProcess().readFirstValue(path, table, column);
    QCOMPARE(read.readable, readable);
    QCOMPARE(read.value.isValid(), expected.isValid());
    QCOMPARE(read.value.isNull(), expected.isNull());
    QCOMPARE(read.value, expected);
    QCOMPARE(TestFiles::bytesOf(path), before);
}

void TestLocalDatabases::helperFailureIsAnUnreadableFile_data() {
    QTest::addColumn<QByteArray>("script"); // empty: no helper at all
    QTest::newRow("helper crashes") << QByteArray("kill -SEGV $$");
    QTest::newRow("helper hangs") << QByteArray("exec sleep 30");
    QTest::newRow("garbage output") << QByteArray("echo 'text zz'");
    QTest::newRow("two answers") << QByteArray("echo none; echo none");
    QTest::newRow("answer then failure") << QByteArray("echo 'text 41'; exit 3");
    QTest::newRow("helper missing") << QByteArray();
}

void TestLocalDatabases::helperFailureIsAnUnreadableFile() {
    QFETCH(QByteArray, script);
    // Short, so that the hanging helper is given up quickly; nothing is timed against it.
    constexpr int kShortLimitMs = 300;
    const QString program = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    if (!script.isEmpty()) {
        QVERIFY(TestFiles::write(program, "#!/bin/sh\n" + script + "\n"));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    }
    const QString database = m_dir.filePath(QStringLiteral("any.mdb"));
    QVERIFY(TestFiles::write(database, "x"));
    const AccessReader::FirstValue read =
        DbReadProcess(program, kShortLimitMs).readFirstValue(database, "Aziende", "PIva");
    QVERIFY(!read.readable);
    QVERIFY(!read.value.isValid());
}

QTEST_GUILESS_MAIN(TestLocalDatabases)
#include "tst_localdatabases.moc"
