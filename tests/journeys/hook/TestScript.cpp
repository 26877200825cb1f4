#include "TestScript.h"

#include "MainWindow.h"
#include "Navigator.h"
#include "rating/Appirater.h"
#include "ui/common/CanvasView.h"
#include "ui/common/ScreenStack.h"
#include "ui/editor/EditorSlider.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QHash>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quorvel {

namespace {

constexpr int kTickMs = 50;

void say(const QString& text) {
    std::fprintf(stderr, "script: %s\n", qPrintable(text));
    std::fflush(stderr);
}

} // namespace

void TestScript::startFromEnvironment(MainWindow& window) {
    const QString path = qEnvironmentVariable("QUORVEL_TEST_SCRIPT");
    if (path.isEmpty()) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        say(QStringLiteral("cannot read %1").arg(path));
        std::_Exit(kFailureStatus);
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    new TestScript(window, lines, &window);
}

TestScript::TestScript(MainWindow& window, QStringList lines, QObject* parent)
    : QObject(parent), window_(window), lines_(std::move(lines)), timer_(new QTimer(this)) {
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &TestScript::step);
    timer_->start();
}

void TestScript::step() {
    while (line_ < lines_.size()) {
        const QString line = lines_[line_].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            ++line_;
            continue;
        }
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (lineStarted_ == 0) {
            lineStarted_ = now;
            say(QStringLiteral("%1: %2").arg(line_ + 1).arg(line));
        }
        if (!run(QProcess::splitCommand(line))) {
            if (now - lineStarted_ > qint64(timeoutSeconds_) * 1000) fail(QStringLiteral("timed out"));
            return;
        }
        ++line_;
        lineStarted_ = 0;
        // Let the program react (and paint) before the next command.
        return;
    }
    timer_->stop();
    say(QStringLiteral("end of script"));
}

QString TestScript::rest(const QStringList& words, int from) { return words.mid(from).join(QLatin1Char(' ')); }

void TestScript::fail(const QString& why) {
    say(QStringLiteral("FAILED at line %1 (%2): %3").arg(line_ + 1).arg(lines_.value(line_).trimmed(), why));
    std::_Exit(kFailureStatus);
}

// The last visible widget of that object name (the one on top of the stack).
QWidget* TestScript::find(const QString& name) const {
    QWidget* found = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) continue;
        if (top->objectName() == name) found = top;
        for (QWidget* child : top->findChildren<QWidget*>(name))
            if (child->isVisible()) found = child;
    }
    return found;
}

// What a person can act on: buttons, sliders, text fields and lists.
QList<QWidget*> TestScript::visibleControls() const {
    QList<QWidget*> controls;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) continue;
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!w->isVisible()) continue;
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                                 qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractItemView*>(w);
            if (control && !w->inherits("QScrollBar") && !w->inherits("QHeaderView")) controls << w;
        }
    }
    return controls;
}

QString TestScript::describe(QWidget* widget) {
    return QStringLiteral("%1 (%2)").arg(widget->objectName(), QLatin1String(widget->metaObject()->className()));
}

QString TestScript::textOf(QWidget* widget) const {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* slider = qobject_cast<EditorSlider*>(widget)) return QString::number(slider->floatValue());
    if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) return QString::number(slider->value());
    if (widget->isWindow()) return widget->windowTitle();
    return {};
}

void TestScript::screenshot(const QString& path) {
    QRect area;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->isWindow() && !top->inherits("QMenu")) area |= top->frameGeometry();
    QScreen* screen = window_.screen();
    const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (shot.isNull() || !shot.save(path)) fail(QStringLiteral("cannot save the screen to %1").arg(path));
}

// NAME, the number of arguments it needs at least, and what it does.
struct TestScript::Command {
    const char* name;
    int arguments;
    bool (TestScript::*run)(const QStringList& words);
};

