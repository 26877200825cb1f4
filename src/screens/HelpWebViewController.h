#pragma once
// The help viewer's behaviour: the page's address comes from the string
// table ("help_url"; a relative text names a file among the resources), it
// is loaded once when the view loads, links open inside the viewer, and the
// done action tells the delegate. Only a remote page needs the network, so
// only a remote page is refused while the Internet is unreachable.
//
// Main thread only.
#include "rating/Reachability.h"

#include <QString>
#include <QUrl>
#include <functional>

namespace quorvel {

class HelpWebViewController;

class HelpWebViewControllerDelegate {
public:
    virtual ~HelpWebViewControllerDelegate() = default;
    virtual void helpWebViewControllerDidFinish(HelpWebViewController* sender) = 0;
};

// What the viewer's widget does for it.
class HelpWebView {
public:
    virtual ~HelpWebView() = default;
    // Loads `url`; the widget reports back through webViewDidStartLoad() and
    // webViewDidFinishLoad() / webViewDidFailLoadWithError().
    virtual void loadRequest(const QUrl& url) = 0;
    virtual void startActivity() = 0;
    virtual void stopActivity() = 0;
    virtual void showAlert(const QString& title, const QString& message, const QString& button) = 0;
};

class HelpWebViewController {
public:
    enum class NavigationType { LinkClicked, Other };

    void setDelegate(HelpWebViewControllerDelegate* delegate) { delegate_ = delegate; }
    HelpWebViewControllerDelegate* delegate() const { return delegate_; }
    void setView(HelpWebView* view) { view_ = view; }

    // The address in the string table, resolved: a relative text is a file
    // among the resources. Empty when the table has no usable address.
    static QUrl helpURL();
    static bool isRemote(const QUrl& url);

    const QUrl& url() const { return url_; }
    void setUrl(const QUrl& url) { url_ = url; }

    // Loads the page the first time only; a viewer shown again keeps its page.
    void viewDidLoad();
    bool isViewLoaded() const { return viewLoaded_; }
    void viewDidUnload();
    void loadHelp();

    // The web view's callbacks.
    void webViewDidStartLoad();
    void webViewDidFinishLoad();
    void webViewDidFailLoadWithError(const QString& error);
    bool webViewShouldStartLoadWithRequest(const QUrl& url, NavigationType navigationType);

    // The done button.
    void done();

    // Where the reachability status comes from (tests pass their own).
    using StatusProvider = std::function<NetworkStatus()>;
    void setReachabilityStatusProvider(StatusProvider provider) { statusProvider_ = std::move(provider); }

private:
    NetworkStatus currentStatus() const;

    HelpWebViewControllerDelegate* delegate_ = nullptr;
    HelpWebView* view_ = nullptr;
    QUrl url_;
    bool viewLoaded_ = false;
    StatusProvider statusProvider_;
};

} // namespace quorvel
