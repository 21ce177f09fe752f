#pragma once

#include <QDialog>
#include <QHash>
#include <QIcon>

namespace krtp {

// The legend of the file list's status icons: each coloured circle with what it means, and how the
// colour options bring file-type icons instead. Opened from the Help menu; not modal.
class frmStatusIcons : public QDialog {
    Q_OBJECT
public:
    frmStatusIcons(const QHash<QString, QIcon>& images, QWidget* parent = nullptr);
};

} // namespace krtp
