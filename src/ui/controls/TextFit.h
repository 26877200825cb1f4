#pragma once
// Texts in fixed-size places (the editor's captions and buttons, a bar's
// button) that a longer language would clip: the font shrinks, a pixel at a
// time, until every line of the text fits the widget's width, and no smaller
// than `smallestPixelSize`. English texts fit already and are left as they are.
#include <QWidget>

namespace quorvel {

class TextFit {
  public:
    // `margin`: what the widget's frame and padding take of its width.
    // Returns the pixel size used (the widget's own when it fit).
    static int shrinkToFit(QWidget* widget, int margin = 0, int smallestPixelSize = 9);
};

} // namespace quorvel
