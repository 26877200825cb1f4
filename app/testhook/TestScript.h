#pragma once
// Test builds only: a script of commands, named by QUORVEL_TEST_SCRIPT, that
// drives the real window the way a person would (clicks on buttons found by
// object name, keys, slider moves, picks) and waits for what should appear.
// Without the variable it does nothing. A command that fails or times out ends
// the program with status 3 after printing the line; results are checked from
// outside (the documents folder, the store, the files).
//
// Main thread only.
#include <QObject>
#include <QStringList>

class QTimer;
class QWidget;

namespace quorvel {

class MainWindow;

class TestScript : public QObject {
    Q_OBJECT
public:
    static constexpr int kFailureStatus = 3;

    // Reads QUORVEL_TEST_SCRIPT and starts running it once the event loop runs.
    static void startFromEnvironment(MainWindow& window);

    TestScript(MainWindow& window, QStringList lines, QObject* parent = nullptr);

private:
    void step();
    // One command; false: not yet (a wait), try again on the next tick.
    bool run(const QStringList& words);
    void fail(const QString& why);
    QWidget* find(const QString& name) const;
    QString textOf(QWidget* widget) const;
    QList<QWidget*> visibleControls() const;
    static QString describe(QWidget* widget);
    void screenshot(const QString& path);

    MainWindow& window_;
    QStringList lines_;
    int line_ = 0;
    int timeoutSeconds_ = 60;
    qint64 lineStarted_ = 0;
    QTimer* timer_;
};

} // namespace quorvel
