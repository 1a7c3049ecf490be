#include "chat/ServiceDate.h"

#include <QLocale>
#include <QTest>

class TestServiceDate : public QObject {
    Q_OBJECT
private slots:
    void readsTheServiceForms_data();
    void readsTheServiceForms();
    void readsTheSystemsRegionalForms_data();
    void readsTheSystemsRegionalForms();
};

void TestServiceDate::readsTheServiceForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime at140559(QDate(2024, 3, 5), QTime(14, 5, 59));
    QTest::newRow("database form") << "2024-03-05 14:05:59" << at140559;
    QTest::newRow("ISO with T") << "2024-03-05T14:05:59" << at140559;
    QTest::newRow("fractions") << "2024-03-05 14:05:59.250" << at140559.addMSecs(250);
    QTest::newRow("microseconds") << "2024-03-05 14:05:59.250123" << at140559.addMSecs(250);
    QTest::newRow("blanks around") << "  2024-03-05 14:05:59 " << at140559;
    QTest::newRow("day first with seconds") << "05/03/2024 14:05:59" << at140559;
    QTest::newRow("day first without seconds")
        << "05/03/2024 14:05" << QDateTime(QDate(2024, 3, 5), QTime(14, 5));
    QTest::newRow("day first, one digit")
        << "5/3/2024 9:05" << QDateTime(QDate(2024, 3, 5), QTime(9, 5));
    QTest::newRow("leap day") << "2024-02-29 00:00:00"
                              << QDateTime(QDate(2024, 2, 29), QTime(0, 0));
    QTest::newRow("31 February") << "2024-02-31 14:05:59" << QDateTime();
    QTest::newRow("29 February of a common year") << "29/02/2023 10:00" << QDateTime();
    QTest::newRow("hour 25") << "2024-03-05 25:00:00" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
    QTest::newRow("words") << "domani" << QDateTime();
}

void TestServiceDate::readsTheServiceForms() {
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const auto parsed = ServiceDate::parse(text);
    QCOMPARE(parsed.has_value(), expected.isValid());
    if (parsed)
        QCOMPARE(*parsed, expected);
}

void TestServiceDate::readsTheSystemsRegionalForms_data() {
    QTest::addColumn<QLocale::FormatType>("format");
    QTest::newRow("short") << QLocale::ShortFormat;
    QTest::newRow("long") << QLocale::LongFormat;
}

void TestServiceDate::readsTheSystemsRegionalForms() {
    QFETCH(QLocale::FormatType, format);
    const QLocale system = QLocale::system();
    const QDateTime when(QDate(2031, 11, 23), QTime(18, 42, 7));
    const QString text = system.toString(when, format);
    // Whatever the system's form drops (seconds, for instance) is dropped on reading too.
    const QDateTime expected = system.toDateTime(text, format);
    QVERIFY2(expected.isValid(), qPrintable(text));
    QCOMPARE(expected.date(), when.date());

    const auto parsed = ServiceDate::parse(text);
    QVERIFY(parsed.has_value());
    QCOMPARE(*parsed, expected);
}

QTEST_APPLESS_MAIN(TestServiceDate)
#include "tst_servicedate.moc"
