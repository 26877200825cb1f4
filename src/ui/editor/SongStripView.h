#pragma once
// The content of the editor's strip, as wide as the song: the tiled picture
// "wave.png", or, once the song's own peaks are there, its real waveform in
// the strip's colours (the picture fades into it). Only the part in view is
// painted, so a long song costs no more than a short one.
//
// Main thread only.
#include <QWidget>
#include <memory>

class QVariantAnimation;

namespace quorvel {

class WaveformPeaks;

class SongStripView : public QWidget {
    Q_OBJECT
    // The song's own waveform is drawn, fully faded in.
    Q_PROPERTY(bool songWaveformDrawn READ isSongWaveformDrawn)
public:
    static constexpr int kFadeMs = 400;
    // Half the strip's height that a full-scale sample reaches, in points.
    static constexpr double kFullScale = 34.0;

    explicit SongStripView(QWidget* parent = nullptr);

    // Null: the tiled picture. New peaks fade in over kFadeMs.
    void setPeaks(std::shared_ptr<const WaveformPeaks> peaks);
    const std::shared_ptr<const WaveformPeaks>& peaks() const { return peaks_; }
    // How far the waveform has faded in, 0 to 1.
    qreal waveformOpacity() const { return opacity_; }
    bool isSongWaveformDrawn() const { return peaks_ && opacity_ >= 1.0; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintWaveform(QPainter& p, const QRect& area);

    std::shared_ptr<const WaveformPeaks> peaks_;
    QVariantAnimation* fade_;
    qreal opacity_ = 0.0;
};

} // namespace quorvel
