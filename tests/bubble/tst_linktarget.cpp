#include "bubble/LinkTarget.h"

#include <QTest>

class TestLinkTarget : public QObject {
    Q_OBJECT
private slots:
    void target_data();
    void target();
};

void TestLinkTarget::target_data() {
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("url");
    QTest::newRow("http as written") << "http://esempio.it/Pagina"
                                     << "http://esempio.it/Pagina";
    QTest::newRow("https in capitals keeps its case") << "HTTPS://ESEMPIO.IT/A"
                                                      << "https://esempio.it/A";
    QTest::newRow("www gets http://") << "www.esempio.it"
                                      << "http://www.esempio.it";
    QTest::newRow("probed bare address gets http://") << "esempio.it/pagina"
                                                      << "http://esempio.it/pagina";
    QTest::newRow("file scheme is never opened") << "file:///etc/passwd"
                                                 << "";
    QTest::newRow("javascript is never opened") << "javascript:alert(1)"
                                                << "";
    QTest::newRow("space makes no address") << "http://esempio.it/a b"
                                            << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestLinkTarget::target() {
    QFETCH(QString, shown);
    QFETCH(QString, url);
    QCOMPARE(LinkTarget(shown).toString(), url);
}

QTEST_APPLESS_MAIN(TestLinkTarget)
#include "tst_linktarget.moc"
