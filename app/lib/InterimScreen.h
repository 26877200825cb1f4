#pragma once
// A plain screen for the editor's destinations whose own screens are not in
// this program yet (the recorder, the ringtone list): a title, a line of text
// and a button that leaves it. The export screen's interim form also shows
// the export's progress and its outcome.
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace quorvel {

class ExportViewController;
class PDColoredProgressView;

class InterimScreen : public QWidget {
    Q_OBJECT
public:
    InterimScreen(const QString& title, const QString& text, std::function<void()> done, QWidget* parent = nullptr);
    // Follows `exporter` until its export has finished.
    void followExport(const std::shared_ptr<ExportViewController>& exporter);
    void done();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void exportChanged();

    QLabel* text_;
    QPushButton* button_;
    PDColoredProgressView* progress_ = nullptr;
    std::weak_ptr<ExportViewController> exporter_;
    std::function<void()> done_;
};

} // namespace quorvel
