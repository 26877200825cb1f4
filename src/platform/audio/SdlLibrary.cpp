#include "platform/audio/SdlLibrary.h"

#include <dlfcn.h>

namespace quorvel {

namespace {

// The name the runtime package installs, of the ABI the headers describe.
constexpr const char* kLibraryName = "libSDL2-2.0.so.0";

struct Loaded {
    SdlLibrary library;
    QString error; // empty when it loaded
};

template <class Function>
bool resolve(void* handle, const char* name, Function* function, QString* missing) {
    *function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!*function) *missing = QStringLiteral("%1 has no %2").arg(QLatin1String(kLibraryName), QLatin1String(name));
    return *function != nullptr;
}

// Stops at the first function missing, and names it in `e`.
bool resolveAll(void* handle, SdlLibrary& l, QString* e) {
    return resolve(handle, "SDL_GetError", &l.GetError, e) && resolve(handle, "SDL_GetVersion", &l.GetVersion, e) &&
        resolve(handle, "SDL_SetHint", &l.SetHint, e) &&
        resolve(handle, "SDL_SetHintWithPriority", &l.SetHintWithPriority, e) &&
        resolve(handle, "SDL_ResetHint", &l.ResetHint, e) &&
        resolve(handle, "SDL_InitSubSystem", &l.InitSubSystem, e) &&
        resolve(handle, "SDL_QuitSubSystem", &l.QuitSubSystem, e) &&
        resolve(handle, "SDL_GetCurrentAudioDriver", &l.GetCurrentAudioDriver, e) &&
        resolve(handle, "SDL_GetNumAudioDevices", &l.GetNumAudioDevices, e) &&
        resolve(handle, "SDL_OpenAudioDevice", &l.OpenAudioDevice, e) &&
        resolve(handle, "SDL_PauseAudioDevice", &l.PauseAudioDevice, e) &&
        resolve(handle, "SDL_LockAudioDevice", &l.LockAudioDevice, e) &&
        resolve(handle, "SDL_UnlockAudioDevice", &l.UnlockAudioDevice, e) &&
        resolve(handle, "SDL_GetAudioDeviceStatus", &l.GetAudioDeviceStatus, e) &&
        resolve(handle, "SDL_CloseAudioDevice", &l.CloseAudioDevice, e);
}

Loaded load() {
    Loaded loaded;
    // Never closed: SDL's threads and the program's devices use it to the end.
    void* handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        loaded.error = QStringLiteral("cannot load %1 (%2)").arg(QLatin1String(kLibraryName), QString::fromLocal8Bit(dlerror()));
        return loaded;
    }
    resolveAll(handle, loaded.library, &loaded.error);
    return loaded;
}

const Loaded& loaded() {
    static const Loaded once = load(); // the first caller loads; the others wait for it
    return once;
}

} // namespace

const SdlLibrary* SdlLibrary::open(QString* error) {
    const Loaded& l = loaded();
    if (l.error.isEmpty()) return &l.library;
    if (error) *error = l.error;
    return nullptr;
}

const SdlLibrary& SdlLibrary::get() {
    Q_ASSERT(open());
    return loaded().library;
}

} // namespace quorvel
