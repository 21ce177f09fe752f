#pragma once

#include <QListView>
#include <QStackedWidget>
#include <QTreeView>

namespace krtp {

class FileListModel;

// The icon views of the file list; gives access to item positions for the small-icon view.
class FileIconView : public QListView {
    Q_OBJECT
public:
    using QListView::QListView;
    QPoint itemPosition(const QModelIndex& index) const { return rectForIndex(index).topLeft(); }
    void setItemPosition(const QModelIndex& index, const QPoint& pos) { setPositionForIndex(pos, index); }
};

// The file list control: a details view with column headers and an icon view for the large-icon,
// small-icon and list styles, both on the same model and the same selection. The model's selected
// flags and the views' selection follow each other.
class FileListView : public QStackedWidget {
    Q_OBJECT
public:
    explicit FileListView(FileListModel& model, QWidget* parent = nullptr);

    FileListModel& model() { return m_model; }
    QTreeView* detailsView() const { return m_details; }
    FileIconView* iconView() const { return m_icons; }
    QAbstractItemView* currentView() const;

    int viewStyle() const { return m_style; }
    void setViewStyle(int style);
    // Column widths in twips, converted with the screen's logical resolution.
    void applyColumnWidths();
    // Each column as wide as its caption and content (within a limit); the last takes the free
    // width. Runs after every fill until the member sizes a column by hand.
    void fitColumns();
    bool columnsSizedByMember() const { return m_sizedByMember; }
    QList<int> columnWidths() const;
    // Widths the member chose earlier; the columns then stay as the member left them.
    void setColumnWidths(const QList<int>& widths);
    // Gives the views their input back (the list stays usable after a rebuild that failed).
    void releaseInput();
    void holdInput();

    // Small-icon positions between the icon view and the model.
    void pullPositions();
    void pushPositions();

    void scrollToKey(const QString& key);

signals:
    void clicked(const QString& key);
    void doubleClicked(const QString& key);
    void headerClicked(int column);
    // The entry with the focus changed (the one the Actions menu acts on).
    void currentKeyChanged();
    // Enter in the list, and the right button released over it (global position).
    void enterPressed();
    void contextMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void modelToSelection();
    void entryToSelection(const QString& key, bool selected);
    void selectionToModel();

    FileListModel& m_model;
    QTreeView* m_details;
    FileIconView* m_icons;
    QItemSelectionModel* m_selection;
    QAbstractItemDelegate* m_iconDelegate;
    QAbstractItemDelegate* m_sideDelegate;
    int m_style = -1;
    bool m_syncing = false;
    bool m_sizedByMember = false;
    bool m_sizing = false;
    bool m_fitPending = false;
    QList<int> m_memberWidths;
    bool m_hadFocus = false;
};

} // namespace krtp
