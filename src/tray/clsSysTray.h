#pragma once

#include "tray/TrayIconBackend.h"

#include <QObject>
#include <QString>
#include <QWidget>

#include <memory>

class TrayNotifier;

// One icon in the notification area on behalf of a host window: icon, tooltip, balloon tips,
// and the clicks on it as events. Destroying it removes the icon at once.
class clsSysTray : public QObject {
    Q_OBJECT
public:
    explicit clsSysTray(std::unique_ptr<TrayIconBackend> backend, QObject *parent = nullptr);
    ~clsSysTray() override;

    void Init(QWidget *pfrm, const QString &pstrTooltip);
    void SetIcon(QWidget *pfrm);
    void ShowBalloonTip(const QString &pstrMessage, QSystemTrayIcon::MessageIcon penIcon,
                        const QString &pstrTitle, qint32 plngTimeout);
    bool trayAvailable() const;

    void setTooltipText(const QString &text);

    // The part of a tooltip the shell shows: its first 127 characters.
    static QString visibleTooltip(const QString &text);

signals:
    void LeftClick();
    void RightClick();
    void DoubleClick();
    void BalloonClicked();

private:
    std::unique_ptr<TrayIconBackend> m_backend;
    TrayNotifier *m_hostNotifier = nullptr;
};
