#include "app/LocalDatabases.h"

#include "app/AccessReader.h"
#include "app/ErrorBox.h"
#include "app/SelectStatement.h"
#include "core/AppState.h"
#include "core/FileChecks.h"

namespace {
constexpr QLatin1String kSettingsTable("impostazioni");
constexpr QLatin1String kBoxTitle("Brenno");
const QString kUnreadableSettings = QStringLiteral("Impossibile aprire il file di impostazioni.");
} // namespace

LocalDatabases::LocalDatabases(AccessReader &reader, ErrorBox &errorBox)
    : m_reader(reader)
    , m_errorBox(errorBox) {}

QString LocalDatabases::ReadLocalSetting(const QString &name) {
    const QString path = AppState::instance().SettingsDbPath;
    if (!FileExists(path))
        return QString();
    // The name goes into the statement unchanged; one that breaks the form selects nothing,
    // but the file is still opened so that an unreadable one is reported.
    const std::optional<SelectStatement> statement = SelectStatement::parse(
        QLatin1String("SELECT ") + name + QLatin1String(" FROM ") + kSettingsTable);
    const AccessReader::FirstValue read =
        statement ? m_reader.readFirstValue(path, statement->table, statement->column)
                  : m_reader.readFirstValue(path, QString(), QString());
    if (!read.readable) {
        m_errorBox.showError(kBoxTitle, kUnreadableSettings);
        return QString();
    }
    return FieldToText(read.value);
}

QVariant LocalDatabases::QueryFirstValue(const QString &sql) {
    const QString path = AppState::instance().DataPath;
    const std::optional<SelectStatement> statement = SelectStatement::parse(sql);
    if (path.isEmpty() || !statement)
        return QVariant();
    return m_reader.readFirstValue(path, statement->table, statement->column).value;
}

QString LocalDatabases::FieldToText(const QVariant &value) {
    if (!value.isValid() || value.isNull())
        return QString();
    return value.toString();
}
