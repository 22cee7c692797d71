#include "analysis/dpkg_status.h"

#include <unordered_set>

#include "analysis/text.h"
#include "base/path.h"
#include "platform/app_source_reader.h"

namespace tb {
namespace {

// "a (>= 1) | b:any, c [amd64]" -> a, b, c
void addRelations(std::string_view field, std::vector<std::string>& out) {
    std::size_t start = 0;
    while (start <= field.size()) {
        std::size_t end = field.find_first_of(",|", start);
        if (end == std::string_view::npos) end = field.size();
        std::string_view item = text::trimmed(field.substr(start, end - start));
        item = item.substr(0, item.find_first_of(" ([<:"));
        if (!item.empty()) out.emplace_back(item);
        start = end + 1;
    }
}

bool isDigits(std::string_view s) {
    return !s.empty() && s.size() < 15 &&
           s.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

DpkgStatus DpkgStatus::parse(std::string_view document) {
    DpkgStatus s;
    DpkgPackage p;
    bool installed = false;
    std::string field; // the last field seen, for continuation lines
    const auto finish = [&] {
        if (installed && !p.name.empty() && !s.byName_.count(p.name)) {
            if (p.source.empty()) p.source = p.name;
            s.byName_.emplace(p.name, s.packages_.size());
            for (const auto& v : p.provides)
                s.providers_[v].push_back(s.packages_.size());
            s.packages_.push_back(std::move(p));
        }
        p = DpkgPackage{};
        installed = false;
    };
    while (!document.empty()) {
        const std::size_t nl = document.find('\n');
        std::string_view line = document.substr(0, nl);
        document.remove_prefix(nl == std::string_view::npos ? document.size() : nl + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (text::trimmed(line).empty()) {
            finish();
            continue;
        }
        if (line[0] == ' ' || line[0] == '\t') {
            // Long relation fields may go on over several lines.
            if (field == "Depends" || field == "Pre-Depends") addRelations(line, p.depends);
            if (field == "Recommends" || field == "Suggests") addRelations(line, p.suggests);
            if (field == "Provides") addRelations(line, p.provides);
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        field = std::string(line.substr(0, colon));
        const std::string_view value = text::trimmed(line.substr(colon + 1));
        if (field == "Package")
            p.name = std::string(value);
        else if (field == "Status")
            installed = value.ends_with(" installed");
        else if (field == "Source")
            p.source = std::string(value.substr(0, value.find(' ')));
        else if (field == "Version")
            p.version = std::string(value);
        else if (field == "Essential")
            p.essential = p.essential || value == "yes";
        else if (field == "Priority")
            p.essential = p.essential || value == "required";
        else if (field == "Installed-Size" && isDigits(value))
            p.installedBytes = std::stoll(std::string(value)) * 1024;
        else if (field == "Depends" || field == "Pre-Depends")
            addRelations(value, p.depends);
        else if (field == "Recommends" || field == "Suggests")
            addRelations(value, p.suggests);
        else if (field == "Provides")
            addRelations(value, p.provides);
    }
    finish();
    return s;
}

DpkgStatus DpkgStatus::read(const std::string& database) {
    if (database.empty()) return {};
    const auto bytes = platform::AppSourceReader::readSmallFile(Path::appending(database, "status"),
                                                                256 * 1024 * 1024);
    return bytes ? parse(*bytes) : DpkgStatus{};
}

const DpkgPackage* DpkgStatus::find(std::string_view name) const {
    const auto it = byName_.find(std::string(name));
    return it == byName_.end() ? nullptr : &packages_[it->second];
}

std::vector<const DpkgPackage*> DpkgStatus::satisfying(std::string_view name) const {
    std::vector<const DpkgPackage*> out;
    if (const DpkgPackage* p = find(name)) out.push_back(p);
    if (const auto it = providers_.find(std::string(name)); it != providers_.end()) {
        for (std::size_t i : it->second)
            out.push_back(&packages_[i]);
    }
    return out;
}

std::vector<const DpkgPackage*> autoRemovable(const DpkgStatus& status,
                                              std::string_view extendedStates) {
    std::unordered_set<std::string> automatic;
    std::string package;
    while (!extendedStates.empty()) {
        const std::size_t nl = extendedStates.find('\n');
        const std::string_view line = text::trimmed(extendedStates.substr(0, nl));
        extendedStates.remove_prefix(nl == std::string_view::npos ? extendedStates.size() : nl + 1);
        if (line.starts_with("Package:")) package = std::string(text::trimmed(line.substr(8)));
        if (line.starts_with("Auto-Installed:") && text::trimmed(line.substr(15)) == "1")
            automatic.insert(package);
    }
    // Whatever a hand-installed package needs or suggests is kept, as apt
    // keeps it by default.
    std::unordered_set<const DpkgPackage*> kept;
    std::vector<const DpkgPackage*> pending;
    for (const auto& p : status.packages()) {
        if (p.essential || !automatic.count(p.name)) {
            kept.insert(&p);
            pending.push_back(&p);
        }
    }
    while (!pending.empty()) {
        const DpkgPackage* p = pending.back();
        pending.pop_back();
        for (const auto* list : {&p->depends, &p->suggests}) {
            for (const auto& name : *list) {
                for (const DpkgPackage* d : status.satisfying(name)) {
                    if (kept.insert(d).second) pending.push_back(d);
                }
            }
        }
    }
    std::vector<const DpkgPackage*> out;
    for (const auto& p : status.packages()) {
        if (!kept.count(&p)) out.push_back(&p);
    }
    return out;
}

} // namespace tb
