#pragma once
// Where the parameter database lives and how it comes into being.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace dg::store {

// The two connection texts, verbatim. They differ only in the final semicolon.
inline constexpr std::string_view kOpenConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=mdb\\Para.mdb;";
inline constexpr std::string_view kCreateConnectionString =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=mdb\\Para.mdb";

inline constexpr std::string_view kFolderName = "mdb";
inline constexpr std::string_view kDatabaseEntry = "mdb\\Para.mdb";

// Tells whether an entry of that relative name (backslash or slash as
// separator) exists in the current working directory. With foldersCount
// false only a plain file counts.
bool EntryExists(std::string_view relativeName, bool foldersCount);

// Creates one folder. Throws StoreError with the file system's description.
void MakeFolder(std::string_view path);

// Reports a failure to the operator: OK button, no title of its own.
using FailureReport = std::function<void(const std::string& description)>;

// Makes sure the folder "mdb" and the file "mdb\Para.mdb" exist, creating
// what is missing, in that order. The first failure is handed to `report`
// and ends the procedure; it never throws.
void EnsureDatabase(const FailureReport& report);

}  // namespace dg::store
