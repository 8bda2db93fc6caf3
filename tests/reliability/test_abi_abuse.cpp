// The C interface fed what a careless or hostile host might pass: null
// pointers, absurd names, arguments of every type and count, unknown
// identifiers. Every call answers with a status; none crashes or blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dutygate/dutygate.h"
#include "support/temp_dir.h"

namespace {

class AbiAbuseTest : public dg::testsupport::TempDirTest {
protected:
    void TearDown() override {
        EXPECT_EQ(DllCanUnloadNow(), DG_S_OK) << "an object outlived its test";
        TempDirTest::TearDown();
    }
    static dg_object* Create(const char* progid) {
        dg_object* obj = nullptr;
        EXPECT_EQ(dg_create_object(progid, &obj), DG_S_OK) << dg_last_error();
        return obj;
    }
};

const std::string kHuge(1 << 20, 'A');

std::vector<dg_variant> EveryVariant() {
    std::vector<dg_variant> all;
    dg_variant v{};
    v.vt = DG_VT_EMPTY;
    all.push_back(v);
    v.vt = DG_VT_I2, v.u.i2 = -32768;
    all.push_back(v);
    v.vt = DG_VT_I4, v.u.i4 = 0x7fffffff;
    all.push_back(v);
    v.vt = DG_VT_DATE, v.u.date = -1e308;
    all.push_back(v);
    v.vt = DG_VT_BSTR, v.u.bstr = nullptr;
    all.push_back(v);
    v.vt = DG_VT_BSTR, v.u.bstr = kHuge.c_str();
    all.push_back(v);
    v.vt = DG_VT_BOOL, v.u.boolean = -1;
    all.push_back(v);
    v.vt = 0xffff, v.u.i4 = 1;  // no such type
    all.push_back(v);
    return all;
}

}  // namespace

TEST_F(AbiAbuseTest, NullAndAbsurdNamesAreRefusedWithoutAnObject) {
    for (const char* name : {static_cast<const char*>(nullptr), "", kHuge.c_str(), "{", "{}", "Dutygate.",
                             "{4C8BE658-78E0-400E-B0C7-BC6C35919C1A", "{4C8BE658-78E0-400E-B0C7-BC6C35919C1AX}",
                             "{ZZZZZZZZ-78E0-400E-B0C7-BC6C35919C1A}", "\xff\xfe", "Dutygate.clsPassword\n"}) {
        dg_object* obj = reinterpret_cast<dg_object*>(0x1);
        EXPECT_LT(dg_create_object(name, &obj), 0) << (name ? std::string(name).substr(0, 40) : "null");
        EXPECT_EQ(obj, nullptr);
        obj = reinterpret_cast<dg_object*>(0x1);
        EXPECT_LT(dg_get_predeclared(name, &obj), 0);
        EXPECT_EQ(obj, nullptr);
    }
    EXPECT_EQ(dg_create_object(DG_PROGID_CLSPASSWORD, nullptr), DG_E_POINTER);
    EXPECT_EQ(dg_get_predeclared("clsPassword", nullptr), DG_E_POINTER);
    EXPECT_STRNE(dg_last_error(), "");

    dg_object* shift = Create(DG_PROGID_CLSSHIFTCLASS);
    std::int32_t id = 7;
    EXPECT_EQ(dg_get_dispid(shift, kHuge.c_str(), &id), DG_E_UNKNOWN_NAME);
    EXPECT_EQ(dg_get_dispid(shift, "", &id), DG_E_UNKNOWN_NAME);
    EXPECT_EQ(dg_get_dispid(shift, "ShiftClass\0x", &id), DG_S_OK);  // the name ends at its terminator
    EXPECT_EQ(id, DG_DISPID_SHIFTCLASS);
    EXPECT_EQ(dg_release(shift), 0u);
}

