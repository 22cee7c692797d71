// Desktop hand-offs: the folder chooser, revealing, opening and previewing an
// item. Called on the interface thread only; nothing here waits for the
// action it starts, but each says whether something took it on.
#pragma once

#include <optional>
#include <string>

namespace tb::platform {

class Desktop {
public:
    virtual ~Desktop() = default;
    // A modal chooser of one folder; nullopt when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& start,
                                                    const std::string& confirmLabel) = 0;
    // Each returns false when nothing on the desktop took the request.
    // Shows the file manager with the item selected.
    virtual bool reveal(const std::string& path) = 0;
    // Opens the item with its default application.
    virtual bool open(const std::string& path) = 0;
    // A quick preview where the desktop offers one; otherwise the item is
    // opened with its default application.
    virtual bool preview(const std::string& path) = 0;
    // Opens a web or settings address.
    virtual bool openAddress(const std::string& address) = 0;
    // Starts the user's terminal in the folder.
    virtual bool openTerminal(const std::string&) { return false; }
};

// Does nothing and chooses nothing: for headless use.
class NoDesktop : public Desktop {
public:
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    bool reveal(const std::string&) override { return false; }
    bool open(const std::string&) override { return false; }
    bool preview(const std::string&) override { return false; }
    bool openAddress(const std::string&) override { return false; }
};

} // namespace tb::platform
