#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <memory>

// A file written beside its target and put in place by a rename once it is complete, so that the
// target is always either the old file or the whole new one, also after a crash or a power cut.
//
// The temporary file is ".<target name>.lw-XXXXXX.part" in the target's folder (the folder is held open,
// so the file cannot land elsewhere if a folder on the way is swapped); it is created exclusively,
// never through a symbolic link, and locked while this object lives. Commit() flushes the file to disk,
// renames it over the target and flushes the folder. An object destroyed without Commit() removes its
// temporary file. The "lw-" mark is what proves a file ours: only names that carry it and the name of
// the target are ever removed beside a target (by the constructor, when a killed run left them), and
// only in the data folder are the unmarked names of earlier versions recognised (RemoveStale()); a
// user's "Report.backup.part" is never touched.
//
// The file can be written through Write(), through Device(), through Fd(), or by another library that
// opens TempPath() itself (a database engine) before Commit().
class CAtomicFile
{
public:
    // Raises CFileException naming the target when the folder cannot be opened or the file created, or
    // when the target exists and is not a regular file (a device, a pipe, a folder): such a name is
    // never replaced. The new file gets the permissions of an existing target, else those of a new file
    // (0666 less the umask).
    explicit CAtomicFile(const QString& targetPath);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    const QString& TargetPath() const { return m_target; }
    QString TempPath() const;
    int Fd() const { return m_fd; }
    // A device on the temporary file, for code that writes to a QIODevice; its errorString() tells why a
    // write failed.
    QIODevice& Device();

    // Raises CFileException naming the target.
    void Write(const char* data, qint64 size);
    void Write(const QByteArray& bytes) { Write(bytes.constData(), bytes.size()); }

    // Puts the file in place (see above). Raises CFileException; the target is then unchanged.
    void Commit();
    bool IsCommitted() const { return m_committed; }

    // Replaces the file at path with bytes, atomically.
    static void WriteFile(const QString& path, const QByteArray& bytes);

    // Raises CFileException, saying how much room is needed, when folder's file system has fewer than
    // bytes free (for a user who is not root).
    static void RequireFreeSpace(const QString& folder, qint64 bytes);

    // True for a name of the form the program gives its temporary files: ".<name>.lw-XXXXXX.part", with
    // "-journal", "-wal" or "-shm" after it for a database being built; when targetName is given, only
    // for that target's.
    static bool IsTemporaryName(const QString& fileName, const QString& targetName = {});
    // True for a temporary file of an earlier version, which carried no mark: ".<name>.XXXXXX.part",
    // "<name>.XXXXXX.part" or ".<name>.XXXXXX" (databases), with a random-looking part, where <name> is
    // one of the program's own files (DataFolder::ProgramFileNames()).
    static bool IsEarlierTemporaryName(const QString& fileName);
    // In the data folder: removes the temporary files of either kind above that no running process
    // holds and that are older than a minute (a file just created is locked a moment later): those of
    // runs that were killed. Returns how many files went. Never for any other folder.
    static int RemoveStale(const QString& dataFolder);
    // The same beside one target, for its marked temporaries only (the constructor does it).
    static int RemoveStaleBeside(const QString& targetPath);

private:
    [[noreturn]] void Fail(const QString& what, int error) const;

    QString m_target;
    QByteArray m_folder;
    QByteArray m_name;     // target's base name, encoded
    QByteArray m_tempName; // temporary file's base name, encoded
    int m_dirFd = -1;
    int m_fd = -1;
    bool m_committed = false;
    std::unique_ptr<QIODevice> m_device;
};
