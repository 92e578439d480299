#include "gui/app/LogwardenApp.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/Clock.h"
#include "core/app/DataFolder.h"
#include "core/app/FolderLock.h"
#include "core/app/SecretStore.h"
#include "core/app/Settings.h"
#include "core/app/Version.h"
#include "core/log/LogSchema.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/log/SampleFiles.h"
#include "gui/widgets/Icons.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <cstdio>

int RunLogwarden(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(LOGWARDEN_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(LOGWARDEN_VERSION));
    // The desktop groups the window under its desktop entry and shows the entry's icon.
    QApplication::setDesktopFileName(QStringLiteral(LOGWARDEN_APP_ID));
    QApplication::setWindowIcon(Icons::AppIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Logwarden, the logbook of an amateur-radio net's control station."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(
        {QStringLiteral("data-dir"),
         QStringLiteral("Folder of the log and the licence databases (default: $LOGWARDEN_DATA_DIR, "
                        "else ~/.local/share/logwarden)."),
         QStringLiteral("DIR")});
    parser.process(app);

    const QString folder = DataFolder::Resolve(QApplication::arguments());
    try {
        DataFolder::Enter(folder);
    } catch (const CLogwardenException& e) {
        Prompt::Error(nullptr, e.Message());
        return 1;
    }

    // One window per data folder.
    CFolderLock lock;
    QString holder;
    if (!lock.Acquire(folder, &holder)) {
        const QString text = CFolderLock::InUseText(folder, holder);
        std::fprintf(stderr, "logwarden: %s\n", text.toLocal8Bit().constData());
        Prompt::Error(nullptr, text);
        return 1;
    }
    // What runs that were killed left half-written is cleared away.
    CAtomicFile::RemoveStale(folder);

    CSettings settings(CSettings::DefaultPath(), folder);
    // A new user starts with the sample net preamble.
    SampleFiles::InstallOnFirstRun(folder, settings);
    CSystemClock clock;
    CSecretStore secrets;
    CLogwardenDoc doc(settings, clock, secrets);
    try {
        doc.OpenLog(QDir(folder).filePath(QString::fromLatin1(LogSchema::kFileName)));
    } catch (const CLogwardenException& e) {
        // Nothing is written to a file that is not a log: the operator mends or moves it first.
        Prompt::Error(nullptr,
                      e.Message() + QStringLiteral("\n\nLogwarden has changed nothing and will close."));
        return 1;
    }

    CMainFrame frame(doc);
    frame.ShowAsLeft();
    const int rc = QApplication::exec();
    settings.Sync();
    return rc;
}
