#pragma once
// A one-line progress bar on standard error, drawn only when standard error
// is a terminal.
#include <QString>

namespace quorvel::cli {

class ProgressBar {
  public:
    explicit ProgressBar(QString label);
    ~ProgressBar();
    void update(double fraction); // 0..1
    void finish();

  private:
    QString label_;
    bool enabled_;
    int lastPermille_ = -1;
    bool finished_ = false;
};

} // namespace quorvel::cli
