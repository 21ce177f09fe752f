#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace krtp {

class SettingsStore;
struct SettingKey;

// The options window's settings apart from its widgets: the list style and eight boxes, read from
// the settings, and written back only where a box differs from the stored value.
struct OptionBoxes {
    int listStyle = 3; // 1 small icons, 2 list, 3 details
    bool showOutOfDateAsRed = false;
    bool showUpToDateAsBlue = false;
    bool showCheckedOutAsGreen = false;
    bool showUnavailableAsYellow = false;
    bool showOutdatedFilesOnStartup = false;
    bool showCheckedOutFilesOnExit = false;
    bool showPreviewPane = false;
    bool noReadOnly = false;
};

// The style the window selects for a list in viewStyle: details (3) and small icons (1) as they are,
// every other style (large icons too) as the list style (2).
int OptionListStyle(int viewStyle);
OptionBoxes LoadOptions(const SettingsStore& store, int viewStyle);

struct OptionsSaved {
    int viewStyle = 3;           // to apply to the file list
    bool coloursChanged = false; // the file list must be rebuilt to show the new colouring
    QStringList written;         // keys written, in order ("/CurrentView" first)
};
// Writes the list style, then each box that differs from its stored value ("Yes" ticked, "No" not),
// and sets the run-time never-read-only flag from the stored value.
OptionsSaved SaveOptions(SettingsStore& store, const OptionBoxes& boxes);

// The eight boxes by their setting keys, for the command line.
struct OptionBox {
    const SettingKey* key;
    bool OptionBoxes::*box;
};
const QList<OptionBox>& OptionBoxKeys();

} // namespace krtp
