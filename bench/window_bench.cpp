// The window's figures, each beside a plain Qt reference doing the same job.
//   window_bench reference-window   a bare Qt window of the canvas's size; prints
//                                   "first-paint-ms <epoch ms>" at its first paint
//   window_bench picker [RUNS]      opens the music picker on the library of
//                                   $QUORVEL_MUSIC (scanned first, not timed) until its
//                                   table has painted, and a plain QTableView over a
//                                   QStandardItemModel of the same rows; best of RUNS
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "ui/picker/MPMediaPickerController.h"
#include "ui/picker/SongTableModel.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <cstdio>

using namespace quorvel;

namespace {

// Watches a widget until it has been painted once.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* w) { w->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted = true;
        return false;
    }
};

void waitPainted(const PaintWatch& watch) {
    while (!watch.painted) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

int referenceWindow() {
    QMainWindow window;
    auto* label = new QLabel(QStringLiteral("Quorvel"));
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(480, 720);
    PaintWatch watch(label);
    window.show();
    waitPainted(watch);
    std::printf("first-paint-ms %lld\n", QDateTime::currentMSecsSinceEpoch());
    return 0;
}

double openPicker(QWidget* owner, MPMediaLibrary& library) {
    QElapsedTimer clock;
    clock.start();
    QPointer<MPMediaPickerController> picker = new MPMediaPickerController(owner, library);
    picker->setPrompt(QStringLiteral("Select a song"));
    picker->present();
    PaintWatch watch(picker->findChild<QTableView*>(QStringLiteral("songTable"))->viewport());
    waitPainted(watch);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    picker->dismiss(false);
    QCoreApplication::processEvents();
    return ms;
}

double openReferenceTable(QWidget* owner, const std::vector<MPMediaItem>& items) {
    QElapsedTimer clock;
    clock.start();
    auto* dialog = new QDialog(owner);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->resize(640, 520);
    auto* model = new QStandardItemModel(int(items.size()), 3, dialog);
    for (int row = 0; row < int(items.size()); ++row) {
        model->setItem(row, 0, new QStandardItem(items[size_t(row)].title()));
        model->setItem(row, 1, new QStandardItem(items[size_t(row)].artist()));
        model->setItem(row, 2, new QStandardItem(SongTableModel::lengthText(items[size_t(row)].playbackDuration())));
    }
    auto* table = new QTableView(dialog);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setModel(model);
    table->resize(dialog->size());
    PaintWatch watch(table->viewport());
    dialog->open();
    waitPainted(watch);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    delete dialog;
    QCoreApplication::processEvents();
    return ms;
}

int picker(int runs) {
    MPMediaLibrary& library = MPMediaLibrary::defaultMediaLibrary();
    library.scanNow();
    const std::vector<MPMediaItem> items = library.items();
    QMainWindow owner;
    owner.resize(480, 720);
    owner.show();
    QCoreApplication::processEvents();
    double ours = 1e9, reference = 1e9;
    for (int i = 0; i < runs; ++i) {
        ours = std::min(ours, openPicker(&owner, library));
        reference = std::min(reference, openReferenceTable(&owner, items));
    }
    std::printf("songs %zu\npicker-open-ms %.1f\nreference-table-ms %.1f\n", items.size(), ours, reference);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 2 && args[1] == QStringLiteral("reference-window")) return referenceWindow();
    if (args.size() >= 2 && args[1] == QStringLiteral("picker"))
        return picker(args.size() >= 3 ? std::max(1, args[2].toInt()) : 5);
    std::fprintf(stderr, "usage: window_bench reference-window | picker [RUNS]\n");
    return 2;
}
