// quorvel: the desktop program. Start-up order: the store is opened and
// reconciled, then the window shows, then the rating prompt hears of the launch.
//
// --help, --version and a wrong command line are answered before the
// application object exists, so they need no display.
//
// QUORVEL_REPORT_FIRST_PAINT=1 prints the wall-clock time of the window's
// first paint ("first-paint-ms <milliseconds since the epoch>") and quits
// (the start-up benchmark).
#include "DesktopCommandLine.h"
#include "DisplayCheck.h"
#include "MainWindow.h"
#include "Navigator.h"
#include "RatingAlertPresenter.h"
#include "SingleInstance.h"
#include "StoreTroubleDialog.h"
#include "app/QuorvelAppDelegate.h"
#include "platform/core/Paths.h"
#include "platform/core/TerminationSignals.h"
#include "platform/core/WorkerThreads.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "platform/translations/Translations.h"
#include "rating/Appirater.h"
#include "ui/common/CanvasView.h"
// The journeys' build of this file (quorvel_scripted, tests/journeys) adds
// the script runner; the program itself has none.
#ifdef QUORVEL_TEST_HOOKS
#include "TestScript.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QDateTime>
#include <QTimer>
#include <cstdio>

using namespace quorvel;

int main(int argc, char** argv) {
    const DesktopCommandLine commandLine(DesktopCommandLine::arguments(argc, argv));
    if (const std::optional<int> status = commandLine.answerWithoutWindow()) return *status;
    const std::unique_ptr<QApplication> application = DisplayCheck::createApplication(argc, argv);
    QApplication& app = *application;
    // The locale's language, before any widget or text is made.
    Translations::install();
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvel"));
    // A logout, `kill` or Ctrl+C closes the program as its window's close does.
    TerminationSignals::install([] { QApplication::closeAllWindows(); QApplication::quit(); });

    // One window per documents folder: a second start hands its file over and ends.
    SingleInstance instance(Paths::documentsDirectory());
    if (instance.handOver(app.arguments().mid(1, 1))) return 0;
    instance.listen();

    MPMediaLibrary& library = MPMediaLibrary::defaultMediaLibrary();
    QuorvelAppDelegate delegate;
    MainWindow window(library);
    // The picker's list is read on the library's worker once the window is up,
    // so that the scan does not slow the window's first paint.
    QObject::connect(window.canvas(), &CanvasView::firstPainted, &app, [&library] {
        if (!library.hasScanned() && !library.isScanning()) library.beginScan();
    }, Qt::QueuedConnection);
    Appirater::sharedInstance().setPresenter(std::make_shared<RatingAlertPresenter>(*window.stack()));
    QObject::connect(&instance, &SingleInstance::filesReceived, &window, &MainWindow::openFromAnotherStart);

    if (qEnvironmentVariableIntValue("QUORVEL_REPORT_FIRST_PAINT") == 1) {
        QObject::connect(window.canvas(), &CanvasView::firstPainted, &app, [] {
            std::printf("first-paint-ms %lld\n", QDateTime::currentMSecsSinceEpoch());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QApplication::quit);
        });
    }

    delegate.setShowMainView([&window] { window.show(); });
#ifdef QUORVEL_TEST_HOOKS
    // Before the launch: a journey may answer the window about a damaged store.
    TestScript::startFromEnvironment(window);
#endif
    // A store that cannot be opened is said in a window of its own; a damaged one can be moved aside.
    if (!StoreTroubleDialog::launch(delegate)) {
        Appirater::sharedInstance().setPresenter(nullptr);
        WorkerThreads::joinAll();
        return 1;
    }
    QObject::connect(&window, &MainWindow::wentToBackground, &app, [&delegate] { delegate.applicationDidEnterBackground(); });
    QObject::connect(&window, &MainWindow::cameToForeground, &app, [&delegate] { delegate.applicationWillEnterForeground(); });
    QObject::connect(&app, &QApplication::aboutToQuit, &app, [&delegate, &window] {
        // A running export is stopped (and its worker joined) before the store is saved.
        window.navigator()->shutDown();
        delegate.applicationWillTerminate();
    });

    // A song named on the command line is picked at once (a missing one is said in the window).
    if (!commandLine.file().isEmpty())
        QTimer::singleShot(0, &window, [&window, path = commandLine.file()] { window.navigator()->pickFile(path); });

    const int status = app.exec();
    Appirater::sharedInstance().setPresenter(nullptr);
    Appirater::waitForPendingCounts();
    // Every worker ends while the window and the application object it posts to still exist.
    WorkerThreads::joinAll();
    return status;
}
