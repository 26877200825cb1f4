#pragma once
// The window needs a display. Where Qt finds none (no X or Wayland server,
// or one it cannot reach), it would abort; here the program says so in one
// line, with the way to work without one, and ends with status 1.
#include <QApplication>
#include <memory>

namespace quorvel {

class DisplayCheck {
public:
    static constexpr const char* kMessage =
        "quorvel: needs a display (X11 or Wayland); without one, use quorvel-cli (see quorvel-cli --help)";

    // The application, connected to the display; does not return without one.
    static std::unique_ptr<QApplication> createApplication(int& argc, char** argv);
};

} // namespace quorvel
