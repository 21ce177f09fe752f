// The large inputs the readers must take in their stride: a 30,000-entry catalogue and a 10 MB
// account file, each read within a second.
#include "accounts/accountfile.h"
#include "filestore/catalogue.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cstdio>

int main() {
    QByteArray catalogue = "2.0.5\r\n30000\r\n";
    for (int i = 0; i < 30000; ++i)
        catalogue += "\"page" + QByteArray::number(i) +
                     ".html\",3,\"\",\"author\",\"A description of the page, long enough to be typical\","
                     "\"someone: last change\"\r\n";
    QElapsedTimer t;
    t.start();
    const krtp::CatalogueDocument doc = krtp::ParseCatalogue(catalogue);
    const qint64 catalogueMs = t.elapsed();

    QByteArray accounts;
    accounts.reserve(10 * 1024 * 1024);
    for (int i = 0; accounts.size() < 10 * 1024 * 1024; ++i)
        accounts +=
            krtp::EncodeAccountRecord({QStringLiteral("member%1").arg(i), QStringLiteral("pw%1").arg(i), 3});
    t.start();
    const QList<krtp::AccountRecord> records = krtp::ReadAccountRecords(accounts);
    const qint64 accountsMs = t.elapsed();

    std::printf(
        "30,000-entry catalogue: %lld ms (%lld records, %s); 10 MB account file: %lld ms (%lld records)\n",
        catalogueMs, qint64(doc.records.size()), doc.complete ? "complete" : "incomplete", accountsMs,
        qint64(records.size()));
    const bool ok = doc.complete && doc.records.size() == 30000 && catalogueMs < 1000 && accountsMs < 1000 &&
                    records.size() == accounts.size() / krtp::kAccountRecordSize;
    return ok ? 0 : 1;
}
