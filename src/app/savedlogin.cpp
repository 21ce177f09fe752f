#include "app/savedlogin.h"

#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "platform/keyring.h"

namespace krtp {

namespace {

bool saving(const SettingsStore& store) {
    return store.get(settings::LoginSavePassword).toLower() == QLatin1String("yes");
}

} // namespace

QString SavedPasswordKey(const QString& userName) {
    return userName.trimmed().toLower() + QStringLiteral(" at ") + siteConfig().baseUrl;
}

QString LoadSavedPassword(const SettingsStore& store, Keyring* keyring) {
    if (!saving(store))
        return {};
    if (keyring && keyring->usable()) {
        const Keyring::Answer a = keyring->read(SavedPasswordKey(store.get(settings::LoginUserName)));
        if (a.ok())
            return a.secret;
    }
    return store.get(settings::LoginPassword);
}

void SaveLogin(SettingsStore& store, Keyring* keyring, const QString& userName, const QString& password,
               bool save) {
    const QString previousName = store.get(settings::LoginUserName);
    const QString previousKey = previousName.trimmed().isEmpty() ? QString() : SavedPasswordKey(previousName);
    const QString key = SavedPasswordKey(userName);
    store.set(settings::LoginUserName, userName);
    store.set(settings::LoginSavePassword, save ? QStringLiteral("Yes") : QStringLiteral("No"));
    const bool usable = keyring && keyring->usable();
    if (usable && !previousKey.isEmpty() && previousKey != key)
        keyring->remove(previousKey);
    if (!save) {
        if (usable)
            keyring->remove(key);
        store.set(settings::LoginPassword, QString());
        return;
    }
    const bool inKeyring = usable && keyring->write(key, password).ok();
    store.set(settings::LoginPassword, inKeyring ? QString() : password);
}

} // namespace krtp