TEST_F(AbiAbuseTest, EveryArgumentTypeAndCountOnEveryMemberGivesAStatus) {
    dg_object* objects[] = {Create(DG_PROGID_CLSPASSWORD), Create(DG_PROGID_CLSSHIFTCLASS)};
    const std::int32_t dispids[] = {DG_DISPID_SHOWDIALOG,
                                    DG_DISPID_SHOWREVISE,
                                    DG_DISPID_SHOWLANDING,
                                    DG_DISPID_SHOWSETCLASS,
                                    DG_DISPID_SHIFTCLASS,
                                    DG_DISPID_EVENT,
                                    0,
                                    -1,
                                    0x7fffffff,
                                    static_cast<std::int32_t>(0x80000000),
                                    0x60030000};
    const std::vector<dg_variant> variants = EveryVariant();
    for (dg_object* obj : objects) {
        for (std::int32_t dispid : dispids) {
            for (const dg_variant& v : variants) {
                for (std::uint32_t argc = 1; argc <= 8; ++argc) {
                    std::vector<dg_variant> args(argc, v);
                    dg_variant result{};
                    result.vt = DG_VT_I4;
                    const dg_status status = dg_invoke(obj, dispid, args.data(), argc, &result);
                    EXPECT_TRUE(status == DG_E_BAD_PARAM_COUNT || status == DG_E_MEMBER_NOT_FOUND)
                        << std::hex << dispid << " vt " << v.vt << " argc " << argc << " status " << status;
                    EXPECT_EQ(result.vt, DG_VT_EMPTY);
                    // No argument array at all for a count above zero.
                    EXPECT_LT(dg_invoke(obj, dispid, nullptr, argc, nullptr), 0);
                }
            }
        }
        // The poll itself, with and without a result, still works afterwards.
        EXPECT_EQ(dg_invoke(objects[1], DG_DISPID_SHIFTCLASS, nullptr, 0, nullptr), DG_S_OK);
    }
    for (dg_object* obj : objects) EXPECT_EQ(dg_release(obj), 0u);
}

TEST_F(AbiAbuseTest, NullObjectsAndFactoriesEverywhere) {
    dg_variant result{};
    std::uint32_t cookie = 9;
    auto sink = [](void*, std::int32_t, const char*, const dg_variant*, std::uint32_t) {};
    EXPECT_EQ(dg_get_dispid(nullptr, nullptr, nullptr), DG_E_POINTER);
    EXPECT_EQ(dg_invoke(nullptr, DG_DISPID_SHOWDIALOG, nullptr, 0, &result), DG_E_POINTER);
    EXPECT_EQ(dg_advise(nullptr, sink, nullptr, &cookie), DG_E_POINTER);
    EXPECT_EQ(dg_unadvise(nullptr, 1), DG_E_POINTER);
    EXPECT_EQ(dg_add_ref(nullptr), 0u);
    EXPECT_EQ(dg_release(nullptr), 0u);

    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_LT(DllGetClassObject(nullptr, &DG_IID_IClassFactory, &out), 0);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_LT(DllGetClassObject(&DG_CLSID_clsShiftClass, nullptr, &out), 0);
    EXPECT_LT(DllGetClassObject(&DG_CLSID_clsShiftClass, &DG_IID_IClassFactory, nullptr), 0);
    EXPECT_LT(DllGetClassObject(&DG_IID_IUnknown, &DG_IID_IClassFactory, &out), 0);  // not a class
    EXPECT_EQ(out, nullptr);
    dg_object* obj = nullptr;
    EXPECT_LT(dg_factory_create_instance(nullptr, &obj), 0);
    EXPECT_EQ(obj, nullptr);
    EXPECT_LT(dg_factory_lock_server(nullptr, 1), 0);
    EXPECT_EQ(dg_factory_add_ref(nullptr), 0u);
    EXPECT_EQ(dg_factory_release(nullptr), 0u);

    void* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(&DG_CLSID_clsShiftClass, &DG_IID_IClassFactory, &factory), DG_S_OK);
    EXPECT_EQ(dg_factory_create_instance(static_cast<dg_class_factory*>(factory), nullptr), DG_E_POINTER);
    EXPECT_EQ(dg_factory_release(static_cast<dg_class_factory*>(factory)), 0u);
}

TEST_F(AbiAbuseTest, SinksUnadvisedTwiceOrNeverAndManyAtOnce) {
    dg_object* shift = Create(DG_PROGID_CLSSHIFTCLASS);
    auto sink = [](void*, std::int32_t, const char*, const dg_variant*, std::uint32_t) {};
    std::vector<std::uint32_t> cookies(500);
    for (auto& cookie : cookies) ASSERT_EQ(dg_advise(shift, sink, nullptr, &cookie), DG_S_OK);
    for (std::uint32_t bogus : {0u, 0xffffffffu, cookies.back() + 1000})
        EXPECT_EQ(dg_unadvise(shift, bogus), DG_E_NO_CONNECTION);
    for (std::size_t k = 0; k < cookies.size(); k += 2) ASSERT_EQ(dg_unadvise(shift, cookies[k]), DG_S_OK);
    for (std::size_t k = 0; k < cookies.size(); k += 2) EXPECT_EQ(dg_unadvise(shift, cookies[k]), DG_E_NO_CONNECTION);
    EXPECT_EQ(dg_invoke(shift, DG_DISPID_SHIFTCLASS, nullptr, 0, nullptr), DG_S_OK);
    // Releasing with sinks still connected drops them with the object.
    EXPECT_EQ(dg_release(shift), 0u);
}
