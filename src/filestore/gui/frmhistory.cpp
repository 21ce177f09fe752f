#include "filestore/gui/frmhistory.h"

#include "filestore/filestore.h"
#include "filestore/history.h"
#include "filestore/storeoperations.h"
#include "filestore/textdiff.h"
#include "platform/dialogs.h"
#include "util/fileutil.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace krtp {

frmHistory::frmHistory(StoreOperations& ops, const QString& key, QWidget* parent)
    : QDialog(parent), m_ops(ops), m_key(key) {
    setObjectName(QStringLiteral("frmHistory"));
    const ListEntry* e = ops.store().list().find(key);
    m_name = e ? e->text : key;
    m_current = e ? int(LeadingNumber(e->columns.value(QLatin1String(columns::kVer)))) : 0;
    setWindowTitle(QStringLiteral("History of ") + m_name);
    resize(720, 480);

    lvwVersions = new QTreeWidget(this);
    lvwVersions->setObjectName(QStringLiteral("lvwVersions"));
    lvwVersions->setHeaderLabels({QStringLiteral("Version"), QStringLiteral("Member"),
                                  QStringLiteral("Date and time"), QStringLiteral("Size"),
                                  QStringLiteral("Comment")});
    lvwVersions->setRootIsDecorated(false);
    lvwVersions->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwVersions->header()->setStretchLastSection(true);
    txtShow = new QTextEdit(this);
    txtShow->setObjectName(QStringLiteral("txtShow"));
    txtShow->setReadOnly(true);
    txtShow->setLineWrapMode(QTextEdit::NoWrap);
    txtShow->setFontFamily(QStringLiteral("monospace"));

    const auto button = [this](QPushButton*& b, const char* name, const char* caption, const char* tip) {
        b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(QString::fromUtf8(tip));
    };
    button(cmdView, "cmdView", "&View", "Shows the selected version below, read-only");
    button(cmdSaveAs, "cmdSaveAs", "&Save As...", "Saves the selected version as a file of your choice");
    button(cmdCompare, "cmdCompare", "&Compare",
           "Compares the two selected versions, or the selected one with your own copy");
    button(
        cmdRestore, "cmdRestore", "&Restore",
        "Makes the selected version the newest one (checked out and in with the comment \"Restored version "
        "N\")");
    button(cmdClose, "cmdClose", "Close", "Closes this window");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdView, cmdSaveAs, cmdCompare, cmdRestore})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvwVersions, 2);
    layout->addLayout(buttons);
    layout->addWidget(txtShow, 3);

    connect(cmdView, &QPushButton::clicked, this, &frmHistory::ViewVersion);
    connect(cmdSaveAs, &QPushButton::clicked, this, &frmHistory::SaveVersionAs);
    connect(cmdCompare, &QPushButton::clicked, this, &frmHistory::CompareVersions);
    connect(cmdRestore, &QPushButton::clicked, this, &frmHistory::RestoreVersion);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(lvwVersions, &QTreeWidget::itemSelectionChanged, this, &frmHistory::enableButtons);
    connect(lvwVersions, &QTreeWidget::itemDoubleClicked, this, &frmHistory::ViewVersion);
}