const TestScript::Command* TestScript::command(const QString& name) {
    static const Command commands[] = {
        {"timeout", 1, &TestScript::setTimeout},  // SECONDS a line may wait (default 60)
        {"echo", 0, &TestScript::echo},           // TEXT... to the log
        {"sleep", 1, &TestScript::sleep},         // MS
        {"wait", 1, &TestScript::wait},           // NAME is shown
        {"settled", 0, &TestScript::settled},     // no screen is moving in or out
        {"gone", 1, &TestScript::gone},           // NAME is not shown
        {"text", 2, &TestScript::text},           // NAME's text contains TEXT...
        {"differs", 2, &TestScript::differs},     // NAME's text does not contain TEXT...
        {"print", 1, &TestScript::print},         // NAME=its text on standard output
        {"click", 1, &TestScript::click},         // the button NAME, once enabled
        {"set", 2, &TestScript::set},             // the slider NAME to VALUE
        {"type", 2, &TestScript::type},           // TEXT... into the field NAME
        {"row", 2, &TestScript::row},             // the first row of NAME showing TEXT... becomes current
        {"key", 1, &TestScript::key},             // KEYS [COUNT] to the focused widget
        {"named", 0, &TestScript::named},         // every visible control has a spoken name
        {"tabs", 0, &TestScript::tabs},           // Tab reaches every control, each shows its focus
        {"rows", 1, &TestScript::rows},           // NAME[ROW]=TEXT for each row of NAME
        {"count", 2, &TestScript::count},         // NAME has N rows
        {"property", 3, &TestScript::property},   // NAME's PROPERTY reads TEXT...
        {"rating", 0, &TestScript::rating},       // the rating prompt shows
        {"focus", 0, &TestScript::focus},         // the window (and NAME) gets the keyboard focus
        {"pick", 1, &TestScript::pick},           // the file PATH, as if dropped
        {"shot", 1, &TestScript::shot},           // PATH [NAME]: a picture of the windows (or of NAME)
        {"scale", 1, &TestScript::scale},         // the window's scale, PERCENT
        {"where", 1, &TestScript::where},         // NAME=x,y,width,height on the screen
        {"close", 0, &TestScript::close},         // the window closes
    };
    for (const Command& c : commands)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

bool TestScript::run(const QStringList& words) {
    const Command* c = command(words.value(0));
    if (!c) fail(QStringLiteral("unknown command"));
    if (words.size() < c->arguments + 1) fail(QStringLiteral("%1 needs %2 argument(s)").arg(words[0]).arg(c->arguments));
    return (this->*(c->run))(words);
}

bool TestScript::setTimeout(const QStringList& words) {
    timeoutSeconds_ = words[1].toInt();
    return true;
}

bool TestScript::echo(const QStringList& words) {
    say(rest(words, 1));
    return true;
}

bool TestScript::sleep(const QStringList& words) {
    return QDateTime::currentMSecsSinceEpoch() - lineStarted_ >= words[1].toLongLong();
}

bool TestScript::wait(const QStringList& words) { return find(words[1]) != nullptr; }

bool TestScript::settled(const QStringList&) { return !window_.stack()->isTransitioning(); }

bool TestScript::gone(const QStringList& words) { return find(words[1]) == nullptr; }

bool TestScript::text(const QStringList& words) {
    QWidget* widget = find(words[1]);
    return widget && textOf(widget).contains(rest(words, 2));
}

bool TestScript::differs(const QStringList& words) {
    QWidget* widget = find(words[1]);
    return widget && !textOf(widget).contains(rest(words, 2));
}

bool TestScript::print(const QStringList& words) {
    QWidget* widget = find(words[1]);
    if (!widget) return false;
    std::printf("%s=%s\n", qPrintable(words[1]), qPrintable(textOf(widget)));
    std::fflush(stdout);
    return true;
}

bool TestScript::click(const QStringList& words) {
    auto* button = qobject_cast<QAbstractButton*>(find(words[1]));
    if (!button || !button->isEnabled()) return false;
    button->click();
    return true;
}

bool TestScript::set(const QStringList& words) {
    QWidget* widget = find(words[1]);
    if (!widget || !widget->isEnabled()) return false;
    bool ok = false;
    const double value = words[2].toDouble(&ok);
    if (!ok) fail(QStringLiteral("not a number"));
    if (auto* slider = qobject_cast<EditorSlider*>(widget))
        slider->setValue(int(std::lround(value * EditorSlider::kScale)));
    else if (auto* plain = qobject_cast<QAbstractSlider*>(widget)) plain->setValue(int(std::lround(value)));
    else fail(QStringLiteral("%1 is not a slider").arg(words[1]));
    return true;
}

bool TestScript::type(const QStringList& words) {
    auto* edit = qobject_cast<QLineEdit*>(find(words[1]));
    if (!edit) return false;
    edit->setText(rest(words, 2));
    return true;
}

bool TestScript::row(const QStringList& words) {
    auto* view = qobject_cast<QAbstractItemView*>(find(words[1]));
    if (!view || !view->model()) return false;
    const QString wanted = rest(words, 2);
    QAbstractItemModel* model = view->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex index = model->index(r, column);
            if (!model->data(index).toString().contains(wanted)) continue;
            view->scrollTo(index);
            view->setCurrentIndex(index);
            return true;
        }
    }
    return false;
}

// KEYS [COUNT] to the focused widget of the active window (shortcuts included).
bool TestScript::key(const QStringList& words) {
    QWidget* top = QApplication::activeModalWidget();
    if (!top) top = QApplication::activeWindow();
    if (!top) {
        window_.activateWindow();
        return false;
    }
    const QKeySequence sequence = QKeySequence::fromString(words[1]);
    if (sequence.isEmpty()) fail(QStringLiteral("no such key"));
    const QKeyCombination combination = sequence[0];
    const int times = words.size() > 2 ? words[2].toInt() : 1;
    for (int i = 0; i < times; ++i) {
        QWidget* target = top->focusWidget() ? top->focusWidget() : top;
        QTest::keyClick(target, combination.key(), combination.keyboardModifiers());
    }
    return true;
}

