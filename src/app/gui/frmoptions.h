#pragma once

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace krtp {

class frmFileList;

// The file store's preferences. Modeless; everything is saved when the window closes, unless it
// was cancelled, and a box that matches its stored value writes nothing.
class frmOptions : public QWidget {
    Q_OBJECT
public:
    explicit frmOptions(frmFileList& fileList);

    // Shows the one options window of a file list window (made on first use).
    static frmOptions* ShowOptions(frmFileList& fileList);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Controls; each carries its name as objectName, by which tests find it.
    QGroupBox* fraListViewCurrentView;
    QRadioButton* optList;
    QRadioButton* optSmallIcons;
    QRadioButton* optDetails;
    QGroupBox* fraIcons;
    QCheckBox* chkShowOutOfDateAsRed;
    QCheckBox* chkShowUpToDateAsBlue;
    QCheckBox* chkShowCheckedOutAsGreen;
    QCheckBox* chkShowUnavailableAsYellow;
    QCheckBox* chkShowOutdatedFilesOnStartup;
    QCheckBox* chkShowCheckedOutFilesOnExit;
    QCheckBox* chkShowPreviewPane;
    QCheckBox* chkNoReadOnly;
    // Administrators only: the site-wide number of versions the history keeps of each file.
    QSpinBox* txtHistoryDepth = nullptr;
    int m_historyDepth = 0;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void unload();

    QPointer<frmFileList> m_fileList;
    bool m_cancelled = false;
    bool m_unloaded = false;
};

} // namespace krtp
