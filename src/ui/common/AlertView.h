#pragma once
// A window-modal alert over the canvas: a title, a message and buttons, or,
// without buttons, a notice that only its owner closes (the processing
// notice, with a spinning activity indicator). Button indexes: the cancel
// button is 0 when there is one, the further buttons follow in order.
//
// Usage: AlertView::show(stack, "DRM", text, "OK", {}, [](int index) {...});
// returns at once; the handler runs when a button is pressed.
#include "ui/common/ModalPanel.h"

#include <QStringList>

class QLabel;

namespace quorvel {

class ActivityIndicator;

class AlertView : public ModalPanel {
    Q_OBJECT
public:
    static AlertView* show(ScreenStack* stack, const QString& title, const QString& message,
                           const QString& cancelButtonTitle, const QStringList& otherButtonTitles = {},
                           ClickHandler clicked = {});
    // The alert without buttons and with a spinning indicator, shown while
    // work runs; the owner closes it with dismissWithClickedButtonIndex().
    static AlertView* showProcessingNotice(ScreenStack* stack, const QString& title);

    QString title() const;
    QString message() const;
    ActivityIndicator* activityIndicator() const { return activity_; }

protected:
    QRect panelRect() const override;
    void resizeEvent(QResizeEvent* event) override;

private:
    AlertView(ScreenStack* stack, ClickHandler clicked);
    void build(const QString& title, const QString& message, const QStringList& buttons, bool hasCancel,
               bool spinner);
    void place();

    QWidget* panel_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* message_ = nullptr;
    ActivityIndicator* activity_ = nullptr;
};

} // namespace quorvel
