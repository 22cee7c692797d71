// A file that appears under its final name only when it is complete. It is
// made in the destination's own folder either with no name at all or under a
// random short name created exclusively, so nothing another user planted in
// a shared folder can redirect, block or own what we write. One object per
// file, used from one thread at a time.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "base/result.h"
#include "platform/file_descriptor.h"

namespace tb::platform {

class OutputFile {
public:
    enum class Staging {
        unnamedWhereSupported, // O_TMPFILE, else a random name
        named,                 // always a random name
    };
    struct Options {
        mode_t mode = 0600; // the umask applies, as to any new file
        Staging staging = Staging::unnamedWhereSupported;
    };

    // Fails at once when `target` names something `checkTarget` refuses.
    static Result<OutputFile> create(const std::string& target, Options options);
    static Result<OutputFile> create(const std::string& target) { return create(target, {}); }

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Unpublished, the file goes: nothing half-written is ever left.
    ~OutputFile();

    // Buffered; a failed write fails every later write and the publish.
    Status write(std::string_view data);
    // Writes out and syncs the data, then gives it the target's name,
    // replacing a regular file or a symbolic link there (never following it).
    Status publish();

    const std::string& target() const { return target_; }
    // Empty while the file has no name of its own.
    const std::string& stagingName() const { return stagingName_; }

private:
    OutputFile(std::string target, FileDescriptor folder, std::string name);
    Status flush();
    Status linkUnder(const std::string& name);
    Status stageUnderRandomName();
    void discard();

    std::string target_;
    FileDescriptor folder_;
    std::string name_; // the final name inside folder_
    FileDescriptor file_;
    std::string stagingName_; // inside folder_, when the file has one
    std::string buffer_;
    Status failed_ = okStatus();
    bool published_ = false;
};

// Refuses an existing `target` that is not a regular file or a symbolic link
// (a device, FIFO, socket or folder) with a message naming it; an absent
// target is fine.
Status checkTarget(const std::string& target);

// Renames a finished file into place under the same refusal, relative to the
// target's folder as opened once, then syncs that folder.
Status moveIntoPlace(const std::string& from, const std::string& target);

} // namespace tb::platform
