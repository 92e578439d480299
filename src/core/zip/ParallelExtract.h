#pragma once

#include "core/jobs/Progress.h"

#include <QString>
#include <functional>
#include <vector>

class CZipArchive;

// Extraction of several entries of one archive at the same time: the entries are independent, so on a
// machine with several cores they inflate in parallel.
namespace ParallelExtract {

struct CResult
{
    bool cancelled = false;
    // False when the time or permissions of some file could not be set.
    bool attributesSet = true;
};

// The number of threads worth using: the cores available, at most `entries`.
int DefaultThreads(int entries);

// Extracts the entries into folder with up to `threads` workers, the largest entries first, all or
// nothing: each into a temporary file beside its target, and only when every one is complete and checked
// do they all replace the old files (the result is that of extracting them one after the other in
// archive order). A folder without room for what the entries declare is refused before anything is
// written. The first error stops the other workers and is raised again here (CZipException,
// CFileException); the old files stay. progress (may be null) is told the bytes written so far and in
// all, on the caller's thread a few times a second; cancelling it stops the extraction, which then leaves
// every old file as it was.
CResult ExtractEntries(const CZipArchive& archive, const std::vector<int>& indices, const QString& folder,
                       int threads, CProgress* progress = nullptr);

} // namespace ParallelExtract
