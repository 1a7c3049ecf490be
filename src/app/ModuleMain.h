#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class AccessReader;
class ErrorBox;
class InstanceGuard;

// The start-up sequence up to the attachment folder: single instance, the customer's VAT
// number, setws.ini, TempImg. Its collaborators are passed in so that every path is testable.
class ModuleMain {
public:
    struct Seams {
        QString applicationFolder;
        InstanceGuard &instanceGuard;
        ErrorBox &errorBox;
        AccessReader &databaseReader;
        std::function<void(int milliseconds)> wait;
    };

    enum class Outcome {
        Continue,      // the windows come next
        EndSilently,   // another instance runs (and was asked to show its chat), or no VAT number
        EndAfterError, // an error box was shown and dismissed
    };

    explicit ModuleMain(Seams seams);

    // Fills AppState; the caller ends the process unless the outcome is Continue.
    Outcome Main(const QString &commandLine);

    // Everything after the program's name, taken whole: one argument as given.
    static QString commandLineText(const QStringList &arguments);

private:
    Outcome readOrCreateSettingsFile();
    void ensureAttachmentFolder();
    Outcome endWithError(const QString &text);

    Seams m_seams;
};
