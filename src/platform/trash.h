// The desktop Trash (the freedesktop.org Trash layout) on raw-byte paths,
// and a move that never replaces anything. Nothing here copies or deletes a
// user's item: an item either moves by rename or stays where it was.
// Any thread; no state beyond the file system's.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tb::platform {

// The seam the review queue moves items through; tests put a fake behind it.
class Trash {
public:
    virtual ~Trash() = default;
    // Moves the item itself (a final symbolic link is moved, not followed)
    // into the Trash of its volume and returns its new path.
    virtual Result<std::string> moveToTrash(const std::string& path) = 0;
    // Moves a trashed item back to `original`, creating missing parent
    // folders; refuses when anything exists there, or when a parent on the
    // way is a link or another user's folder. Only after the move does the
    // item's entry leave the Trash's listing.
    virtual Status putBack(const std::string& trashed, const std::string& original) = 0;
};

// How the trash learns which volume an item lies on; tests stand in another
// volume with a plain folder.
struct TrashVolumes {
    // Whether an item can be renamed into a folder (same mount, same device).
    std::function<bool(const std::string& item, const std::string& folder)> sameVolume;
    // The mount point of the volume holding an existing folder.
    std::function<std::string(const std::string& folder)> topDirectory;

    static TrashVolumes system();
};

// Home trash `$XDG_DATA_HOME/Trash` for items on its volume (where a link
// in its place leads, not the data folder's); otherwise `$topdir/.Trash/$uid`
// (a real sticky folder only) or `$topdir/.Trash-$uid`, where `Path=` is
// relative to the top directory.
class FreedesktopTrash final : public Trash {
public:
    explicit FreedesktopTrash(TrashVolumes volumes = TrashVolumes::system());
    Result<std::string> moveToTrash(const std::string& path) override;
    Status putBack(const std::string& trashed, const std::string& original) override;

private:
    TrashVolumes volumes_;
};

std::shared_ptr<Trash> systemTrash();

// Renames `from` to `to` without ever replacing what exists at `to`
// (renameat2 RENAME_NOREPLACE; where the file system lacks it, link + unlink
// for non-folders, and a refusal for folders).
Status moveItem(const std::string& from, const std::string& to);

// The original path a trashed item's .trashinfo records, made absolute.
Result<std::string> originalPathOf(const std::string& trashed);

// `Path=` encoding: every byte outside A-Z a-z 0-9 - _ . ~ / as %XX.
std::string encodeTrashPath(std::string_view path);
// Its inverse, lenient: a "%" without two hex digits stays as it is, since
// other programs write raw paths.
std::string decodeTrashPath(std::string_view text);

} // namespace tb::platform
