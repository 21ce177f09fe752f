// Any account file bytes read into whole records without a crash; a trailing piece is ignored.
#include "accounts/accountfile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<krtp::AccountRecord> records = krtp::ReadAccountRecords(bytes);
    if (records.size() != bytes.size() / krtp::kAccountRecordSize)
        std::abort();
    for (const krtp::AccountRecord& r : records)
        if (r.Name.size() > krtp::kAccountRecordSize || r.Password.size() > krtp::kAccountRecordSize)
            std::abort();
    return 0;
}