// Every visible control a person can use has a name for screen readers.
bool TestScript::named(const QStringList&) {
    QStringList unnamed;
    for (QWidget* w : visibleControls()) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        const QString spoken = face ? face->text(QAccessible::Name).trimmed() : QString();
        if (spoken.isEmpty()) unnamed << describe(w);
    }
    if (!unnamed.isEmpty()) fail(QStringLiteral("controls without a name: ") + unnamed.join(QStringLiteral(", ")));
    return true;
}

// Tab, pressed from the focused control, reaches every visible enabled
// control of the screens (or of the dialog on top), and each looks
// different while it has the focus.
bool TestScript::tabs(const QStringList&) {
    QWidget* root = QApplication::activeModalWidget();
    if (!root) root = window_.stack();
    if (!QApplication::focusWidget()) {
        window_.activateWindow();
        return false;
    }
    QList<QWidget*> controls;
    for (QWidget* w : visibleControls())
        if (w->isEnabled() && w->window() == root) controls << w;
    QHash<QWidget*, QImage> focusedLook;
    for (int i = 0; i < 3 * controls.size() + 4 && focusedLook.size() < controls.size(); ++i) {
        QWidget* top = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
        QWidget* target = top && top->focusWidget() ? top->focusWidget() : QApplication::focusWidget();
        if (!target) break;
        QTest::keyClick(target, Qt::Key_Tab);
        // Inside the canvas the application's focus stays on the view: ask the screens.
        QWidget* now = root->focusWidget();
        if (controls.contains(now) && !focusedLook.contains(now)) focusedLook.insert(now, now->grab().toImage());
    }
    QWidget* last = root->focusWidget();
    QStringList faults;
    for (QWidget* w : controls) {
        if (!focusedLook.contains(w)) faults << QStringLiteral("%1 not reached").arg(describe(w));
        else if (w != last && focusedLook.value(w) == w->grab().toImage())
            faults << QStringLiteral("%1 shows no focus").arg(describe(w));
    }
    if (!faults.isEmpty()) fail(faults.join(QStringLiteral(", ")));
    std::printf("tabs=%lld\n", static_cast<long long>(controls.size()));
    std::fflush(stdout);
    return true;
}

bool TestScript::rows(const QStringList& words) {
    auto* view = qobject_cast<QAbstractItemView*>(find(words[1]));
    if (!view || !view->model()) return false;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        std::printf("%s[%d]=%s\n", qPrintable(words[1]), r, qPrintable(view->model()->index(r, 0).data().toString()));
    std::fflush(stdout);
    return true;
}

bool TestScript::count(const QStringList& words) {
    auto* view = qobject_cast<QAbstractItemView*>(find(words[1]));
    return view && view->model() && view->model()->rowCount() == words[2].toInt();
}

bool TestScript::property(const QStringList& words) {
    QWidget* widget = find(words[1]);
    return widget && widget->property(qPrintable(words[2])).toString() == rest(words, 3);
}

bool TestScript::rating(const QStringList&) {
    Appirater::sharedInstance().showRatingAlert();
    return true;
}

bool TestScript::focus(const QStringList& words) {
    if (words.size() > 1) {
        QWidget* widget = find(words[1]);
        if (!widget || !window_.isActiveWindow()) {
            window_.activateWindow();
            return false;
        }
        widget->setFocus(Qt::TabFocusReason);
        return widget->hasFocus();
    }
    window_.activateWindow();
    window_.raise();
    return window_.isActiveWindow();
}

bool TestScript::pick(const QStringList& words) {
    window_.navigator()->pickFile(words[1]);
    return true;
}

// PATH: the program's windows as on screen; PATH NAME: that widget as it
// draws itself, wherever a transition has it.
bool TestScript::shot(const QStringList& words) {
    if (words.size() > 2) {
        QWidget* widget = find(words[2]);
        if (!widget) return false;
        if (!widget->grab().save(words[1])) fail(QStringLiteral("cannot save %1").arg(words[1]));
        return true;
    }
    screenshot(words[1]);
    return true;
}

bool TestScript::scale(const QStringList& words) {
    window_.setScalePercent(words[1].toInt());
    return true;
}

// NAME=x,y,width,height: where the widget is on the screen, in the screen's
// pixels (through the canvas's scaling), for pointer tools.
bool TestScript::where(const QStringList& words) {
    QWidget* widget = find(words[1]);
    CanvasView* canvas = window_.canvas();
    if (!widget || !canvas || window_.stack()->isTransitioning()) return false;
    const auto onScreen = [&](QPoint local) {
        if (!window_.stack()->isAncestorOf(widget)) return widget->mapToGlobal(local);
        const QPoint inStack = widget->mapTo(window_.stack(), local);
        return canvas->viewport()->mapToGlobal(canvas->mapFromScene(QPointF(inStack)));
    };
    const QRect rect(onScreen(QPoint(0, 0)), onScreen(QPoint(widget->width(), widget->height())));
    std::printf("%s=%d,%d,%d,%d\n", qPrintable(words[1]), rect.x(), rect.y(), rect.width(), rect.height());
    std::fflush(stdout);
    return true;
}

bool TestScript::close(const QStringList&) {
    window_.close();
    return true;
}

} // namespace quorvel
