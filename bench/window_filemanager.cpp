// Opening the stored-ringtones list over a populated store until its first rows
// have painted, then scrolling through every row one step at a time, each
// step painted at once; beside a plain QListView over as many text rows.
// Prints "open-ms", "scroll-max-ms", "scroll-p99-ms" for both.
//   window_filemanager   (QUORVEL_HOME holds the store; bench/filemanager.sh fills it)
#include "platform/core/Paths.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"
#include "ringtones/Ringtone.h"
#include "ui/filemanager/FileManagerViewWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QStringListModel>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quorvel;

namespace {

struct Figures {
    double openMs = 0, maxMs = 0, p99Ms = 0;
    int rows = 0;
};

Figures scroll(QListView* list, double openMs) {
    Figures f;
    f.openMs = openMs;
    f.rows = list->model()->rowCount();
    QScrollBar* bar = list->verticalScrollBar();
    std::vector<double> frames;
    QElapsedTimer t;
    for (int v = 0; v <= bar->maximum(); v += 38) {
        t.start();
        bar->setValue(v);
        list->viewport()->repaint();
        QCoreApplication::processEvents();
        frames.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(frames.begin(), frames.end());
    if (!frames.empty()) {
        f.maxMs = frames.back();
        f.p99Ms = frames[size_t(double(frames.size()) * 0.99)];
    }
    return f;
}

void print(const char* name, const Figures& f) {
    std::printf("%s rows=%d open-ms=%.1f scroll-max-ms=%.2f scroll-p99-ms=%.2f\n", name, f.rows, f.openMs, f.maxMs,
                f.p99Ms);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Ringtone::registerClass();
    PersistentStack stack(Paths::documentPath(kStoreFileName));
    DBHelper::dbHelper().setManagedObjectContext(stack.managedObjectContext());

    QElapsedTimer t;
    t.start();
    auto* list = new FileManagerViewWidget;
    list->resize(320, 480);
    list->show();
    list->tableView()->viewport()->repaint();
    const double openMs = double(t.nsecsElapsed()) / 1e6;
    const Figures ours = scroll(list->tableView(), openMs);

    QStringList texts;
    for (int i = 0; i < ours.rows; ++i) texts << QStringLiteral("Ringtone-%1").arg(i);
    t.start();
    auto* plain = new QListView;
    auto* model = new QStringListModel(texts, plain);
    plain->setModel(model);
    plain->setUniformItemSizes(true);
    plain->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    plain->setStyleSheet(QStringLiteral("QListView::item { height: 76px; }"));
    plain->resize(320, 480);
    plain->show();
    plain->viewport()->repaint();
    const Figures reference = scroll(plain, double(t.nsecsElapsed()) / 1e6);

    print("quorvel-list", ours);
    print("plain-qlistview", reference);
    delete list;
    delete plain;
    return 0;
}