void frmHistory::LoadVersions() {
    lvwVersions->clear();
    FileHistory history(m_ops.store());
    const QList<history::Record> records = history.Versions(m_name);
    for (qsizetype i = records.size() - 1; i >= 0; --i) {
        const history::Record& r = records[i];
        auto* item = new QTreeWidgetItem(lvwVersions);
        item->setText(0, QString::number(r.version));
        item->setData(0, Qt::UserRole, r.version);
        item->setText(1, r.member);
        item->setText(2, r.utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        item->setText(3, QString::number(r.size));
        item->setText(4, r.comment);
    }
    for (int c = 0; c < 4; ++c)
        lvwVersions->resizeColumnToContents(c);
    if (records.isEmpty())
        txtShow->setPlainText(QStringLiteral("No earlier versions of ") + m_name +
                              QStringLiteral(" are kept."));
    else
        lvwVersions->setCurrentItem(lvwVersions->topLevelItem(0));
    enableButtons();
}

QList<int> frmHistory::selectedVersions() const {
    QList<int> out;
    for (const QTreeWidgetItem* item : lvwVersions->selectedItems())
        out << item->data(0, Qt::UserRole).toInt();
    std::sort(out.begin(), out.end());
    return out;
}

void frmHistory::enableButtons() {
    const qsizetype n = selectedVersions().size();
    cmdView->setEnabled(n == 1);
    cmdSaveAs->setEnabled(n == 1);
    cmdCompare->setEnabled(n == 1 || n == 2);
    cmdRestore->setEnabled(n == 1);
}

bool frmHistory::fetch(int version, QByteArray& data) {
    FileHistory history(m_ops.store());
    const QString scratch = QStringLiteral("_files.history.view");
    QString error;
    const bool got = history.FetchVersion(m_name, version, m_current, scratch, &error) &&
                     ReadWholeFile(scratch, data, &error);
    QFile::remove(scratch);
    if (!got)
        m_ops.store().dialogs().message(error, Dialogs::Icon::Critical, Dialogs::Ok);
    return got;
}

void frmHistory::ViewVersion() {
    const QList<int> v = selectedVersions();
    QByteArray data;
    if (v.size() != 1 || !fetch(v.first(), data))
        return;
    if (IsBinaryData(data))
        txtShow->setPlainText(QStringLiteral("Version ") + QString::number(v.first()) +
                              QStringLiteral(" is a binary file of ") + QString::number(data.size()) +
                              QStringLiteral(" bytes."));
    else
        txtShow->setPlainText(QString::fromUtf8(data));
}

void frmHistory::SaveVersionAs() {
    const QList<int> v = selectedVersions();
    if (v.size() != 1)
        return;
    Dialogs& d = m_ops.store().dialogs();
    const std::optional<QString> target = d.saveFile(
        QStringLiteral("Save version ") + QString::number(v.first()) + QStringLiteral(" of ") + m_name,
        m_name + QStringLiteral(".v") + QString::number(v.first()));
    QByteArray data;
    if (!target || !fetch(v.first(), data))
        return;
    QString error;
    if (!WriteWholeFile(*target, data, &error))
        d.message(error, Dialogs::Icon::Critical, Dialogs::Ok);
}

void frmHistory::CompareVersions() {
    const QList<int> v = selectedVersions();
    QByteArray a, b;
    QString toLabel;
    if (v.size() == 2) {
        if (!fetch(v[0], a) || !fetch(v[1], b))
            return;
        toLabel = m_name + QStringLiteral(" (version ") + QString::number(v[1]) + QLatin1Char(')');
    } else if (v.size() == 1) {
        QString error;
        if (!fetch(v[0], a))
            return;
        if (!ReadWholeFile(m_name, b, &error)) {
            m_ops.store().dialogs().message(error, Dialogs::Icon::Critical, Dialogs::Ok);
            return;
        }
        toLabel = m_name + QStringLiteral(" (your copy)");
    } else {
        return;
    }
    const TextDiff diff = krtp::CompareVersions(
        a, b, m_name + QStringLiteral(" (version ") + QString::number(v[0]) + QLatin1Char(')'), toLabel);
    if (!diff.different) {
        txtShow->setPlainText(QStringLiteral("The two are the same."));
        return;
    }
    // Removed lines red, added lines green, hunk headers blue.
    QString html = QStringLiteral("<pre style=\"font-family: monospace\">");
    for (const QString& line : diff.text.split(QLatin1Char('\n'))) {
        QString colour;
        if (!diff.binary && line.startsWith(QLatin1Char('+')) && !line.startsWith(QLatin1String("+++")))
            colour = QStringLiteral("#d8f5d0");
        else if (!diff.binary && line.startsWith(QLatin1Char('-')) && !line.startsWith(QLatin1String("---")))
            colour = QStringLiteral("#f8d4d4");
        else if (line.startsWith(QLatin1String("@@")))
            colour = QStringLiteral("#d8e4f8");
        const QString escaped = line.toHtmlEscaped();
        html += colour.isEmpty() ? escaped
                                 : QStringLiteral("<span style=\"background-color:") + colour +
                                       QStringLiteral("\">") + escaped + QStringLiteral("</span>");
        html += QLatin1Char('\n');
    }
    html += QStringLiteral("</pre>");
    txtShow->setHtml(html);
}

void frmHistory::RestoreVersion() {
    const QList<int> v = selectedVersions();
    if (v.size() != 1)
        return;
    Dialogs& d = m_ops.store().dialogs();
    const std::optional<QString> note = d.input(
        QStringLiteral("Restore version ") + QString::number(v.first()),
        QStringLiteral("Version ") + QString::number(v.first()) + QStringLiteral(" of ") + m_name +
            QStringLiteral(" becomes the newest version, with the comment \"") +
            RestoredComment(v.first(), QString()) + QStringLiteral("\".  You may add to the comment:"));
    if (!note)
        return;
    if (krtp::RestoreVersion(m_ops, m_key, v.first(), *note)) {
        const ListEntry* e = m_ops.store().list().find(m_key);
        m_current = e ? int(LeadingNumber(e->columns.value(QLatin1String(columns::kVer)))) : m_current;
        LoadVersions();
    }
}

} // namespace krtp
