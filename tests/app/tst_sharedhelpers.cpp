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
    void cleanup();
    void toNumber_data();
    void toNumber();
    void roundToInt32_data();
    void roundToInt32();
    void roundToInt16_data();
    void roundToInt16();
    void existence_data();
    void existence();
    void setTopMostShowsWithoutFocusOrMove();
    void setTopMostOffLeavesTheBand();
};

void TestSharedHelpers::cleanup() {
    QLocale::setDefault(QLocale::c());
}

void TestSharedHelpers::toNumber_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<double>("expected");
    const QLocale c = QLocale::c();
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QTest::newRow("digits with a blank among them") << c << QVariant("1 234") << 1234.0;
    QTest::newRow("blanks around") << c << QVariant("  42 ") << 42.0;
    QTest::newRow("null") << c << QVariant::fromValue(nullptr) << 0.0;
    QTest::newRow("nothing") << c << QVariant() << 0.0;
    QTest::newRow("empty text") << c << QVariant("") << 0.0;
    QTest::newRow("letters") << c << QVariant("abc") << 0.0;
    QTest::newRow("digits then letters") << c << QVariant("12a") << 0.0;
    QTest::newRow("negative") << c << QVariant("-7") << -7.0;
    QTest::newRow("italian decimal comma") << italian << QVariant("1,5") << 1.5;
    QTest::newRow("italian thousands dot") << italian << QVariant("1.234") << 1234.0;
    QTest::newRow("a number stays itself whatever the locale") << italian << QVariant(2.5) << 2.5;
    QTest::newRow("an integer value") << c << QVariant(qlonglong(99)) << 99.0;
    QTest::newRow("infinity is no number") << c << QVariant("inf") << 0.0;
    QTest::newRow("nan is no number") << c << QVariant("nan") << 0.0;
}

void TestSharedHelpers::toNumber() {
    QFETCH(QLocale, locale);
    QFETCH(QVariant, value);
    QFETCH(double, expected);
    QLocale::setDefault(locale);
    QCOMPARE(ToNumber(value), expected);
}

void TestSharedHelpers::roundToInt32_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<std::optional<qint32>>("expected");
    QTest::newRow("half to even, down") << 2.5 << std::optional<qint32>(2);
    QTest::newRow("half to even, up") << 3.5 << std::optional<qint32>(4);
    QTest::newRow("negative half to even") << -2.5 << std::optional<qint32>(-2);
    QTest::newRow("nearest") << 7.6 << std::optional<qint32>(8);
    QTest::newRow("largest") << 2147483647.4 << std::optional<qint32>(2147483647);
    QTest::newRow("one past the largest") << 2147483647.5 << std::optional<qint32>();
    QTest::newRow("smallest") << -2147483648.0 << std::optional<qint32>(-2147483647 - 1);
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN()
                                  << std::optional<qint32>();
}

void TestSharedHelpers::roundToInt32() {
    QFETCH(double, value);
    QFETCH(std::optional<qint32>, expected);
    QCOMPARE(RoundToInt32(value), expected);
}

void TestSharedHelpers::roundToInt16_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<std::optional<qint16>>("expected");
    QTest::newRow("largest") << 32767.0 << std::optional<qint16>(32767);
    QTest::newRow("rounds past the largest") << 32767.5 << std::optional<qint16>();
    QTest::newRow("half to even at the smallest") << -32768.5 << std::optional<qint16>(-32768);
    QTest::newRow("typing flag") << 1.0 << std::optional<qint16>(1);
}

void TestSharedHelpers::roundToInt16() {
    QFETCH(double, value);
    QFETCH(std::optional<qint16>, expected);
    QCOMPARE(RoundToInt16(value), expected);
}

void TestSharedHelpers::existence_data() {
    QTest::addColumn<QString>("relativePath"); // "" stands for the empty path
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("folderExists");
    QTest::newRow("file") << "file.txt" << true << false;
    QTest::newRow("empty file") << "empty.txt" << true << false;
    QTest::newRow("folder") << "folder" << false << true;
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
    QFile file(dir.filePath(QStringLiteral("file.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
    file.close();
    QFile empty(dir.filePath(QStringLiteral("empty.txt")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    const QString path = relativePath.isEmpty() ? QString() : dir.path() + '/' + relativePath;
    QCOMPARE(FileExists(path), fileExists);
    QCOMPARE(FolderExists(path), folderExists);
}

// The offscreen platform activates every window it shows, so the no-focus part is the
// attribute that the window systems honour.
void TestSharedHelpers::setTopMostShowsWithoutFocusOrMove() {
    QWidget chat;
    const QRect placed(300, 200, 250, 400);
    chat.setGeometry(placed);
    SetTopMost(&chat, true);
    QVERIFY(QTest::qWaitForWindowExposed(&chat));
    QVERIFY(chat.isVisible());
    QVERIFY(chat.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(chat.geometry(), placed);
    QVERIFY(chat.testAttribute(Qt::WA_ShowWithoutActivating));
}

void TestSharedHelpers::setTopMostOffLeavesTheBand() {
    QWidget chat;
    const QRect placed(40, 50, 300, 200);
    chat.setGeometry(placed);
    SetTopMost(&chat, true);
    SetTopMost(&chat, false);
    QVERIFY(chat.isVisible());
    QVERIFY(!chat.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(chat.geometry(), placed);
    SetTopMost(nullptr, true);
}

QTEST_MAIN(TestSharedHelpers)
#include "tst_sharedhelpers.moc"
