#include "bubble/AttachmentPath.h"

#include <QTest>

class TestAttachmentPath : public QObject {
    Q_OBJECT
private slots:
    void path_data();
    void path();
};

void TestAttachmentPath::path_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("plain name") << "foto.jpg"
                                << "/app/TempImg/foto.jpg";
    QTest::newRow("subfolder") << "chat/foto.jpg"
                               << "/app/TempImg/chat/foto.jpg";
    QTest::newRow("subfolder with backslash") << "chat\\foto.jpg"
                                              << "/app/TempImg/chat/foto.jpg";
    QTest::newRow("dots inside a name are fine") << "a..b.png"
                                                 << "/app/TempImg/a..b.png";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("parent folder") << "../setws.ini"
                                   << "";
    QTest::newRow("parent folder with backslash") << "..\\..\\x.png"
                                                  << "";
    QTest::newRow("parent folder further in") << "chat/../../x.png"
                                              << "";
    QTest::newRow("absolute path") << "/etc/passwd"
                                   << "";
    QTest::newRow("absolute Windows path") << "C:\\Windows\\win.ini"
                                           << "";
    QTest::newRow("only separators") << "//"
                                     << "";
}

void TestAttachmentPath::path() {
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(AttachmentPath(QStringLiteral("/app"), name), path);
}

QTEST_APPLESS_MAIN(TestAttachmentPath)
#include "tst_attachmentpath.moc"
