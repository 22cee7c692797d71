#include "interchange/scan_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/output_file.h"
#include "store/scan_store.h"

namespace tb::ScanFiles {
namespace {

std::string parentOf(const std::string& file) {
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return file.substr(0, slash);
}

// The staging folder holds only what this save made (the scan file and, after
// a failure, SQLite's side files); it goes with its contents.
void removeStaging(const std::string& staging) {
    if (DIR* d = ::opendir(staging.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") ::unlink((staging + "/" + name).c_str());
        }
        ::closedir(d);
    }
    ::rmdir(staging.c_str());
}

} // namespace

Status streamScan(const ScanForest& forest, const std::string& root, const NcduJson::Sink& sink) {
    std::string staging = platform::SpecialFolders::temporary() + "/tarnbeck-scan-XXXXXX";
    if (::mkdtemp(staging.data()) == nullptr)
        return Error::posix(errno,
                            "cannot stage the scan in " + platform::SpecialFolders::temporary());
    auto saved = ScanStore::saveIn(staging, forest, root);
    Status streamed = okStatus();
    if (!saved) {
        streamed = saved.error();
    } else if (auto file = platform::FileSystem::openRegular(saved->fileURL); !file) {
        streamed = file.error();
    } else {
        std::string chunk(1 << 20, '\0');
        for (;;) {
            const ssize_t n = platform::readRetrying(file->fd.get(), chunk.data(), chunk.size());
            if (n < 0) {
                streamed = Error::posix(errno, saved->fileURL);
                break;
            }
            if (n == 0) break;
            errno = 0;
            if (!sink(std::string_view(chunk.data(), std::size_t(n)))) {
                streamed = Error::posix(errno ? errno : EIO, "cannot write the scan");
                break;
            }
        }
    }
    removeStaging(staging);
    return streamed;
}

Result<ScanRecord> saveAtomically(const ScanForest& forest, const std::string& root,
                                  const std::string& storeDirectory,
                                  const std::optional<std::string>& file, std::stop_token stop) {
    const std::string destinationFolder = file ? parentOf(*file) : storeDirectory;
    std::string staging =
        destinationFolder + "/" + std::string(ScanStore::kStagingPrefix) + "XXXXXX";
    // Held until the folder is gone: the history listing leaves it alone meanwhile.
    auto stagingLock = platform::FileSystem::createLockedFolder(staging);
    if (!stagingLock)
        return Error::posix(stagingLock.error().code, "cannot write in " + destinationFolder);

    auto saved = ScanStore::saveIn(staging, forest, root, stop);
    if (!saved) {
        removeStaging(staging);
        return saved.error();
    }
    ScanRecord record = *saved;
    const std::string target =
        file ? *file : storeDirectory + "/" + record.id.toString() + ".sqlite";
    if (auto moved = platform::moveIntoPlace(record.fileURL, target); !moved) {
        removeStaging(staging);
        return moved.error();
    }
    removeStaging(staging);
    record.fileURL = target;
    return record;
}

Result<ImportSummary> importExport(const std::string& exportFile, const std::string& storeDirectory,
                                   std::stop_token stop) {
    auto imported = NcduJson::readFile(exportFile, stop);
    if (!imported) return imported.error();
    return storeImported(std::move(*imported), storeDirectory, {}, stop);
}

Result<ImportSummary> storeImported(NcduJson::Imported imported, const std::string& storeDirectory,
                                    const std::string& host, std::stop_token stop) {
    const std::string root(imported.tree.root->path());
    const Date made = imported.timestamp.isDistantPast() ? Date::now() : imported.timestamp;
    ScanContext context = ScanContext::make(root, std::nullopt, imported.unreadable == 0, made);
    context.host = host;
    ScanForest forest(imported.tree, imported.unreadable, imported.entries, std::move(context),
                      ScanForest::WalkedLinks{std::move(imported.links), imported.hardLinks});
    auto record = saveAtomically(forest, root, storeDirectory, std::nullopt, stop);
    if (!record) return record.error();
    if (!imported.timestamp.isDistantPast()) {
        // The history dates a scan by its file; let it show when the export was made.
        const timespec times[2] = {{made.seconds, 0}, {made.seconds, 0}};
        if (::utimensat(AT_FDCWD, record->fileURL.c_str(), times, 0) == 0) record->finished = made;
    }
    return ImportSummary{*record, imported.entries, imported.folderBlocks};
}

Status exportScan(const std::string& scanFile, const NcduJson::Sink& sink,
                  const std::string& progver) {
    auto record = ScanStore::record(scanFile);
    if (!record) return Error{"Interchange", 2, "cannot open " + scanFile + " as a scan"};
    // Reopened as a forest, so that the files with several names are known.
    auto forest = ScanStore::reopen(*record);
    if (!forest) return Error{"Interchange", 2, scanFile + " holds no readable scan"};
    NcduJson::WriteOptions options;
    options.progver = progver;
    options.timestamp = record->finished;
    options.links = &forest->links();
    if (!NcduJson::write(*forest->root(), sink, options))
        return Error::posix(errno ? errno : EIO, "cannot write the export");
    return okStatus();
}

} // namespace tb::ScanFiles
