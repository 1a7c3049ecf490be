#include "OperatorCalls.h"
#include "ServiceProcess.h"

#include <QJsonArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr auto kVatNumber = "01234567890";
constexpr auto kSelfTestText = "Prova dalla console";
// Chromium runs the page's timers and fetches in virtual time and dumps the page afterwards.
constexpr auto kVirtualTimeBudgetMs = "10000";
constexpr int kBrowserGuardMs = 120000;

QString findChromium() {
    for (const char *name : {"chromium", "chromium-browser", "google-chrome"}) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

} // namespace

// The operator console in a headless browser: it loads, lists the ticket and sends a text that
// the service stores.
class TestOperatorConsole : public QObject {
    Q_OBJECT

private slots:
    void selfTestSendsAMessage();
};

void TestOperatorConsole::selfTestSendsAMessage() {
    const QString chromium = findChromium();
    if (chromium.isEmpty())
        QSKIP("chromium is not installed");

    ServiceProcess service;
    QVERIFY(service.start({"--memory", "--open-ticket", kVatNumber}));
    QTemporaryDir profile;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), profile.path());
    QProcess browser;
    browser.setProcessEnvironment(environment);
    browser.start(chromium,
                  {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                   "--disable-component-update", "--disable-sync", "--no-first-run",
                   "--user-data-dir=" + profile.filePath(QStringLiteral("profile")),
                   QStringLiteral("--virtual-time-budget=") + kVirtualTimeBudgetMs, "--dump-dom",
                   QStringLiteral("http://127.0.0.1:%1/operator?selftest=1").arg(service.port())});
    QVERIFY(browser.waitForFinished(kBrowserGuardMs));
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());

    const auto client = service.client();
    const QJsonArray messages =
        OperatorCalls::conversation(*client, 1).json.value("messages").toArray();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0]["testo"].toString(), QLatin1String(kSelfTestText));
    QCOMPARE(messages[0]["idoperatore"].toInt(), 7);

    QVERIFY2(dom.contains(QStringLiteral("#1 ") + kVatNumber), qPrintable(dom));
    QVERIFY2(dom.contains(QStringLiteral("selftest ok: ticket 1, messaggio %1, messaggi mostrati 1")
                              .arg(messages[0]["id"].toInt())),
             qPrintable(dom));
    QVERIFY2(dom.contains(QStringLiteral("<div class=\"msg operator\">") + kSelfTestText),
             qPrintable(dom));
    QCOMPARE(service.stop(), 0);
}

QTEST_GUILESS_MAIN(TestOperatorConsole)
#include "tst_operatorconsole.moc"
