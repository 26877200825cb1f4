#include "EncodeCommand.h"

#include "AudioExporterFor3G.h"
#include "CliContext.h"
#include "CliOutput.h"
#include "ProgressBar.h"

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace quorvel::cli {

CliCommand EncodeCommand::command() {
    return {QStringLiteral("encode"), QStringLiteral("WAV OUTPUT"),
            QStringLiteral("encode a mono 44,100 Hz WAV as a ringtone file"),
            QStringLiteral("  Encodes a mono 44,100 Hz WAV file as an AAC ringtone (MPEG-4, 128 kbit/s)\n"
                           "  at OUTPUT and tags it as a ringtone. Nothing is stored. WAV and OUTPUT are\n"
                           "  paths or file: URLs; the last line printed is OUTPUT's full path.\n"),
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
        return CliContext::fail(QStringLiteral("cannot read %1").arg(in));

    CliContext context;
    AudioExporterFor3G& writer = AudioExporterFor3G::sharedInstance();
    auto progress = writer.progressValueArray();
    std::atomic<bool> done{false};
    std::thread job([&] {
        writer.doIt(in, out);
        done = true;
    });
    ProgressBar bar(QStringLiteral("Encoding"));
    while (!done) {
        bar.update(std::max(0.0f, progress->elementZero()));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    job.join();
    bar.finish();
    if (progress->elementZero() < 1.0f || !QFileInfo(out).isFile()) {
        const QString reason = writer.lastFailure();
        return CliContext::fail(reason.isEmpty()
                                    ? QStringLiteral("%1 could not be encoded (it must be a mono 44,100 Hz WAV file)").arg(in)
                                    : QStringLiteral("%1 could not be encoded: %2").arg(in, reason));
    }
    AudioExporterFor3G::editMediaTypeTag(out);
    CliContext::out(CliOutput::escaped(QFileInfo(out).absoluteFilePath()));
    return kExitOk;
}

} // namespace quorvel::cli
