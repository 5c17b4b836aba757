#pragma once

#include "journalrecord.h"

#include <QString>

// Appends one record to the journal of the station database at `path` from
// outside a running station (the user commands): a missing file is made, an
// existing one is only written to, never set aside, waiting up to 5 s for a
// station that is writing it.
bool appendJournalRecord(const QString &path, const JournalRecord &record, QString &error);
