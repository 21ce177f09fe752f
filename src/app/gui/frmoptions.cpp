#include "app/gui/frmoptions.h"

#include "app/options.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/gui/frmfilelist.h"
#include "filestore/history.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace krtp {

frmOptions::frmOptions(frmFileList& fileList) : QWidget(&fileList, Qt::Window), m_fileList(&fileList) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setAttribute(Qt::WA_DeleteOnClose);
    const auto named = [](QWidget* w, const char* name) { w->setObjectName(QLatin1String(name)); };

    fraListViewCurrentView = new QGroupBox(QStringLiteral("List Style"), this);
    named(fraListViewCurrentView, "fraListViewCurrentView");
    optList = new QRadioButton(QStringLiteral("&List"), fraListViewCurrentView);
    named(optList, "optList");
    optSmallIcons = new QRadioButton(QStringLiteral("Small &Icons"), fraListViewCurrentView);
    named(optSmallIcons, "optSmallIcons");
    optDetails = new QRadioButton(QStringLiteral("&Details"), fraListViewCurrentView);
    named(optDetails, "optDetails");
    auto* styles = new QVBoxLayout(fraListViewCurrentView);
    for (QRadioButton* b : {optList, optSmallIcons, optDetails})
        styles->addWidget(b);

    fraIcons = new QGroupBox(QStringLiteral("Icons"), this);
    named(fraIcons, "fraIcons");
    const auto box = [&](QCheckBox*& b, const char* name, const char* caption, QWidget* parent) {
        b = new QCheckBox(QLatin1String(caption), parent);
        named(b, name);
    };
    box(chkShowOutOfDateAsRed, "chkShowOutOfDateAsRed", "Show out-of-date files as a &Red Circle", fraIcons);
    box(chkShowUpToDateAsBlue, "chkShowUpToDateAsBlue", "Show up-to-date files as a &Blue Circle", fraIcons);
    box(chkShowCheckedOutAsGreen, "chkShowCheckedOutAsGreen", "Show checked out files as a &Green Circle",
        fraIcons);
    box(chkShowUnavailableAsYellow, "chkShowUnavailableAsYellow",
        "Show unavailable files as an &Yellow Circle", fraIcons);
    auto* icons = new QVBoxLayout(fraIcons);
    for (QCheckBox* b :
         {chkShowOutOfDateAsRed, chkShowUpToDateAsBlue, chkShowCheckedOutAsGreen, chkShowUnavailableAsYellow})
        icons->addWidget(b);
    box(chkShowOutdatedFilesOnStartup, "chkShowOutdatedFilesOnStartup", "Show Out-of-date Files On Startup",
        this);
    box(chkShowCheckedOutFilesOnExit, "chkShowCheckedOutFilesOnExit", "Show Checked Out Files On Exit", this);
    box(chkShowPreviewPane, "chkShowPreviewPane", "Show Preview Pane", this);
    box(chkNoReadOnly, "chkNoReadOnly", "Never Mark Local Files as Read Only", this);

    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    named(cmdOK, "cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    named(cmdCancel, "cmdCancel");

    // The buttons keep to the bottom.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(fraListViewCurrentView);
    column->addWidget(fraIcons);
    for (QCheckBox* b :
         {chkShowOutdatedFilesOnStartup, chkShowCheckedOutFilesOnExit, chkShowPreviewPane, chkNoReadOnly})
        column->addWidget(b);
    // The history's depth is one value for the whole site, read from the host when the window opens
    // (never while an operation uses the connection).
    if (runState().UserLevel == LevelAdministrator && !fileList.operations().busy()) {
        m_historyDepth = FileHistory(fileList.store()).depth();
        txtHistoryDepth = new QSpinBox(this);
        named(txtHistoryDepth, "txtHistoryDepth");
        txtHistoryDepth->setRange(1, history::kMaxDepth);
        txtHistoryDepth->setValue(m_historyDepth);
        auto* depth = new QFormLayout;
        depth->addRow(QStringLiteral("&Versions kept of each file:"), txtHistoryDepth);
        column->addLayout(depth);
    }
    column->addStretch(1);
    column->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        close();
    });

    // Loading: the icon positions are stored first, whatever the member then does here.
    fileList.SaveIcons();
    m_cancelled = false;
    const OptionBoxes b = LoadOptions(settingsStore(), fileList.viewStyle());
    (b.listStyle == 3 ? optDetails : b.listStyle == 1 ? optSmallIcons : optList)->setChecked(true);
    chkShowOutOfDateAsRed->setChecked(b.showOutOfDateAsRed);
    chkShowUpToDateAsBlue->setChecked(b.showUpToDateAsBlue);
    chkShowCheckedOutAsGreen->setChecked(b.showCheckedOutAsGreen);
    chkShowUnavailableAsYellow->setChecked(b.showUnavailableAsYellow);
    chkShowOutdatedFilesOnStartup->setChecked(b.showOutdatedFilesOnStartup);
    chkShowCheckedOutFilesOnExit->setChecked(b.showCheckedOutFilesOnExit);
    chkShowPreviewPane->setChecked(b.showPreviewPane);
    chkNoReadOnly->setChecked(b.noReadOnly);
    // Kept in place between openings, and inside the screen it opens on.
    (new WindowMemory(*this))->restore();
}

frmOptions* frmOptions::ShowOptions(frmFileList& fileList) {
    frmOptions* w = fileList.findChild<frmOptions*>(QStringLiteral("frmOptions"), Qt::FindDirectChildrenOnly);
    if (!w)
        w = new frmOptions(fileList);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void frmOptions::closeEvent(QCloseEvent* event) {
    unload();
    QWidget::closeEvent(event);
}

void frmOptions::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_cancelled || !m_fileList)
        return;
    OptionBoxes b;
    b.listStyle = optSmallIcons->isChecked() ? 1 : optList->isChecked() ? 2 : 3;
    b.showOutOfDateAsRed = chkShowOutOfDateAsRed->isChecked();
    b.showUpToDateAsBlue = chkShowUpToDateAsBlue->isChecked();
    b.showCheckedOutAsGreen = chkShowCheckedOutAsGreen->isChecked();
    b.showUnavailableAsYellow = chkShowUnavailableAsYellow->isChecked();
    b.showOutdatedFilesOnStartup = chkShowOutdatedFilesOnStartup->isChecked();
    b.showCheckedOutFilesOnExit = chkShowCheckedOutFilesOnExit->isChecked();
    b.showPreviewPane = chkShowPreviewPane->isChecked();
    b.noReadOnly = chkNoReadOnly->isChecked();
    const OptionsSaved saved = SaveOptions(settingsStore(), b);
    if (txtHistoryDepth && txtHistoryDepth->value() != m_historyDepth && !m_fileList->operations().busy()) {
        QString error;
        if (!FileHistory(m_fileList->store()).setDepth(txtHistoryDepth->value(), &error))
            m_fileList->store().dialogs().message(error, Dialogs::Icon::Critical, Dialogs::Ok);
    }
    frmFileList& list = *m_fileList;
    list.setViewStyle(saved.viewStyle);
    list.LoadIcons();
    // Not when the options close with the file list window itself.
    if (saved.coloursChanged && list.isVisible())
        list.UpdateFileList();
}

} // namespace krtp
