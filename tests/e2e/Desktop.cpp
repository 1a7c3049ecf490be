#include "Desktop.h"

#include <QProcess>
#include <QRegularExpression>

namespace {

// Bounds a tool on a loaded machine so that a fault ends the test; it measures nothing.
constexpr int kToolGuardMs = 30000;

bool run(const QString &program, const QStringList &arguments, QString *output = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kToolGuardMs))
        return false;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// xdotool's --shell output: one NAME=value line per value.
int shellValue(const QString &output, const QString &name) {
    const QRegularExpression line(QStringLiteral("^%1=(-?\\d+)$").arg(name),
                                  QRegularExpression::MultilineOption);
    return line.match(output).captured(1).toInt();
}

} // namespace

namespace Desktop {

QStringList windowsNamed(const QString &title) {
    QString output;
    // xdotool matches names as regular expressions; anchored, a plain title is matched whole.
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
         '^' + title + '$'},
        &output);
    return output.split('\n', Qt::SkipEmptyParts);
}

QRect windowGeometry(const QString &windowId) {
    QString output;
    if (!run(QStringLiteral("xdotool"),
             {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), windowId}, &output))
        return {};
    return QRect(shellValue(output, QStringLiteral("X")), shellValue(output, QStringLiteral("Y")),
                 shellValue(output, QStringLiteral("WIDTH")),
                 shellValue(output, QStringLiteral("HEIGHT")));
}

bool isViewable(const QString &windowId) {
    QString output;
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId}, &output) &&
           output.contains(QLatin1String("Map State: IsViewable"));
}

QSize screenSize() {
    QString output;
    if (!run(QStringLiteral("xdotool"),
             {QStringLiteral("getdisplaygeometry"), QStringLiteral("--shell")}, &output))
        return {};
    return QSize(shellValue(output, QStringLiteral("WIDTH")),
                 shellValue(output, QStringLiteral("HEIGHT")));
}

bool clickAt(const QString &windowId, const QPoint &point) {
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QStringLiteral("--window"), windowId,
                QString::number(point.x()), QString::number(point.y()), QStringLiteral("click"),
                QStringLiteral("1")});
}

bool type(const QString &text) {
    return run(QStringLiteral("xdotool"), {QStringLiteral("type"), text});
}

bool pressKey(const QString &keyName) {
    return run(QStringLiteral("xdotool"), {QStringLiteral("key"), keyName});
}

bool saveScreenshot(const QString &path) {
    return run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
}

} // namespace Desktop
