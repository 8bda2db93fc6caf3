#include "store/location.h"

#include <system_error>

#include "store/errors.h"
#include "store/paths.h"
#include "store/platform.h"
#include "store/store.h"

namespace dg::store {

bool EntryExists(std::string_view relativeName, bool foldersCount) {
    std::error_code ec;
    const auto status = std::filesystem::status(PathFromUtf8(relativeName), ec);
    if (ec || !std::filesystem::exists(status)) return false;
    if (std::filesystem::is_directory(status)) return foldersCount;
    return std::filesystem::is_regular_file(status) || foldersCount;
}

void MakeFolder(std::string_view path) {
    std::error_code ec;
    const auto target = PathFromUtf8(path);
    if (!std::filesystem::create_directory(target, ec)) {
        if (!ec) ec = std::make_error_code(std::errc::file_exists);
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
