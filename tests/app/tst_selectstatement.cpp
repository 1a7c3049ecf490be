#include "app/SelectStatement.h"

#include <QTest>

class TestSelectStatement : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestSelectStatement::parse_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("table");
    QTest::newRow("the company query") << "SELECT PIva FROM Aziende" << true << "PIva"
                                       << "Aziende";
    QTest::newRow("keywords in any case, extra blanks, semicolon")
        << "  select DataPath  from impostazioni ; " << true << "DataPath"
        << "impostazioni";
    QTest::newRow("names in brackets with blanks")
        << "SELECT [Vit A] FROM [Fruit Salad]" << true << "Vit A"
        << "Fruit Salad";
    QTest::newRow("accented name") << QStringLiteral("SELECT Città FROM Aziende") << true
                                   << QStringLiteral("Città") << "Aziende";
    QTest::newRow("two columns") << "SELECT A, B FROM T" << false << QString() << QString();
    QTest::newRow("star") << "SELECT * FROM T" << false << QString() << QString();
    QTest::newRow("where clause") << "SELECT A FROM T WHERE B=1" << false << QString() << QString();
    QTest::newRow("second statement")
        << "SELECT A FROM T; DELETE FROM T" << false << QString() << QString();
    QTest::newRow("blank column") << "SELECT  FROM T" << false << QString() << QString();
    QTest::newRow("empty") << "" << false << QString() << QString();
}

void TestSelectStatement::parse() {
    QFETCH(QString, sql);
    QFETCH(bool, valid);
    QFETCH(QString, column);
    QFETCH(QString, table);
    const std::optional<SelectStatement> statement = SelectStatement::parse(sql);
    QCOMPARE(statement.has_value(), valid);
    if (valid) {
        QCOMPARE(statement->column, column);
        QCOMPARE(statement->table, table);
    }
}

QTEST_APPLESS_MAIN(TestSelectStatement)
#include "tst_selectstatement.moc"
