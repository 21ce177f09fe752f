#pragma once

#include "filestore/companionlist.h"

#include <QWidget>

class QPushButton;
class QTreeView;

namespace krtp {

class frmFileList;

// The shared window of the two companion lists: the file list's entries of one kind with tick
// boxes, and one button that runs the file list's operation on the ticked entries. Modeless, owned
// by the file list window; deleted when closed.
class frmCompanionList : public QWidget {
    Q_OBJECT
public:
    // Rebuilds the list from the file list window's list.
    void RefreshList();
    CompanionListModel& model() { return m_list; }

protected:
    struct Texts {
        const char* objectName;
        const char* caption;
        const char* listName;
        const char* buttonName;
        const char* buttonCaption;
    };
    frmCompanionList(CompanionKind kind, const Texts& texts, frmFileList& owner);
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void runAction();
    void layOut();

    frmFileList& m_owner;
    CompanionListModel m_list;
    QTreeView* m_view;
    QWidget* picButtons;
    QPushButton* m_action;
    QPushButton* cmdClose;
    // Set when the window unloads: the action may return after the member closed the window.
    std::shared_ptr<bool> m_unloaded;
};

// The member's check-outs; the button checks the ticked ones in.
class frmCheckedOutFiles : public frmCompanionList {
    Q_OBJECT
public:
    explicit frmCheckedOutFiles(frmFileList& owner);
};

// Files whose local version differs from the catalogue's; the button gets their latest versions.
class frmOutdatedFiles : public frmCompanionList {
    Q_OBJECT
public:
    explicit frmOutdatedFiles(frmFileList& owner);
};

} // namespace krtp
