#pragma once
// A window-modal action sheet: a title and a column of buttons rising from
// the bottom of the canvas. Button indexes as on the phone: the destructive
// button is 0 when there is one, then the further buttons, the cancel button
// last. Esc presses the cancel button.
#include "ui/common/ModalPanel.h"

#include <QStringList>

namespace quorvel {

class ActionSheet : public ModalPanel {
    Q_OBJECT
public:
    static ActionSheet* show(ScreenStack* stack, const QString& title, const QString& cancelButtonTitle,
                             const QString& destructiveButtonTitle, const QStringList& otherButtonTitles,
                             ClickHandler clicked);
    int cancelButtonIndex() const { return cancelIndex_; }

protected:
    QRect panelRect() const override;
    void resizeEvent(QResizeEvent* event) override;

private:
    ActionSheet(ScreenStack* stack, ClickHandler clicked);
    void place();

    QWidget* panel_ = nullptr;
    int cancelIndex_ = -1;
};

} // namespace quorvel
