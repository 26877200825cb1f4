#pragma once
// SDL2, opened the first time the program needs sound rather than when it
// starts. SDL2 brings some twenty libraries of its own (sound servers,
// windowing, input), and loading them took about 10 ms of every start of
// quorvel-cli, which mostly plays nothing. Every SDL function the program
// calls is a member here, of SDL's own type.
#include <QString>
#include <SDL.h>

namespace quorvel {

struct SdlLibrary {
    // Opens the library the first time (safe from any thread); nullptr, with
    // the reason in `error`, when it cannot be opened or lacks a function.
    static const SdlLibrary* open(QString* error = nullptr);
    // The library, once open() has succeeded.
    static const SdlLibrary& get();

    decltype(&::SDL_GetError) GetError = nullptr;
    decltype(&::SDL_GetVersion) GetVersion = nullptr;
    decltype(&::SDL_SetHint) SetHint = nullptr;
    decltype(&::SDL_SetHintWithPriority) SetHintWithPriority = nullptr;
    decltype(&::SDL_ResetHint) ResetHint = nullptr;
    decltype(&::SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&::SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&::SDL_GetCurrentAudioDriver) GetCurrentAudioDriver = nullptr;
    decltype(&::SDL_GetNumAudioDevices) GetNumAudioDevices = nullptr;
    decltype(&::SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&::SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&::SDL_LockAudioDevice) LockAudioDevice = nullptr;
    decltype(&::SDL_UnlockAudioDevice) UnlockAudioDevice = nullptr;
    decltype(&::SDL_GetAudioDeviceStatus) GetAudioDeviceStatus = nullptr;
    decltype(&::SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
};

} // namespace quorvel
