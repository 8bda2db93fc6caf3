#pragma once
// The one-time upgrade of a parameter database that an earlier installation
// kept as a Jet 4 file: its tblPass and tblClassTime rows go into a new
// database of our own, the old file is kept byte for byte beside it
// (Para.jet.mdb, or Para.jet.2.mdb and so on), and the new file takes the old
// one's place in one atomic step.
#include <span>

#include "store/schema.h"

namespace dg::store {

// Called when the file named by `source` starts like a Jet database. Returns
// once the file is no longer one (upgraded here, or by another process that
// was at it first). Throws StoreError, with a description of what was found
// or what failed, and then the file is as it was and nothing is left beside it.
// `declared` are the tables carried over, as the new file defines them.
void UpgradeJetDatabase(const ConnectionText& source, std::span<const TableSpec> declared = kParameterTables);

// What the upgrade would make of `bytes`, the whole of the Jet file `name`,
// without writing anything: returns when it would carry the file's tables,
// throws the StoreError it would refuse the file with otherwise.
void CheckJetUpgrade(const std::string& name, const std::string& bytes);

}  // namespace dg::store
