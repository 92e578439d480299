// logwarden-cli record and spell: the session recorder and the call-sign announcer without the window.
#include "cli/CliCommand.h"
#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/audio/Phonetics.h"
#include "core/audio/Recordings.h"
#include "core/audio/SessionRecorder.h"
#include "core/audio/SoundPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

QString Seconds(qint64 frames)
{
    return QString::number(double(frames) / WaveCapture::kRate, 'f', 1);
}

int RunRecord(const QStringList& raw)
{
    const QStringList valueOptions{QStringLiteral("out"), QStringLiteral("seconds"), QStringLiteral("device"),
                                   QStringLiteral("data-dir")};
    const CCliArgs args(raw, valueOptions);
    const auto usage = [](const QString& why) {
        CliError(
            QStringLiteral("logwarden-cli record: %1\nUsage: logwarden-cli record --out FILE [--seconds N] "
                           "[--device NAME]")
                .arg(why));
        return 2;
    };
    const QString why = args.Unexpected(valueOptions);
    if (!why.isEmpty())
        return usage(why);
    const QString out = args.Value(QStringLiteral("out"));
    if (out.isEmpty())
        return usage(QStringLiteral("--out FILE is required"));
    qint64 frameLimit = 0;
    if (args.Has(QStringLiteral("seconds"))) {
        bool ok = false;
        const double seconds = args.Value(QStringLiteral("seconds")).toDouble(&ok);
        if (!ok || !(seconds > 0) || seconds > 1e7)
            return usage(QStringLiteral("--seconds takes a number of seconds above 0"));
        frameLimit = std::llround(seconds * WaveCapture::kRate);
        // Less than one frame would round to no limit at all.
        if (frameLimit < 1)
            return usage(
                QStringLiteral("--seconds takes at least one frame (1/%1 s)").arg(WaveCapture::kRate));
    }
    const QFileInfo target(out);
    if (target.exists()) {
        CliError(QStringLiteral("logwarden-cli record: \"%1\" exists; choose another name").arg(out));
        return 1;
    }
    if (!target.absoluteDir().exists()) {
        CliError(QStringLiteral("logwarden-cli record: the folder of \"%1\" does not exist").arg(out));
        return 1;
    }

    const QString dataFolder = args.DataFolderPath();
    const CSettings settings(CSettings::DefaultPath(), dataFolder);
    CSessionRecorder::COptions options;
    options.device = args.Value(QStringLiteral("device"), settings.Get(Setting::CaptureDevice));
    options.folder = Recordings::Folder(dataFolder);
    options.frameLimit = frameLimit;
    for (const Recordings::CRecording& left : Recordings::RecoverLeftOver(options.folder))
        CliError(QStringLiteral("A recording of %1 s left by an earlier run is kept in: %2")
                     .arg(Seconds(left.frames), left.files.join(QStringLiteral(", "))));

    // SIGINT and SIGTERM finish the file through the event loop.
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw CFileException(QStringLiteral("Cannot set up signal handling."), {});
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    struct sigaction action = {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    CSessionRecorder recorder;
    QObject::connect(&notifier, &QSocketNotifier::activated, &recorder, [&] {
        char bytes[16];
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], bytes, sizeof bytes);
        recorder.Stop();
        QCoreApplication::quit();
    });
    QObject::connect(&recorder, &CSessionRecorder::ended, &recorder, [] { QCoreApplication::quit(); });
    if (!recorder.Start(options)) {
        CliError(QStringLiteral("logwarden-cli record: %1").arg(recorder.GetErrorText()));
        return 1;
    }
    CliError(QStringLiteral("Recording from \"%1\" into %2 (Ctrl+C stops)")
                 .arg(options.device, recorder.GetFiles().value(0)));
    QCoreApplication::exec();
    recorder.Stop();
    const QString error = recorder.GetErrorText();
    const QStringList files = recorder.GetFiles();
    QStringList saved;
    try {
        saved = Recordings::MoveTo(files, out);
    } catch (const CFileException& e) {
        CliError(QStringLiteral("logwarden-cli record: %1\nThe recording stays in: %2")
                     .arg(e.Message(), recorder.GetFiles().join(QStringLiteral(", "))));
        return 1;
    }
    recorder.Release();
    if (!error.isEmpty())
        CliError(QStringLiteral("logwarden-cli record: %1").arg(error));
    CliError(QStringLiteral("Recorded %1 s to %2")
                 .arg(Seconds(recorder.GetFrames()), saved.join(QStringLiteral(", "))));
    if (recorder.GetOverruns() > 0)
        CliError(QStringLiteral("The device ran over %1 times: the recording has gaps.")
                     .arg(recorder.GetOverruns()));
    return error.isEmpty() ? 0 : 1;
}

int RunSpell(const QStringList& raw)
{
    const QStringList valueOptions{QStringLiteral("device"), QStringLiteral("data-dir")};
    const CCliArgs args(raw, valueOptions);
    const QString why = args.Unexpected(valueOptions + QStringList{QStringLiteral("play")}, 1);
    if (!why.isEmpty() || args.Positional().isEmpty()) {
        CliError(QStringLiteral(
                     "logwarden-cli spell: %1\nUsage: logwarden-cli spell CALL [--play] [--device NAME]")
                     .arg(why.isEmpty() ? QStringLiteral("CALL is required") : why));
        return 2;
    }
    // The call box takes capitals only.
    const QString call = args.Positional().first().toUpper();
    CliPrint(CliField(Phonetics::Line(call)));
    if (!args.Has(QStringLiteral("play")))
        return 0;
    const CSettings settings(CSettings::DefaultPath(), args.DataFolderPath());
    CSoundPlayer player(args.Value(QStringLiteral("device"), settings.Get(Setting::PlaybackDevice)));
    player.PlaySequence(Phonetics::Sounds(call), Phonetics::kIntervalMs);
    player.WaitIdle(int(call.size()) * Phonetics::kIntervalMs + 5000);
    const QString error = player.GetLastError();
    if (!error.isEmpty()) {
        CliError(QStringLiteral("logwarden-cli spell: %1").arg(error));
        return 1;
    }
    return 0;
}

CCliRegistrar recordReg{
    {QStringLiteral("record"), QStringLiteral("record --out FILE [--seconds N] [--device NAME]"),
     QStringLiteral("Record from the capture device (setting Audio/CaptureDevice) into a WAV "
                    "file until N seconds of sound are in or SIGINT/SIGTERM arrives."),
     &RunRecord}};
CCliRegistrar spellReg{
    {QStringLiteral("spell"), QStringLiteral("spell CALL [--play] [--device NAME]"),
     QStringLiteral("Print the call sign in phonetic words; --play speaks it, one sound per "
                    "character 600 ms apart (setting Audio/PlaybackDevice)."),
     &RunSpell}};

} // namespace
