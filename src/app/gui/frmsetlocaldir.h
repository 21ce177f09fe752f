#pragma once

#include <QDialog>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

namespace krtp {

class SettingsStore;

// Chooses the local folder from a tree of the local file system. Modal; accepted when a folder was set.
class frmSetLocalDir : public QDialog {
    Q_OBJECT
public:
    explicit frmSetLocalDir(QWidget* parent = nullptr, SettingsStore* store = nullptr);

    // The tree's current path ("/" separators, no trailing separator except for the root).
    QString treePath() const;
    // Points the tree at path; an unusable path leaves it where it was.
    bool setTreePath(const QString& path);

    QTreeView* dirLocalFolder = nullptr;
    QLabel* lblSetLocalFolder = nullptr;
    QPushButton* cmdSetLocalDir = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void cmdSetLocalDir_Click();

private:
    SettingsStore& m_store;
    QFileSystemModel* m_model = nullptr;
    bool m_followCurrent = true; // until the member scrolls, clicks or types in the tree
};

} // namespace krtp
