#pragma once
// Reads and rewrites the metadata of an existing MPEG-4 file in place
// (TagLib's MP4 support). Only the items set here change; every other tag is
// written back as it was read.
//
// Thread safety: one editor is used by one thread at a time.
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace quorvel {

class Mp4TagEditor {
public:
    // Opens the file for modification: nullptr when it does not exist, is not
    // an MPEG-4 file or cannot be written. The file is not changed until store().
    static std::unique_ptr<Mp4TagEditor> modify(const QString& path);
    ~Mp4TagEditor();
    Mp4TagEditor(const Mp4TagEditor&) = delete;
    Mp4TagEditor& operator=(const Mp4TagEditor&) = delete;

    std::optional<QString> comments() const;
    std::optional<uint8_t> mediaType() const; // the "stik" item
    void setComments(const QString& comments);
    void setMediaType(uint8_t mediaType);
    // Rewrites the metadata in the file; false when writing failed.
    bool store();

private:
    Mp4TagEditor();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quorvel
