#include "EncodeCommand.h"

#include "CliContext.h"
#include "CliOutput.h"
#include "ProgressBar.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/core/NoReplaceRename.h"
#include "platform/core/TerminationSignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace quorvel::cli {

namespace {
// The same file, whatever the names: links and hard links included.
bool isSameFile(const QString& a, const QString& b) {
    struct stat first {}, second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}
} // namespace

CliCommand EncodeCommand::command() {
    return {QStringLiteral("encode"), QStringLiteral("WAV OUTPUT"),
            QStringLiteral("encode a mono 44,100 Hz WAV as a ringtone file"),
            QStringLiteral("  Encodes a mono 44,100 Hz WAV file as an AAC ringtone (MPEG-4, 128 kbit/s)\n"
                           "  at OUTPUT and tags it as a ringtone. Nothing is stored. WAV and OUTPUT are\n"
                           "  paths or file: URLs. OUTPUT must not exist yet; it appears only once it is\n"
                           "  whole. The last line printed is OUTPUT's full path.\n"),
            {},
            2,
            QStringLiteral("encode takes WAV and OUTPUT"),
            &EncodeCommand::run};
}

int EncodeCommand::run(const QCommandLineParser& line) {
    QString error;
    const std::optional<QString> inPath = CliContext::localPath(line.positionalArguments()[0], &error);
    const std::optional<QString> outPath = inPath ? CliContext::localPath(line.positionalArguments()[1], &error) : std::nullopt;
    if (!inPath || !outPath) return CliContext::fail(error);
    const QString in = *inPath;
    const QString out = *outPath;
    if (!QFileInfo(in).isFile() || !QFileInfo(in).isReadable())
        return CliContext::fail(QCoreApplication::translate("quorvel-cli", "cannot read %1").arg(in));
    // Checked before anything is written: the WAV is never lost to its own ringtone.
    if (isSameFile(in, out)) return CliContext::fail(QCoreApplication::translate("quorvel-cli", "%1 is the WAV file itself; name another OUTPUT").arg(out));
    if (QFileInfo(out).exists() || QFileInfo(out).isSymLink())
        return CliContext::fail(QCoreApplication::translate("quorvel-cli", "%1 exists already; name another OUTPUT").arg(out));

    CliContext context;
    // Written under a hidden name beside OUTPUT, which appears only when whole.
    const QFileInfo target(out);
    const QString work = target.absolutePath() +
                         QStringLiteral("/.%1.tmp-%2").arg(target.fileName()).arg(QCoreApplication::applicationPid());
    AudioExporterFor3G& writer = AudioExporterFor3G::sharedInstance();
    auto progress = writer.progressValueArray();
    std::atomic<bool> done{false};
    std::thread job([&] {
        writer.doIt(in, work);
        done = true;
    });
    ProgressBar bar(QStringLiteral("Encoding"));
    while (!done) {
        bar.update(std::max(0.0f, progress->elementZero()));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    job.join();
    bar.finish();
    // Ctrl+C or SIGTERM meanwhile: the encoding has ended; nothing is kept.
    if (TerminationSignals::isRequested()) {
        QFile::remove(work);
        return CliContext::interrupted();
    }
    if (progress->elementZero() < 1.0f || !QFileInfo(work).isFile()) {
        QFile::remove(work);
        const QString reason = writer.lastFailure();
        return CliContext::fail(reason.isEmpty()
                                    ? QCoreApplication::translate("quorvel-cli", "%1 could not be encoded (it must be a mono 44,100 Hz WAV file)").arg(in)
                                    : QCoreApplication::translate("quorvel-cli", "%1 could not be encoded: %2").arg(in, reason));
    }
    AudioExporterFor3G::editMediaTypeTag(work);
    QString why;
    const NoReplaceRename::Result moved = NoReplaceRename::move(work, out, &why);
    if (moved != NoReplaceRename::Result::Moved) {
        QFile::remove(work);
        return CliContext::fail(moved == NoReplaceRename::Result::Exists
                                    ? QCoreApplication::translate("quorvel-cli", "%1 appeared while encoding; nothing was written over it").arg(out)
                                    : QCoreApplication::translate("quorvel-cli", "%1 could not be written: %2").arg(out, why));
    }
    CliContext::out(CliOutput::escaped(QFileInfo(out).absoluteFilePath()));
    return kExitOk;
}

} // namespace quorvel::cli
