#pragma once

#include "tray/TrayIconBackend.h"

#include <QSystemTrayIcon>

#include <optional>

// The tray icon on the desktop's own tray through QSystemTrayIcon.
class QtTrayIconBackend : public TrayIconBackend {
public:
    QtTrayIconBackend();

    // Qt reports a double click as Trigger then DoubleClick, the same order the shell codes have.
    static std::optional<qint32> shellCodeFor(QSystemTrayIcon::ActivationReason reason);

    void setShellCodeHandler(std::function<void(qint32 code)> handler) override;
    void setIcon(const QIcon &icon) override;
    void setToolTip(const QString &text) override;
    void showMessage(const QString &title, const QString &message,
                     QSystemTrayIcon::MessageIcon icon, int timeoutMs) override;
    void show() override;
    void remove() override;

private:
    void deliver(qint32 code) const;

    QSystemTrayIcon m_icon;
    std::function<void(qint32 code)> m_handler;
};
