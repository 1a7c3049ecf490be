#include "app/SharedHelpers.h"

#include <QLocale>
#include <QTest>

class TestSharedHelpers : public QObject {
    Q_OBJECT
private slots:
    void toNumberAndRound_data();
    void toNumberAndRound();
};

// Numbers from the service are read with the user's separators, then rounded halves to even.
void TestSharedHelpers::toNumberAndRound_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<double>("number");
    QTest::addColumn<std::optional<qint32>>("int32");
    QTest::addColumn<std::optional<qint16>>("int16");
    using I32 = std::optional<qint32>;
    using I16 = std::optional<qint16>;
    const QLocale c = QLocale::c();
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QTest::newRow("digits with blanks among them")
        << c << QVariant(" 1 234 ") << 1234.0 << I32(1234) << I16(1234);
    QTest::newRow("not a finite number") << c << QVariant(qQNaN()) << 0.0 << I32(0) << I16(0);
    QTest::newRow("italian decimal comma, half to even")
        << italian << QVariant("-2,5") << -2.5 << I32(-2) << I16(-2);
    QTest::newRow("a number stays itself whatever the locale")
        << italian << QVariant(3.5) << 3.5 << I32(4) << I16(4);
    QTest::newRow("past the 32-bit largest")
        << c << QVariant("2147483647.5") << 2147483647.5 << I32() << I16();
}

void TestSharedHelpers::toNumberAndRound() {
    QFETCH(QLocale, locale);
    QFETCH(QVariant, value);
    QFETCH(double, number);
    QFETCH(std::optional<qint32>, int32);
    QFETCH(std::optional<qint16>, int16);
    QLocale::setDefault(locale);
    QCOMPARE(ToNumber(value), number);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(RoundToInt32(number), int32);
    QCOMPARE(RoundToInt16(number), int16);
}

QTEST_APPLESS_MAIN(TestSharedHelpers)
#include "tst_sharedhelpers.moc"
