#pragma once
// The desktop's file manager: shows a file selected in its folder through
// org.freedesktop.FileManager1's ShowItems on the session bus, or, where no
// file manager answers there, opens the folder with the desktop's opener.
//
// Main thread only; the D-Bus call is asynchronous and never blocks it.
#include <QObject>
#include <QString>
#include <functional>

namespace quorvel {

class DesktopFileManager : public QObject {
    Q_OBJECT
public:
    enum class Shown { Selected, FolderOpened, Failed };

    explicit DesktopFileManager(QObject* parent = nullptr);

    // Shows `path` selected; `done` learns how, on the main thread.
    void showItem(const QString& path, std::function<void(Shown)> done);
    // Opens `folder` in the file manager (the desktop's opener).
    static bool openFolder(const QString& folder);

    static constexpr const char* kService = "org.freedesktop.FileManager1";
    static constexpr const char* kPath = "/org/freedesktop/FileManager1";
};

} // namespace quorvel
