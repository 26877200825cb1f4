#pragma once
// The journeys' program only (quorvel_scripted, never installed): a script of
// commands, named by QUORVEL_TEST_SCRIPT, that drives the real window the way
// a person would (clicks on buttons found by object name, keys, slider
// moves, picks) and waits for what should appear. Without the variable it
// does nothing. A command that fails or times out ends the program with
// status 3 after printing the line; results are checked from outside (the
// documents folder, the store, the files).
//
// One command a line: NAME ARGS..., words split as a shell splits them;
// empty lines and lines starting with "#" are skipped. The commands are the
// table in TestScript.cpp.
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
    struct Command;
    static const Command* command(const QString& name);

    void step();
    // One line; false: not yet (a wait), try again on the next tick.
    bool run(const QStringList& words);
    [[noreturn]] void fail(const QString& why);
    QWidget* find(const QString& name) const;
    QString textOf(QWidget* widget) const;
    QList<QWidget*> visibleControls() const;
    static QString describe(QWidget* widget);
    static QString rest(const QStringList& words, int from);
    void screenshot(const QString& path);

    // The commands; each gets the line's words (the command's name first).
    bool setTimeout(const QStringList& words);
    bool echo(const QStringList& words);
    bool sleep(const QStringList& words);
    bool wait(const QStringList& words);
    bool settled(const QStringList& words);
    bool gone(const QStringList& words);
    bool text(const QStringList& words);
    bool differs(const QStringList& words);
    bool print(const QStringList& words);
    bool click(const QStringList& words);
    bool set(const QStringList& words);
    bool type(const QStringList& words);
    bool row(const QStringList& words);
    bool key(const QStringList& words);
    bool named(const QStringList& words);
    bool tabs(const QStringList& words);
    bool rows(const QStringList& words);
    bool count(const QStringList& words);
    bool property(const QStringList& words);
    bool rating(const QStringList& words);
    bool focus(const QStringList& words);
    bool pick(const QStringList& words);
    bool shot(const QStringList& words);
    bool scale(const QStringList& words);
    bool where(const QStringList& words);
    bool close(const QStringList& words);

    MainWindow& window_;
    QStringList lines_;
    int line_ = 0;
    int timeoutSeconds_ = 60;
    qint64 lineStarted_ = 0;
    QTimer* timer_;
};

} // namespace quorvel
