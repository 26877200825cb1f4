#pragma once

namespace quorvel {

// How a presented screen comes in and goes out, numbered as the phone numbers them.
enum class ModalTransitionStyle {
    CoverVertical = 0,  // slides up from the bottom, back down when closed
    FlipHorizontal = 1, // the canvas turns over around its vertical axis
    CrossDissolve = 2,  // fades in over the screen below
};

} // namespace quorvel
