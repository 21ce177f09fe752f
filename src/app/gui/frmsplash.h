#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace krtp {

// The splash shown from start-up until the main menu is open. A key press or a click on the
// frame closes it; closing it twice is harmless.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

    QFrame* Frame1 = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblCompany = nullptr;
    QLabel* lblPlatform = nullptr;
    QLabel* lblVersion = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace krtp
