#pragma once

#include <QString>
#include <QVariant>

class AccessReader;
class ErrorBox;

// The business software's two databases, read for the customer's identity: the settings
// database at AppState::SettingsDbPath and the company database at AppState::DataPath.
class LocalDatabases {
public:
    LocalDatabases(AccessReader &reader, ErrorBox &errorBox);

    // Column name of table impostazioni, or the empty text; a settings database that cannot
    // be read is reported in one error box.
    QString ReadLocalSetting(const QString &name);
    // The first column of the first row that sql selects from the company database; an
    // invalid QVariant (Empty) when nothing was read, std::nullptr_t for Null.
    QVariant QueryFirstValue(const QString &sql);
    // Null and the empty text give the empty text, anything else its text form.
    static QString FieldToText(const QVariant &value);

private:
    AccessReader &m_reader;
    ErrorBox &m_errorBox;
};
