#include "TestScript.h"

#include "Appirater.h"
#include "CanvasView.h"
#include "EditorSlider.h"
#include "MainWindow.h"
#include "Navigator.h"
#include "ScreenStack.h"

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

bool TestScript::run(const QStringList& words) {
    const QString command = words.value(0);
    const QString name = words.value(1);
    const auto need = [&](int count) {
        if (words.size() < count + 1) fail(QStringLiteral("%1 needs %2 argument(s)").arg(command).arg(count));
    };

    if (command == QLatin1String("timeout")) {
        need(1);
        timeoutSeconds_ = words[1].toInt();
        return true;
    }
    if (command == QLatin1String("echo")) {
        say(words.mid(1).join(QLatin1Char(' ')));
        return true;
    }
    if (command == QLatin1String("sleep")) {
        need(1);
        return QDateTime::currentMSecsSinceEpoch() - lineStarted_ >= words[1].toLongLong();
    }
    if (command == QLatin1String("wait")) {
        need(1);
        return find(name) != nullptr;
    }
    if (command == QLatin1String("settled")) {
        // No screen is moving in or out.
        return !window_.stack()->isTransitioning();
    }
    if (command == QLatin1String("gone")) {
        need(1);
        return find(name) == nullptr;
    }
    if (command == QLatin1String("text")) {
        need(2);
        QWidget* widget = find(name);
        return widget && textOf(widget).contains(words.mid(2).join(QLatin1Char(' ')));
    }
    if (command == QLatin1String("differs")) {
        need(2);
        QWidget* widget = find(name);
        return widget && !textOf(widget).contains(words.mid(2).join(QLatin1Char(' ')));
    }
    if (command == QLatin1String("print")) {
        need(1);
        QWidget* widget = find(name);
        if (!widget) return false;
        std::printf("%s=%s\n", qPrintable(name), qPrintable(textOf(widget)));
        std::fflush(stdout);
        return true;
    }
    if (command == QLatin1String("click")) {
        need(1);
        auto* button = qobject_cast<QAbstractButton*>(find(name));
        if (!button || !button->isEnabled()) return false;
        button->click();
        return true;
    }
    if (command == QLatin1String("set")) {
        need(2);
        QWidget* widget = find(name);
        if (!widget || !widget->isEnabled()) return false;
        bool ok = false;
        const double value = words[2].toDouble(&ok);
        if (!ok) fail(QStringLiteral("not a number"));
        if (auto* slider = qobject_cast<EditorSlider*>(widget))
            slider->setValue(int(std::lround(value * EditorSlider::kScale)));
        else if (auto* plain = qobject_cast<QAbstractSlider*>(widget)) plain->setValue(int(std::lround(value)));
        else fail(QStringLiteral("%1 is not a slider").arg(name));
        return true;
    }
    if (command == QLatin1String("type")) {
        need(2);
        auto* edit = qobject_cast<QLineEdit*>(find(name));
        if (!edit) return false;
        edit->setText(words.mid(2).join(QLatin1Char(' ')));
        return true;
    }
    if (command == QLatin1String("row")) {
        // The first row of an item view with a cell containing the text becomes current.
        need(2);
        auto* view = qobject_cast<QAbstractItemView*>(find(name));
        if (!view || !view->model()) return false;
        const QString wanted = words.mid(2).join(QLatin1Char(' '));
        QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                const QModelIndex index = model->index(row, column);
                if (!model->data(index).toString().contains(wanted)) continue;
                view->scrollTo(index);
                view->setCurrentIndex(index);
                return true;
            }
        }
        return false;
    }
    if (command == QLatin1String("key")) {
        // KEYS [COUNT] to the focused widget of the active window (shortcuts included).
        need(1);
        QWidget* top = QApplication::activeModalWidget();
        if (!top) top = QApplication::activeWindow();
        if (!top) {
            window_.activateWindow();
            return false;
        }
        const QKeySequence sequence = QKeySequence::fromString(name);
        if (sequence.isEmpty()) fail(QStringLiteral("no such key"));
        const QKeyCombination combination = sequence[0];
        const int count = words.size() > 2 ? words[2].toInt() : 1;
        for (int i = 0; i < count; ++i) {
            QWidget* target = top->focusWidget() ? top->focusWidget() : top;
            QTest::keyClick(target, combination.key(), combination.keyboardModifiers());
        }
        return true;
    }
    if (command == QLatin1String("named")) {
        // Every visible control a person can use has a name for screen readers.
        QStringList unnamed;
        for (QWidget* w : visibleControls()) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
            const QString spoken = face ? face->text(QAccessible::Name).trimmed() : QString();
            if (spoken.isEmpty()) unnamed << describe(w);
        }
        if (!unnamed.isEmpty()) fail(QStringLiteral("controls without a name: ") + unnamed.join(QStringLiteral(", ")));
        return true;
    }
    if (command == QLatin1String("tabs")) {
        // Tab, pressed from the focused control, reaches every visible enabled
        // control of the screens (or of the dialog on top), and each looks
        // different while it has the focus.
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
    if (command == QLatin1String("rows")) {
        // Each row's text, in the view's order: NAME[ROW]=TEXT.
        need(1);
        auto* view = qobject_cast<QAbstractItemView*>(find(name));
        if (!view || !view->model()) return false;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            std::printf("%s[%d]=%s\n", qPrintable(name), row, qPrintable(view->model()->index(row, 0).data().toString()));
        std::fflush(stdout);
        return true;
    }
    if (command == QLatin1String("count")) {
        need(2);
        auto* view = qobject_cast<QAbstractItemView*>(find(name));
        return view && view->model() && view->model()->rowCount() == words[2].toInt();
    }
    if (command == QLatin1String("property")) {
        // Waits until the widget's property reads as the text.
        need(3);
        QWidget* widget = find(name);
        return widget && widget->property(qPrintable(words[2])).toString() == words.mid(3).join(QLatin1Char(' '));
    }
    if (command == QLatin1String("rating")) {
        // The rating prompt, as it shows once its conditions are met.
        Appirater::sharedInstance().showRatingAlert();
        return true;
    }
    if (command == QLatin1String("focus")) {
        // The window (and with a NAME, that control) gets the keyboard focus.
        if (!name.isEmpty()) {
            QWidget* widget = find(name);
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
    if (command == QLatin1String("pick")) {
        need(1);
        window_.navigator()->pickFile(words[1]);
        return true;
    }
    if (command == QLatin1String("shot")) {
        // PATH: the program's windows as on screen; PATH NAME: that widget as it
        // draws itself, wherever a transition has it.
        need(1);
        if (words.size() > 2) {
            QWidget* widget = find(words[2]);
            if (!widget) return false;
            if (!widget->grab().save(words[1])) fail(QStringLiteral("cannot save %1").arg(words[1]));
            return true;
        }
        screenshot(words[1]);
        return true;
    }
    if (command == QLatin1String("scale")) {
        need(1);
        window_.setScalePercent(words[1].toInt());
        return true;
    }
    if (command == QLatin1String("where")) {
        // NAME=x,y,width,height: where the widget is on the screen, in the
        // screen's pixels (through the canvas's scaling), for pointer tools.
        need(1);
        QWidget* widget = find(name);
        CanvasView* canvas = window_.canvas();
        if (!widget || !canvas || window_.stack()->isTransitioning()) return false;
        const auto onScreen = [&](QPoint local) {
            if (!window_.stack()->isAncestorOf(widget)) return widget->mapToGlobal(local);
            const QPoint inStack = widget->mapTo(window_.stack(), local);
            return canvas->viewport()->mapToGlobal(canvas->mapFromScene(QPointF(inStack)));
        };
        const QRect rect(onScreen(QPoint(0, 0)), onScreen(QPoint(widget->width(), widget->height())));
        std::printf("%s=%d,%d,%d,%d\n", qPrintable(name), rect.x(), rect.y(), rect.width(), rect.height());
        std::fflush(stdout);
        return true;
    }
    if (command == QLatin1String("close")) {
        window_.close();
        return true;
    }
    fail(QStringLiteral("unknown command"));
    return true;
}

} // namespace quorvel
