// How the chat window answers the keyboard while an exchange is held: the service holds the
// getchat that follows a sent message for 10 s, a key press reaches the window through the
// window system's queue, as a real keyboard's does, and the row is the time until the input box
// holds the character.
#include "BenchTable.h"
#include "EventLoopWait.h"
#include "LoopbackServer.h"

#include "chat/ChatFrm.h"
#include "core/AppState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <qpa/qwindowsysteminterface.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

constexpr auto kHeldFor = std::chrono::seconds(10);
constexpr int kWaitLimitMs = 30000;

std::string answer(const char *operation, const char *fields) {
    return std::string("<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/"
                       "envelope/\" xmlns:ns1=\"urn:chat\"><SOAP-ENV:Body><ns1:") +
           operation + "Response><status>OK</status>" + fields + "</ns1:" + operation +
           "Response></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

// A key as the window system delivers it: queued, not sent straight to the widget.
void typeThroughTheWindowSystem(QWindow *window, Qt::Key key, const QString &text) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
            window, type, key, Qt::NoModifier, text);
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    std::atomic<bool> getchatHeld{false};
    LoopbackServer service;
    service.server().Post(
        ".*", [&getchatHeld](const httplib::Request &request, httplib::Response &response) {
            const std::string &body = request.body;
            if (body.find("chat:getticket") != std::string::npos)
                return response.set_content(answer("getticket", "<id>57</id>"), "text/xml");
            if (body.find("chat:getchat") != std::string::npos) {
                getchatHeld = true;
                std::this_thread::sleep_for(kHeldFor);
                return response.set_content(answer("getchat", ""), "text/xml");
            }
            response.set_content(answer("setchat", ""), "text/xml");
        });
    service.start();
    qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(service.baseUrl()));
    QTemporaryDir folder;
    AppState::instance().ApplicationFolder = folder.path();
    AppState::instance().VatNumber = QStringLiteral("01234567890");

    ChatFrm window;
    auto *input = window.findChild<QLineEdit *>(QStringLiteral("TextMsg"));
    window.show();
    window.activateWindow();
    input->setFocus();
    if (!runEventsUntil([input] { return input->hasFocus(); }, kWaitLimitMs)) {
        std::fprintf(stderr, "bench_input: the input box never took the focus\n");
        return 1;
    }
    input->setText(QStringLiteral("ciao"));
    // The key is typed from a timer, which fires inside any event loop the exchange may run.
    QElapsedTimer clock;
    qint64 typedAtNs = -1;
    QTimer typist;
    QObject::connect(&typist, &QTimer::timeout, [&] {
        if (!getchatHeld || clock.isValid())
            return;
        clock.start();
        typeThroughTheWindowSystem(window.windowHandle(), Qt::Key_X, QStringLiteral("x"));
    });
    QObject::connect(input, &QLineEdit::textChanged, [&](const QString &text) {
        if (clock.isValid() && text.endsWith(QLatin1Char('x')) && typedAtNs < 0)
            typedAtNs = clock.nsecsElapsed();
    });
    typist.start(1);
    typeThroughTheWindowSystem(window.windowHandle(), Qt::Key_Return, QStringLiteral("\r"));
    if (!runEventsUntil([&typedAtNs] { return typedAtNs >= 0; }, kWaitLimitMs)) {
        std::fprintf(stderr, "bench_input: the key never reached the input box\n");
        return 1;
    }
    printRow(QStringLiteral("input while an exchange is held: key to text in the box"),
             typedAtNs / 1e6, QStringLiteral("ms"));
    return 0;
}
