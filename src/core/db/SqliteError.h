#pragma once

#include <QString>

typedef struct sqlite3 sqlite3;

// SQLite's message for the last error on db, followed by the system's reason when a read or write of
// the file failed ("database or disk is full (No space left on device)").
QString SqliteErrorText(sqlite3* db);
