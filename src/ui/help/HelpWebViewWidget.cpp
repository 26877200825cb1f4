#include "ui/help/HelpWebViewWidget.h"

#include "ui/common/ActivityIndicator.h"
#include "ui/common/AlertView.h"
#include "ui/common/ScreenStack.h"
#include "ui_HelpWebView.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScrollBar>
#include <QTextBrowser>

namespace quorvel {

HelpWebViewWidget::HelpWebViewWidget(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::HelpWebView>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("HelpWebView"));
    ui_->activity->setColor(Qt::white);
    ui_->activity->setHidesWhenStopped(true);
    ui_->webView->setOpenLinks(false);
    ui_->webView->setOpenExternalLinks(false);
    setFocusProxy(ui_->webView);
    // A slim scroll indicator, as on the phone.
    ui_->webView->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 7px; background: white; margin: 2px 1px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(0,0,0,100); border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    controller_.setView(this);
    connect(ui_->doneButton, &QPushButton::clicked, this, [this] { controller_.done(); });
    connect(ui_->backButton, &QPushButton::clicked, ui_->webView, &QTextBrowser::backward);
    connect(ui_->webView, &QTextBrowser::backwardAvailable, ui_->backButton, &QPushButton::setEnabled);
    connect(ui_->webView, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) { current_ = url; });
    connect(ui_->webView, &QTextBrowser::anchorClicked, this, &HelpWebViewWidget::linkClicked);
}

HelpWebViewWidget::~HelpWebViewWidget() {
    if (pending_) pending_->abort();
}

void HelpWebViewWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The page loads once, the first time the viewer shows.
    if (!controller_.isViewLoaded()) controller_.viewDidLoad();
}

void HelpWebViewWidget::linkClicked(const QUrl& link) {
    const QUrl target = current_.isEmpty() ? link : current_.resolved(link);
    if (!controller_.webViewShouldStartLoadWithRequest(target, HelpWebViewController::NavigationType::LinkClicked))
        return;
    loadRequest(target);
}

void HelpWebViewWidget::loadRequest(const QUrl& url) {
    if (pending_) pending_->abort();
    controller_.webViewDidStartLoad();
    if (HelpWebViewController::isRemote(url)) {
        if (!network_) network_ = new QNetworkAccessManager(this);
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        pending_ = network_->get(request);
        connect(pending_.data(), &QNetworkReply::finished, this, [this, reply = pending_.data()] { remoteFinished(reply); });
        return;
    }
    const QFileInfo file(url.toLocalFile());
    if (!file.isFile() || !file.isReadable()) {
        controller_.webViewDidFailLoadWithError(QStringLiteral("cannot read %1").arg(url.toString()));
        return;
    }
    ui_->webView->setSource(url);
    current_ = url;
    controller_.webViewDidFinishLoad();
    emit pageLoaded(url);
}

void HelpWebViewWidget::remoteFinished(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        if (reply->error() != QNetworkReply::OperationCanceledError)
            controller_.webViewDidFailLoadWithError(reply->errorString());
        return;
    }
    const QUrl url = reply->url();
    const QByteArray body = reply->readAll();
    ui_->webView->document()->setBaseUrl(url);
    if (reply->header(QNetworkRequest::ContentTypeHeader).toString().contains(QStringLiteral("html")))
        ui_->webView->setHtml(QString::fromUtf8(body));
    else
        ui_->webView->setPlainText(QString::fromUtf8(body));
    current_ = url;
    controller_.webViewDidFinishLoad();
    emit pageLoaded(url);
}

void HelpWebViewWidget::startActivity() { ui_->activity->startAnimating(); }

void HelpWebViewWidget::stopActivity() { ui_->activity->stopAnimating(); }

void HelpWebViewWidget::showAlert(const QString& title, const QString& message, const QString& button) {
    if (ScreenStack* stack = ScreenStack::stackOf(this)) {
        AlertView::show(stack, title, message, button);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, title, message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace quorvel
