#pragma once
// Help ▸ About Quorvel: the program's name and version, its licence, the
// libraries it runs with (their versions as linked) and its home page.
// Window-modal, opened without a nested event loop.
#include <QDialog>

namespace quorvel {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kHomePage = QUORVEL_HOMEPAGE_URL;

    explicit AboutBox(QWidget* parent);
};

} // namespace quorvel
