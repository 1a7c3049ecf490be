#pragma once

#include "tray/TrayIconBackend.h"

#include <QObject>
#include <QString>
#include <QWidget>

#include <memory>

class TrayNotifier;

// Balloon icon kinds of the shell, as ShowBalloonTip takes them.
namespace TrayBalloonIcon {
constexpr qint32 Information = 1;
constexpr qint32 Warning = 2;
constexpr qint32 Error = 3;
} // namespace TrayBalloonIcon

// One icon in the notification area on behalf of a host window: icon, tooltip, balloon tips,
// and the clicks on it turned into events. Destroying it removes the icon at once.
class clsSysTray : public QObject {
    Q_OBJECT
public:
    explicit clsSysTray(std::unique_ptr<TrayIconBackend> backend, QObject *parent = nullptr);
    ~clsSysTray() override;

    void Init(QWidget *pfrm, const QString &pstrTooltip);
    // Raises the event of the shell code X; the button and the host play no part.
    void MouseMove(Qt::MouseButtons Button, qint32 X, QWidget *pfrm);
    void SetIcon(QWidget *pfrm);
    void ShowBalloonTip(const QString &pstrMessage, qint32 penIcon, const QString &pstrTitle,
                        qint32 plngTimeout);

    void setTooltipText(const QString &text);

    // The part of a tooltip the shell shows: its first 127 characters.
    static QString visibleTooltip(const QString &text);

signals:
    void LeftClick();
    void RightClick();
    void DoubleClick();
    void BalloonHide();
    void BalloonTimeOut();
    void BalloonClicked();

private:
    std::unique_ptr<TrayIconBackend> m_backend;
    QWidget *m_host = nullptr;
    TrayNotifier *m_hostNotifier = nullptr;
};
