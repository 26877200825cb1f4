#pragma once
// The editor's page at the bottom of the screen stack. The editor's
// controls move in here; until then it is the plain page the start screen
// and the help viewer are presented over.
#include <QWidget>

namespace quorvel {

class EditorPage : public QWidget {
    Q_OBJECT
public:
    explicit EditorPage(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quorvel
