#include "EncodeCommand.h"

#include "AudioExporterFor3G.h"
#include "CliContext.h"
#include "CommandLine.h"
#include "ProgressBar.h"

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace quorvel::cli {

const char* EncodeCommand::help() {
    return "usage: quorvel-cli encode WAV OUTPUT\n"
           "  Encodes a mono 44,100 Hz WAV file as an AAC ringtone (MPEG-4, 128 kbit/s)\n"
           "  at OUTPUT and tags it as a ringtone. Nothing is stored.\n";
}

int EncodeCommand::run(const QStringList& args) {
    int exitCode = kExitOk;
    auto line = parseCommand(args, {}, help(), 2, QStringLiteral("encode takes WAV and OUTPUT"), &exitCode);
    if (!line) return exitCode;
    const QString in = line->positional()[0];
    const QString out = line->positional()[1];
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
    CliContext::out(QFileInfo(out).absoluteFilePath());
    return kExitOk;
}

} // namespace quorvel::cli
