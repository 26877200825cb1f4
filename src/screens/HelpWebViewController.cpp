#include "screens/HelpWebViewController.h"

#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/Paths.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quorvel {

QUrl HelpWebViewController::helpURL() {
    const QString text = NSLocalizedString(QStringLiteral("help_url")).trimmed();
    if (text.isEmpty() || text == QStringLiteral("help_url")) return {};
    const QUrl url(text);
    if (url.isRelative() && !text.startsWith(QLatin1Char('/')))
        return QUrl::fromLocalFile(QFileInfo(Paths::resourcePath(url.path())).absoluteFilePath());
    if (url.scheme().isEmpty()) return QUrl::fromLocalFile(text);
    return url;
}

bool HelpWebViewController::isRemote(const QUrl& url) {
    return !url.isLocalFile() && !url.scheme().isEmpty() && url.scheme() != QStringLiteral("qrc");
}

void HelpWebViewController::viewDidLoad() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (viewLoaded_) return;
    viewLoaded_ = true;
    url_ = helpURL();
    loadHelp();
}

void HelpWebViewController::viewDidUnload() {
    viewLoaded_ = false;
    url_ = QUrl();
}

NetworkStatus HelpWebViewController::currentStatus() const {
    if (statusProvider_) return statusProvider_();
    return Reachability::reachabilityForInternetConnection()->currentReachabilityStatus();
}

void HelpWebViewController::loadHelp() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (url_.isEmpty() || !view_) return;
    // A page that ships with the program loads without the network.
    if (!isRemote(url_) || currentStatus() != NotReachable) {
        view_->loadRequest(url_);
        return;
    }
    view_->showAlert(QCoreApplication::translate("HelpWebViewController", "Internet"),
                     NSLocalizedString(QStringLiteral("no_internet")),
                     QCoreApplication::translate("HelpWebViewController", "OK"));
    view_->stopActivity();
}

void HelpWebViewController::webViewDidStartLoad() {
    if (view_) view_->startActivity();
}

void HelpWebViewController::webViewDidFinishLoad() {
    if (view_) view_->stopActivity();
}

void HelpWebViewController::webViewDidFailLoadWithError(const QString& error) {
    NSLog("Help page failed to load: %@", error);
}

bool HelpWebViewController::webViewShouldStartLoadWithRequest(const QUrl&, NavigationType) { return true; }

void HelpWebViewController::done() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (delegate_) delegate_->helpWebViewControllerDidFinish(this);
}

} // namespace quorvel
