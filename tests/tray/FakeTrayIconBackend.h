#pragma once

#include "tray/TrayIconBackend.h"

#include <QStringList>

#include <memory>

// What the tray component asked of the desktop; outlives the backend so removal can be checked.
struct TrayIconLog {
    QStringList calls;
    QIcon icon;
    QString toolTip;
    QStringList balloons; // "title|message|icon|timeout ms"
    std::function<void(qint32 code)> shellCodeHandler;

    void click(qint32 code) const { shellCodeHandler(code); }
};

class FakeTrayIconBackend : public TrayIconBackend {
public:
    explicit FakeTrayIconBackend(std::shared_ptr<TrayIconLog> log)
        : m_log(std::move(log)) {}

    void setShellCodeHandler(std::function<void(qint32 code)> handler) override {
        m_log->shellCodeHandler = std::move(handler);
    }
    void setIcon(const QIcon &icon) override {
        m_log->calls << QStringLiteral("setIcon");
        m_log->icon = icon;
    }
    void setToolTip(const QString &text) override {
        m_log->calls << QStringLiteral("setToolTip");
        m_log->toolTip = text;
    }
    void showMessage(const QString &title, const QString &message,
                     QSystemTrayIcon::MessageIcon icon, int timeoutMs) override {
        m_log->calls << QStringLiteral("showMessage");
        m_log->balloons
            << QStringLiteral("%1|%2|%3|%4").arg(title, message).arg(icon).arg(timeoutMs);
    }
    void show() override { m_log->calls << QStringLiteral("show"); }
    void remove() override {
        m_log->calls << QStringLiteral("remove");
        m_log->shellCodeHandler = nullptr;
    }

private:
    std::shared_ptr<TrayIconLog> m_log;
};
