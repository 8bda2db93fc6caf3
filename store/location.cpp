#include "store/location.h"

#include "base/failure_text.h"
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
    std::string error;
    switch (platform::MakeFolder(path, error)) {
        case platform::Creation::kCreated: return;
        case platform::Creation::kExists: error = "已有同名的文件或文件夹"; break;
        case platform::Creation::kFailed: break;
    }
    // The full name too: the folder is made in the host's working directory.
    throw StoreError(
        FailureText("无法创建文件夹" + Quoted(path), error + "（位置：" + platform::FullName(path) + "）"));
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
