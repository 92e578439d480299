#include "core/zip/ParallelExtract.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/zip/ZipArchive.h"
#include "core/zip/ZipException.h"

#include <QDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace ParallelExtract {

int DefaultThreads(int entries)
{
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::max(1, std::min(cores, entries));
}

CResult ExtractEntries(const CZipArchive& archive, const std::vector<int>& indices, const QString& folder,
                       int threads, CProgress* progress)
{
    // Entries land under their base names: of several with the same one, only the last in archive order
    // would survive extracting one after the other, so only that one is extracted (in parallel the
    // order of finishing would otherwise decide).
    std::vector<int> order;
    for (size_t k = 0; k < indices.size(); ++k) {
        const QString base = CZipArchive::SafeBaseName(archive.Header(indices[k]).m_fileName);
        bool later = false;
        for (size_t j = k + 1; j < indices.size() && !base.isEmpty(); ++j)
            later = later || (indices[j] > indices[k] &&
                              CZipArchive::SafeBaseName(archive.Header(indices[j]).m_fileName) == base);
        if (!later)
            order.push_back(indices[k]);
    }
    // Largest first keeps the workers busy until the end.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return archive.Header(a).m_uncompressedSize > archive.Header(b).m_uncompressedSize;
    });
    qint64 total = 0;
    for (int i : order)
        total += archive.Header(i).m_uncompressedSize;

    // Room for every file before the first byte is written, and a temporary file for each beside its
    // target (which first clears away what killed runs left for that target).
    if (!QDir().mkpath(folder))
        throw CFileException(QStringLiteral("Cannot create the folder \"%1\".").arg(folder), folder);
    CAtomicFile::RequireFreeSpace(folder, total);
    std::vector<std::unique_ptr<CAtomicFile>> files;
    for (int i : order) {
        const QString base = CZipArchive::SafeBaseName(archive.Header(i).m_fileName);
        if (base.isEmpty())
            throw CZipException(CZipException::badZipFile, archive.GetArchivePath(),
                                QStringLiteral("the entry name \"%1\" is not a usable file name")
                                    .arg(archive.Header(i).m_fileName));
        files.push_back(std::make_unique<CAtomicFile>(QDir(folder).filePath(base)));
    }

    std::atomic<size_t> next{0};
    // What the workers have written, and their stop: an error or a cancel ends the others.
    CProgress written;
    written.SetTotal(total);
    std::atomic<bool> attributesSet{true};
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
    std::exception_ptr error;

    auto work = [&] {
        try {
            for (size_t k = next++; k < order.size() && !written.IsCancelled(); k = next++) {
                const CZipArchive::EntryWrite outcome =
                    archive.WriteEntry(order[k], *files[k], CZipArchive::kDefaultBufferSize, &written);
                if (outcome == CZipArchive::EntryWrite::AttributesNotSet)
                    attributesSet = false;
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!error)
                error = std::current_exception();
            written.Cancel();
        }
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        finished.notify_all();
    };

    const int workers = std::max(1, std::min<int>(threads, static_cast<int>(order.size())));
    std::vector<std::thread> pool;
    CResult result;
    {
        std::unique_lock<std::mutex> lock(mutex);
        running = workers;
        lock.unlock();
        for (int t = 0; t < workers; ++t)
            pool.emplace_back(work);
        lock.lock();
        while (running > 0) {
            finished.wait_for(lock, std::chrono::milliseconds(100));
            if (progress && !error && !written.IsCancelled()) {
                lock.unlock();
                if (!progress->Report(written.Done(), total)) {
                    result.cancelled = true;
                    written.Cancel();
                }
                lock.lock();
            }
        }
    }
    for (auto& t : pool)
        t.join();
    // A failure or a cancel leaves every old file as it was (the temporary files go with their objects);
    // only when every entry is complete and checked do they all replace the old ones.
    if (error)
        std::rethrow_exception(error);
    if (result.cancelled)
        return result;
    for (auto& file : files)
        file->Commit();
    if (progress)
        progress->Report(written.Done(), total);
    result.attributesSet = attributesSet;
    return result;
}

} // namespace ParallelExtract
