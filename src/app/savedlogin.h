#pragma once

#include <QString>

namespace krtp {

class Keyring;
class SettingsStore;

// The saved login's password lives in the desktop's keyring when one answers, and only then is it
// left out of the settings file (Login / Password written empty); without a keyring it stays in the
// owner-only settings file. Login / SavePassword keeps its meaning either way.

// The keyring entry of a member's saved password at the configured site. Names compare ignoring
// case and surrounding blanks at login, so they do here.
QString SavedPasswordKey(const QString& userName);

// The saved password of the settings' Login / UserName: from the keyring when it holds one, else
// from the settings file (saved before there was a keyring, or while it did not answer). Empty when
// saving is off. keyring may be null.
QString LoadSavedPassword(const SettingsStore& store, Keyring* keyring);

// Writes Login / UserName, SavePassword and Password after a login. With save, the password goes to
// the keyring, or to the file when the keyring takes none; without, it is removed from both. An
// entry left under a previous user name is removed too.
void SaveLogin(SettingsStore& store, Keyring* keyring, const QString& userName, const QString& password,
               bool save);

} // namespace krtp
