#pragma once
// Something the output device plays: a player's stream or a system sound.
#include <cstddef>

namespace quorvel {

class AudioRenderer {
public:
    virtual ~AudioRenderer() = default;

    // Audio thread. Writes `frames` interleaved stereo frames at 44,100 Hz to
    // `out` (silence where there is nothing yet). Returns false once it has
    // given everything it will; it is then not called again. Must not block,
    // allocate or wait for another thread.
    virtual bool render(float* out, int frames) noexcept = 0;

    // Main thread, from the event loop: the output has let go of this
    // renderer after its render() returned false.
    virtual void renderingFinished() = 0;

    // Main thread: the output lost its device before this renderer was done;
    // render() is not called again.
    virtual void renderingCutOff() { renderingFinished(); }
};

} // namespace quorvel
