#pragma once

#include "filestore/storeoperations.h"

#include <QString>

namespace krtp {

struct ListEntry;
class KeyedListModel;

// Text a member types for the catalogue: every double quote becomes an apostrophe, since the
// catalogue stores texts in double quotes.
QString QuoteRule(const QString& text);

// The entry the single-file actions work on: the focused entry when it is selected, else the only
// selected entry; empty when there is none.
QString CurrentEntryKey(const KeyedListModel& list, const QString& focusedKey);

// What the Actions menu offers for the selected entry (the file list window's EnableOwnerOptions).
struct OwnerOptions {
    bool readOnlyEnabled = false;
    bool readOnlyChecked = false;
    bool changeDescription = false; // also Remove File
    bool relinquish = false;
};
// entry null: nothing selected. localReadOnly: the local copy is read-only or missing.
OwnerOptions DecideOwnerOptions(const ListEntry* entry, int level, const QString& userName,
                                bool localReadOnly);

// The edit window's boxes filled from a list entry.
StoreOperations::FileDetailsEdit DetailsOfEntry(const ListEntry& entry);

// Whether the member holds a check-out in the list (the controller is the member, ignoring case).
bool HoldsCheckOut(const KeyedListModel& list, const QString& userName);
QString StillCheckedOutMessage(); // "You still have files checked out"

} // namespace krtp
