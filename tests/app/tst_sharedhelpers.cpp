#include "app/SharedHelpers.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <limits>

class TestSharedHelpers : public QObject {
    Q_OBJECT
private slots:
    void toNumber_data();
    void toNumber();
    void roundHalfToEven_data();
    void roundHalfToEven();
    void existence_data();
    void existence();
    void setTopMostKeepsPlaceAndFocus();
};

void TestSharedHelpers::toNumber_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<double>("expected");
    const QLocale c = QLocale::c();
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QTest::newRow("digits with a blank among them") << c << QVariant(" 1 234 ") << 1234.0;
    QTest::newRow("null") << c << QVariant::fromValue(nullptr) << 0.0;
    QTest::newRow("digits then letters") << c << QVariant("12a") << 0.0;
    QTest::newRow("infinity is no number") << c << QVariant("inf") << 0.0;
    QTest::newRow("italian decimal comma") << italian << QVariant("-1,5") << -1.5;
    QTest::newRow("italian thousands dot") << italian << QVariant("1.234") << 1234.0;
    QTest::newRow("a number stays itself whatever the locale") << italian << QVariant(2.5) << 2.5;
}

void TestSharedHelpers::toNumber() {
    QFETCH(QLocale, locale);
    QFETCH(QVariant, value);
    QFETCH(double, expected);
    QLocale::setDefault(locale);
    QCOMPARE(ToNumber(value), expected);
    QLocale::setDefault(QLocale::c());
}

void TestSharedHelpers::roundHalfToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<std::optional<qint32>>("int32");
    QTest::addColumn<std::optional<qint16>>("int16");
    using I32 = std::optional<qint32>;
    using I16 = std::optional<qint16>;
    QTest::newRow("half down to even") << 2.5 << I32(2) << I16(2);
    QTest::newRow("half up to even") << 3.5 << I32(4) << I16(4);
    QTest::newRow("negative half") << -2.5 << I32(-2) << I16(-2);
    QTest::newRow("nearest") << 7.6 << I32(8) << I16(8);
    QTest::newRow("rounds past the 16-bit largest") << 32767.5 << I32(32768) << I16();
    QTest::newRow("half to even at the 16-bit smallest") << -32768.5 << I32(-32768) << I16(-32768);
    QTest::newRow("largest 32-bit") << 2147483647.4 << I32(2147483647) << I16();
    QTest::newRow("one past the 32-bit largest") << 2147483647.5 << I32() << I16();
    QTest::newRow("smallest 32-bit") << -2147483648.0 << I32(-2147483647 - 1) << I16();
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << I32() << I16();
}

void TestSharedHelpers::roundHalfToEven() {
    QFETCH(double, value);
    QFETCH(std::optional<qint32>, int32);
    QFETCH(std::optional<qint16>, int16);
    QCOMPARE(RoundToInt32(value), int32);
    QCOMPARE(RoundToInt16(value), int16);
}

void TestSharedHelpers::existence_data() {
    QTest::addColumn<QString>("relativePath"); // "" stands for the empty path
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("folderExists");
    QTest::newRow("empty file") << "empty.txt" << true << false;
    QTest::newRow("folder with trailing separator") << "folder/" << false << true;
    QTest::newRow("missing") << "missing" << false << false;
    QTest::newRow("empty path") << "" << false << false;
}

void TestSharedHelpers::existence() {
    QFETCH(QString, relativePath);
    QFETCH(bool, fileExists);
    QFETCH(bool, folderExists);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QFile empty(dir.filePath(QStringLiteral("empty.txt")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    const QString path = relativePath.isEmpty() ? QString() : dir.filePath(relativePath);
    QCOMPARE(FileExists(path), fileExists);
    QCOMPARE(FolderExists(path), folderExists);
}

// The offscreen platform activates every window it shows, so the no-focus part is the
// attribute that the window systems honour.
void TestSharedHelpers::setTopMostKeepsPlaceAndFocus() {
    QWidget chat;
    const QRect placed(300, 200, 250, 400);
    chat.setGeometry(placed);
    SetTopMost(&chat, true);
    QVERIFY(QTest::qWaitForWindowExposed(&chat));
    QVERIFY(chat.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(chat.testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(chat.geometry(), placed);
    SetTopMost(&chat, false);
    QVERIFY(chat.isVisible());
    QVERIFY(!chat.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(chat.geometry(), placed);
    SetTopMost(nullptr, true);
}

QTEST_MAIN(TestSharedHelpers)
#include "tst_sharedhelpers.moc"
