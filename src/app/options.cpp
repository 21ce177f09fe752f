#include "app/options.h"

#include "config/runstate.h"
#include "config/settingsstore.h"

namespace krtp {

const QList<OptionBox>& OptionBoxKeys() {
    // In the order the window writes them: the colours, then the other four.
    static const QList<OptionBox> keys = {
        {&settings::ShowOutOfDateAsRed, &OptionBoxes::showOutOfDateAsRed},
        {&settings::ShowUpToDateAsBlue, &OptionBoxes::showUpToDateAsBlue},
        {&settings::ShowCheckedOutAsGreen, &OptionBoxes::showCheckedOutAsGreen},
        {&settings::ShowUnavailableAsYellow, &OptionBoxes::showUnavailableAsYellow},
        {&settings::ShowOutdatedFilesOnStartup, &OptionBoxes::showOutdatedFilesOnStartup},
        {&settings::ShowCheckedOutFilesOnExit, &OptionBoxes::showCheckedOutFilesOnExit},
        {&settings::ShowPreviewPane, &OptionBoxes::showPreviewPane},
        {&settings::NoReadOnly, &OptionBoxes::noReadOnly},
    };
    return keys;
}

int OptionListStyle(int viewStyle) {
    if (viewStyle == 3 || viewStyle == 1)
        return viewStyle;
    return 2;
}

OptionBoxes LoadOptions(const SettingsStore& store, int viewStyle) {
    OptionBoxes b;
    b.listStyle = OptionListStyle(viewStyle);
    for (const OptionBox& o : OptionBoxKeys())
        b.*o.box = store.isYes(*o.key);
    return b;
}

OptionsSaved SaveOptions(SettingsStore& store, const OptionBoxes& boxes) {
    OptionsSaved saved;
    saved.viewStyle = boxes.listStyle == 1 ? 1 : boxes.listStyle == 2 ? 2 : 3;
    store.set(settings::CurrentView, QString::number(saved.viewStyle));
    saved.written << QLatin1String(settings::CurrentView.key);
    const QList<OptionBox>& keys = OptionBoxKeys();
    for (int i = 0; i < keys.size(); ++i) {
        const OptionBox& o = keys.at(i);
        const bool ticked = boxes.*o.box;
        if (ticked == store.isYes(*o.key))
            continue;
        store.set(*o.key, ticked ? QStringLiteral("Yes") : QStringLiteral("No"));
        saved.written << QLatin1String(o.key->key);
        if (i < 4)
            saved.coloursChanged = true;
    }
    runState().NoReadOnly = store.isYes(settings::NoReadOnly);
    return saved;
}

} // namespace krtp
