// Another library exporting DllGetClassObject, loaded first, cannot take the
// calls that libdutygate makes to its own entry points.
#include <gtest/gtest.h>

#include "dutygate/dutygate.h"
#include "tests/support/temp_dir.h"

namespace {

using InterposeTest = dg::testsupport::TempDirTest;

TEST_F(InterposeTest, CreationUsesTheLibrarysOwnFactory) {
    void* factory = nullptr;
    // The program itself sees the interposer's entry point...
    ASSERT_EQ(DllGetClassObject(&DG_CLSID_clsShiftClass, &DG_IID_IClassFactory, &factory), DG_E_FAIL);
    // ...while creation inside libdutygate still reaches its own.
    dg_object* obj = nullptr;
    ASSERT_EQ(dg_create_object(DG_PROGID_CLSSHIFTCLASS, &obj), DG_S_OK) << dg_last_error();
    EXPECT_EQ(dg_release(obj), 0u);
}

}  // namespace
