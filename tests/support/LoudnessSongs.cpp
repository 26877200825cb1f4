#include "LoudnessSongs.h"

#include "TestSupport.h"

#include <QRegularExpression>
#include <cmath>

namespace quorvel::test {

LoudnessReading readLoudness(const QString& path) {
    const ToolResult r = runTool(QStringLiteral("ffmpeg"), {QStringLiteral("-nostats"), QStringLiteral("-hide_banner"),
                                                           QStringLiteral("-i"), path, QStringLiteral("-af"),
                                                           QStringLiteral("ebur128=peak=true"), QStringLiteral("-f"),
                                                           QStringLiteral("null"), QStringLiteral("-")});
    LoudnessReading reading{std::nan(""), std::nan("")};
    // The summary at the end: "I: -14.0 LUFS" and, under "True peak:", "Peak: -1.2 dBFS".
    const qsizetype summary = r.err.lastIndexOf(QStringLiteral("Summary:"));
    const QString text = summary >= 0 ? r.err.mid(summary) : QString();
    const auto i = QRegularExpression(QStringLiteral("I:\\s+(-?[0-9.]+|-inf) LUFS")).match(text);
    const auto p = QRegularExpression(QStringLiteral("True peak:\\s+Peak:\\s+(-?[0-9.]+|-inf) dBFS")).match(text);
    if (i.hasMatch()) reading.integratedLufs = i.captured(1).toDouble();
    if (p.hasMatch()) reading.truePeakDbtp = p.captured(1).toDouble();
    return reading;
}

QString makeSongAtLoudness(const QString& path, double lufs, bool mastered) {
    const QString raw = path + QStringLiteral(".raw.wav");
    // Hits every half second over a held chord and soft noise.
    QString graph = QStringLiteral(
        "anoisesrc=color=pink:amplitude=0.05:duration=30:seed=7[n];"
        "sine=f=220:d=30,volume=0.08[a];sine=f=277:d=30,volume=0.06[b];sine=f=330:d=30,volume=0.05[c];"
        "sine=f=90:d=30,volume='0.9*exp(-12*mod(t,0.5))':eval=frame[k];"
        "[n][a][b][c][k]amix=inputs=5:normalize=0,aformat=channel_layouts=stereo");
    if (mastered) graph += QStringLiteral(",volume=36dB,alimiter=limit=0.5:level=false:attack=1:release=20");
    const ToolResult made = runTool(QStringLiteral("ffmpeg"),
                                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                     QStringLiteral("-filter_complex"), graph, QStringLiteral("-ar"),
                                     QStringLiteral("44100"), QStringLiteral("-c:a"), QStringLiteral("pcm_f32le"), raw});
    if (made.exitCode != 0) return {};
    const LoudnessReading before = readLoudness(raw);
    if (std::isnan(before.integratedLufs)) return {};
    const QString gain = QStringLiteral("volume=%1dB").arg(lufs - before.integratedLufs, 0, 'f', 2);
    const ToolResult scaled = runTool(QStringLiteral("ffmpeg"),
                                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                       QStringLiteral("-i"), raw, QStringLiteral("-af"), gain, QStringLiteral("-c:a"),
                                       QStringLiteral("pcm_s16le"), path});
    return scaled.exitCode == 0 ? path : QString();
}

} // namespace quorvel::test
