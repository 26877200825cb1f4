#pragma once
// What the editor screen leaves to navigation: presenting the other screens
// and closing them. The program's navigator implements it; it alone knows
// who presents whom.
#include "screens/MainView.h"

#include <memory>

namespace quorvel {

class ExportViewController;

class EditorNavigation {
public:
    virtual ~EditorNavigation() = default;
    virtual void presentScreen(EditorScreen screen) = 0;
    virtual void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) = 0;
    virtual void dismissPresentedScreen() = 0;
    // Closes what is presented over the start screen, which stays.
    virtual void dismissScreensOverStartScreen() { dismissPresentedScreen(); }
};

} // namespace quorvel
