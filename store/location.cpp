#include "store/location.h"

#include <system_error>

#include "store/errors.h"
#include "store/platform.h"
#include "store/store.h"

namespace dg::store {

bool EntryExists(std::string_view relativeName, bool foldersCount) {
    switch (platform::KindOf(relativeName)) {
        case platform::EntryKind::kNone: return false;
        case platform::EntryKind::kFile: return true;
        default: return foldersCount;
    }
}

void MakeFolder(std::string_view path) {
    if (const std::error_code ec = platform::MakeFolder(path)) {
        throw StoreError("Cannot create folder '" + std::string(path) + "': " + platform::ErrorText(ec));
    }
}

void EnsureDatabase(const FailureReport& report) {
    try {
        if (!EntryExists(kFolderName, true)) MakeFolder(kFolderName);
        if (!EntryExists(kDatabaseEntry, false)) CatalogCreate(kCreateConnectionString);
    } catch (const std::exception& e) {
        if (report) report(e.what());
    }
}

}  // namespace dg::store
