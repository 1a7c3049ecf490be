#include "app/ModuleMain.h"

#include "app/ErrorBox.h"
#include "app/InstanceGuard.h"
#include "app/LocalDatabases.h"
#include "core/AppState.h"
#include "core/FileChecks.h"
#include "core/IniGest.h"
#include "core/LinkFreePath.h"
#include "core/Numbers.h"
#include "core/ServiceProtocol.h"

#include <QDir>
#include <QFile>

#include <array>

namespace {

constexpr QLatin1String kSettingsDbPath("/../SetLKT10.mdb");
constexpr QLatin1String kSettingsFile("/setws.ini");
constexpr QLatin1String kSettingsSection("Settings");
constexpr QLatin1String kDataPathColumn("DataPath");
constexpr QLatin1String kVatNumberQuery("SELECT PIva FROM Aziende");
constexpr QLatin1String kErrorTitle("Errore");
constexpr int kSettingsSettleMs = 500;

const QString kNoSettingsDatabase = QStringLiteral(
    "Non è stato trovato il file delle impostazioni locali. Impossibile avviare l'applicazione.");
const QString kNoCompanyDatabase = QStringLiteral("Non è stato trovato il file database in ");
const QString kCannotStart = QStringLiteral(". Impossibile avviare l'applicazione.");
const QString kNoSettingsFile =
    QStringLiteral("File setws.ini non trovato. Impossibile avviare l'applicazione.");

// The keys of setws.ini in the order they are created and read, with their creation values;
// Timer is a number, the others flags that are on exactly at 1.
struct SettingsKey {
    QLatin1String name;
    int created;
};
constexpr SettingsKey kTimer{QLatin1String("Timer"), 180};
constexpr std::array<SettingsKey, 6> kSettingsKeys = {{kTimer,
                                                       {QLatin1String("InputON"), 1},
                                                       {QLatin1String("OutputON"), 1},
                                                       {QLatin1String("Interface"), 0},
                                                       {QLatin1String("Log"), 0},
                                                       {QLatin1String("TotalSync"), 0}}};
const std::array<bool AppState::*, 5> kFlagFields = {&AppState::InputON, &AppState::OutputON,
                                                     &AppState::Interface, &AppState::Log,
                                                     &AppState::TotalSync};

// A key that is missing, empty or not a number keeps its creation value.
double settingsNumber(const QString &path, const SettingsKey &key) {
    return NumberOf(ReadIniValue(path, kSettingsSection, key.name)).value_or(key.created);
}

} // namespace

ModuleMain::ModuleMain(Seams seams)
    : m_seams(std::move(seams)) {}

QString ModuleMain::commandLineText(const QStringList &arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

ModuleMain::Outcome ModuleMain::Main(const QString &commandLine) {
    AppState &state = AppState::instance();
    state.ApplicationFolder = m_seams.applicationFolder;
    if (!m_seams.instanceGuard.acquire()) {
        // Without a tray a started program is the customer's only way back to the chat.
        m_seams.instanceGuard.activateRunning();
        return Outcome::EndSilently;
    }

    // The parent-folder step stays in the path, as the business software writes it.
    state.SettingsDbPath = state.ApplicationFolder + kSettingsDbPath;
    state.VatNumber = commandLine;
    if (state.VatNumber.isEmpty()) {
        LocalDatabases databases(m_seams.databaseReader, m_seams.errorBox);
        state.DataPath = databases.ReadLocalSetting(kDataPathColumn);
        if (!FileExists(state.SettingsDbPath))
            return endWithError(kNoSettingsDatabase);
        if (!FileExists(state.DataPath))
            return endWithError(kNoCompanyDatabase + state.DataPath + kCannotStart);
        state.VatNumber = LocalDatabases::FieldToText(databases.QueryFirstValue(kVatNumberQuery));
    }
    if (state.VatNumber.isEmpty())
        return Outcome::EndSilently;

    const Outcome settings = readOrCreateSettingsFile();
    if (settings != Outcome::Continue)
        return settings;
    ensureAttachmentFolder();
    return Outcome::Continue;
}

ModuleMain::Outcome ModuleMain::readOrCreateSettingsFile() {
    AppState &state = AppState::instance();
    const QString path = state.ApplicationFolder + kSettingsFile;
    if (!FileExists(path) && MayWriteTo(path)) {
        QFile created(path);
        if (created.open(QIODevice::Append))
            created.close();
        for (const SettingsKey &key : kSettingsKeys)
            WriteIniValue(path, kSettingsSection, key.name, QString::number(key.created));
        m_seams.wait(kSettingsSettleMs);
    }
    if (!FileExists(path))
        return endWithError(kNoSettingsFile);

    // Only Timer is rounded (out of range it keeps its creation value); Log=0.6 stays off.
    state.Timer = RoundToInt32(settingsNumber(path, kTimer)).value_or(kTimer.created);
    for (size_t i = 0; i < kFlagFields.size(); ++i)
        state.*kFlagFields[i] = settingsNumber(path, kSettingsKeys[i + 1]) == 1.0;
    return Outcome::Continue;
}

// Start-up goes on without the folder when it cannot be made; pictures then fail one by one.
void ModuleMain::ensureAttachmentFolder() {
    const QString folder = AppState::instance().ApplicationFolder + QLatin1Char('/') +
                           QLatin1String(ServiceProtocol::kPictureFolder) + QLatin1Char('/');
    if (!FolderExists(folder))
        QDir().mkdir(folder);
}

ModuleMain::Outcome ModuleMain::endWithError(const QString &text) {
    m_seams.errorBox.showError(kErrorTitle, text);
    return Outcome::EndAfterError;
}
