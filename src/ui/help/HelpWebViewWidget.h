#pragma once
// The help viewer's widget, built from the "HelpWebView" layout: a text
// browser (`webView`) that keeps every link inside the viewer, the activity
// indicator (`activity`) and the done button. Pages that ship with the
// program are read from disk; remote pages are fetched over the network.
#include "screens/HelpWebViewController.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace Ui {
class HelpWebView;
}

namespace quorvel {

class HelpWebViewWidget : public QWidget, public HelpWebView {
    Q_OBJECT
public:
    explicit HelpWebViewWidget(QWidget* parent = nullptr);
    ~HelpWebViewWidget() override;

    HelpWebViewController& controller() { return controller_; }
    // The page on display (empty before the first load).
    QUrl currentUrl() const { return current_; }

    // HelpWebView
    void loadRequest(const QUrl& url) override;
    void startActivity() override;
    void stopActivity() override;
    void showAlert(const QString& title, const QString& message, const QString& button) override;

signals:
    void pageLoaded(const QUrl& url);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void linkClicked(const QUrl& link);
    void remoteFinished(QNetworkReply* reply);

    std::unique_ptr<Ui::HelpWebView> ui_;
    HelpWebViewController controller_;
    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> pending_;
    QUrl current_;
};

} // namespace quorvel
