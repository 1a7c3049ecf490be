#include "MdbFixture.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The generated files must read the same through mdbtools' own tools as through the client.
class TestMdbFixture : public QObject {
    Q_OBJECT
private slots:
    void exportedByMdbTools_data();
    void exportedByMdbTools();
    void damagedUsageMapCrashesMdbTools();
};

namespace {
QByteArray mdbExport(const QString &path, const QString &table, int *exitCode = nullptr) {
    QProcess tool;
    tool.start(QStringLiteral("mdb-export"), {path, table});
    if (!tool.waitForFinished(10000))
        tool.kill();
    if (exitCode)
        *exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return tool.readAllStandardOutput();
}
} // namespace

void TestMdbFixture::exportedByMdbTools_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QByteArray>("csv");
    QTest::newRow("settings with DataPath")
        << "impostazioni" << QStringList{"DataPath:text"} << QStringList{"/dati/Ditta.mdb"}
        << QByteArray("DataPath\n\"/dati/Ditta.mdb\"\n");
    QTest::newRow("text, null, empty and numbers")
        << "Aziende" << QStringList{"PIva:text", "Codice:long"}
        << QStringList{QStringLiteral("IT0123|42"), "\\N|-7", "|\\N", QStringLiteral("Città|0")}
        << QByteArray("PIva,Codice\n\"IT0123\",42\n,-7\n,\n\"Citt\xc3\xa0\",0\n");
    QTest::newRow("empty table") << "Aziende" << QStringList{"PIva:text"} << QStringList()
                                 << QByteArray("PIva\n");
}

void TestMdbFixture::exportedByMdbTools() {
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, csv);
    if (QStandardPaths::findExecutable(QStringLiteral("mdb-export")).isEmpty())
        QSKIP("mdb-export (package mdbtools) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fixture.mdb"));
    QVERIFY(MdbFixture::write(path, table, columns, rows));
    int exitCode = 0;
    QCOMPARE(mdbExport(path, table, &exitCode), csv);
    QCOMPARE(exitCode, 0);
}

void TestMdbFixture::damagedUsageMapCrashesMdbTools() {
    if (QStandardPaths::findExecutable(QStringLiteral("mdb-export")).isEmpty())
        QSKIP("mdb-export (package mdbtools) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.mdb"));
    QVERIFY(MdbFixture::write(path, QStringLiteral("Aziende"), {"PIva:text"}, {"x"}, true));
    int exitCode = 0;
    mdbExport(path, QStringLiteral("Aziende"), &exitCode);
    QCOMPARE(exitCode, -1);
}

QTEST_GUILESS_MAIN(TestMdbFixture)
#include "tst_mdbfixture.moc"
