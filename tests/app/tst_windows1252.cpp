#include "app/Windows1252.h"

#include <QTest>

class TestWindows1252 : public QObject {
    Q_OBJECT
private slots:
    void encode_data();
    void encode();
    void everyByteSurvivesRoundTrip();
};

void TestWindows1252::encode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("latin-1 accents") << QStringLiteral("perché") << QByteArray("perch\xe9");
    QTest::newRow("euro sign and curly quotes in the 0x80 block")
        << QStringLiteral("“€”") << QByteArray("\x93\x80\x94");
    QTest::newRow("not in code page") << QStringLiteral("Ω") << QByteArray("?");
    QTest::newRow("astral is one ?") << QString::fromUcs4(U"a\U0001F600b") << QByteArray("a?b");
    QTest::newRow("unassigned C1 control is not") << QStringLiteral("\u0085") << QByteArray("?");
}

void TestWindows1252::encode() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Windows1252::encode(text), bytes);
}

void TestWindows1252::everyByteSurvivesRoundTrip() {
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    QCOMPARE(Windows1252::encode(Windows1252::decode(all)), all);
    QCOMPARE(Windows1252::decode("\x80\x9f"), QStringLiteral("€Ÿ"));
}

QTEST_APPLESS_MAIN(TestWindows1252)
#include "tst_windows1252.moc"
