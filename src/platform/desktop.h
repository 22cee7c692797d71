// Desktop hand-offs: the folder chooser, revealing, opening and previewing an
// item. Called on the interface thread only; nothing here waits for or
// reports the outcome of the action it starts.
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
    // Shows the file manager with the item selected.
    virtual void reveal(const std::string& path) = 0;
    // Opens the item with its default application.
    virtual void open(const std::string& path) = 0;
    // A quick preview where the desktop offers one; otherwise the item is
    // opened with its default application.
    virtual void preview(const std::string& path) = 0;
    // Opens a web or settings address.
    virtual void openAddress(const std::string& address) = 0;
    // Starts the user's terminal in the folder; nothing where there is none.
    virtual void openTerminal(const std::string&) {}
};

// Does nothing and chooses nothing: for headless use.
class NoDesktop : public Desktop {
public:
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void reveal(const std::string&) override {}
    void open(const std::string&) override {}
    void preview(const std::string&) override {}
    void openAddress(const std::string&) override {}
};

} // namespace tb::platform
