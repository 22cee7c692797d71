// The installed Debian packages as dpkg records them in its status file:
// names, sources, sizes and how they depend on each other. Reads files only;
// nothing runs apt or dpkg. Any thread; a parsed status is immutable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tb {

struct DpkgPackage {
    std::string name;
    std::string source; // "Source" without its version, else the name
    std::string version;
    std::int64_t installedBytes = 0;   // "Installed-Size" (KiB) in bytes
    bool essential = false;            // "Essential: yes" or priority required
    std::vector<std::string> depends;  // Depends and Pre-Depends, every alternative
    std::vector<std::string> suggests; // Recommends and Suggests, every alternative
    std::vector<std::string> provides;
};

class DpkgStatus {
public:
    // Stanzas whose Status says "installed"; anything else is passed over.
    static DpkgStatus parse(std::string_view document);
    // `database` is dpkg's folder ("/var/lib/dpkg"); nothing when unreadable.
    static DpkgStatus read(const std::string& database);

    const std::vector<DpkgPackage>& packages() const { return packages_; }
    const DpkgPackage* find(std::string_view name) const;
    // The installed packages a relation name stands for: the package of
    // that name and those that provide it.
    std::vector<const DpkgPackage*> satisfying(std::string_view name) const;

private:
    std::vector<DpkgPackage> packages_;
    std::unordered_map<std::string, std::size_t> byName_;
    std::unordered_map<std::string, std::vector<std::size_t>> providers_;
};

// The package names "apt autoremove" would take: automatically installed
// ones (`extendedStates`, apt's own file) that nothing installed by hand
// needs, through dependencies, recommendations or suggestions.
std::vector<const DpkgPackage*> autoRemovable(const DpkgStatus& status,
                                              std::string_view extendedStates);

} // namespace tb
