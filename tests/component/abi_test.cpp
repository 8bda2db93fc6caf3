// The C interface as a host sees it: libdutygate.so linked like any library.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "component/core/identifiers.h"
#include "dutygate/dutygate.h"
#include "dutygate/dutygate.hpp"
#include "sink_recorder.h"
#include "tests/support/temp_dir.h"

namespace {

using dg::componenttest::Recorder;

class AbiTest : public dg::testsupport::TempDirTest {
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

// The public header repeats the identifiers that Dutygate.dll also uses.
TEST(AbiIdentifiers, AgreeWithTheSharedClassTable) {
    namespace c = dg::component;
    namespace st = dg::status;
    const std::pair<dg_guid, c::Guid> pairs[] = {{DG_LIBID_Dutygate, c::kLibId},
                                                 {DG_CLSID_clsPassword, c::kClsidPassword},
                                                 {DG_CLSID_clsShiftClass, c::kClsidShiftClass},
                                                 {DG_IID__clsPassword, c::kIidPassword},
                                                 {DG_IID__clsShiftClass, c::kIidShiftClass},
                                                 {DG_DIID___clsPassword, c::kDiidPassword},
                                                 {DG_DIID___clsShiftClass, c::kDiidShiftClass},
                                                 {DG_GUID_ProgIdCustomData, c::kProgIdCustomData}};
    for (const auto& [abi, shared] : pairs) EXPECT_EQ(std::memcmp(&abi, &shared, sizeof abi), 0);
    const std::pair<dg_status, st::Status> statuses[] = {{DG_E_UNEXPECTED, st::kUnexpected},
                                                         {DG_E_FAIL, st::kFail},
                                                         {DG_E_OUTOFMEMORY, st::kOutOfMemory},
                                                         {DG_E_INVALIDARG, st::kInvalidArg},
                                                         {DG_E_UNKNOWN_NAME, st::kUnknownName},
                                                         {DG_E_MEMBER_NOT_FOUND, st::kMemberNotFound},
                                                         {DG_E_BAD_PARAM_COUNT, st::kBadParamCount},
                                                         {DG_E_CLASS_NOT_AVAILABLE, st::kClassNotAvailable},
                                                         {DG_E_WRONG_THREAD, st::kWrongThread},
                                                         {DG_E_TYPE_MISMATCH, st::kTypeMismatch},
                                                         {DG_E_OVERFLOW, st::kOverflow},
                                                         {DG_E_OUT_OF_RANGE, st::kOutOfRange}};
    for (const auto& [abi, shared] : statuses) EXPECT_EQ(abi, shared);
    EXPECT_STREQ(dg_version(), DG_VERSION);
    EXPECT_EQ(DG_VERSION_NUMBER, DG_VERSION_MAJOR * 1000000 + DG_VERSION_MINOR * 1000 + DG_VERSION_TWEAK);
    EXPECT_STREQ(dg_status_text(DG_E_UNKNOWN_NAME), "未知的名称：Unknown name.");
    EXPECT_STREQ(dg_status_text(0x12345678), "");
}

TEST_F(AbiTest, CreatesByProgIdOrClsidAndRefusesUnknownClasses) {
    for (const char* name : {"Dutygate.clsPassword", "dutygate.CLSSHIFTCLASS", DG_CLSID_CLSPASSWORD_STRING,
                             "{4b320797-d4d2-4613-b1d0-788e0dccc026}"})
        EXPECT_EQ(dg_release(Create(name)), 0u) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file("mdb/Para.mdb"));

    const std::pair<const char*, dg_status> refused[] = {
        {"Dutygate.clsNothing", DG_E_INVALID_CLASS_STRING},
        {"{4B320797-D4D2-4613-B1D0-788E0DCCC027}", DG_E_CLASS_NOT_REGISTERED},
        {"{4B320797-D4D2-4613-B1D0}", DG_E_INVALID_CLASS_STRING},
        {"Dutygate.\xff", DG_E_INVALIDARG},
        {nullptr, DG_E_POINTER},
    };
    for (const auto& [text, status] : refused) {
        dg_object* obj = reinterpret_cast<dg_object*>(0x1);
        EXPECT_EQ(dg_create_object(text, &obj), status) << (text ? text : "(null)");
        EXPECT_EQ(obj, nullptr);
        EXPECT_STRNE(dg_last_error(), "");
    }
}

TEST_F(AbiTest, ACreationThatCannotOpenTheDatabaseGivesNoObject) {
    std::filesystem::create_directory("mdb");
    std::ofstream("mdb/Para.mdb") << "this is not a database, only some text long enough to be read as a header";
    for (const char* progid : {DG_PROGID_CLSPASSWORD, DG_PROGID_CLSSHIFTCLASS}) {
        dg_object* obj = nullptr;
        EXPECT_EQ(dg_create_object(progid, &obj), DG_E_FAIL);
        EXPECT_EQ(obj, nullptr);
        EXPECT_STRNE(dg_last_error(), "");
    }
}

TEST_F(AbiTest, LooksUpMembersIgnoringCase) {
    const auto password = dutygate::Object::Create(DG_PROGID_CLSPASSWORD);
    const auto shift = dutygate::Object::Create(DG_PROGID_CLSSHIFTCLASS);
    EXPECT_EQ(password.DispId("ShowDialog"), 0x60030003);
    EXPECT_EQ(password.DispId("ShowRevise"), 0x60030004);
    EXPECT_EQ(password.DispId("SHOWLANDING"), 0x60030005);
    EXPECT_EQ(shift.DispId("ShowSetClass"), 0x6003000D);
    EXPECT_EQ(shift.DispId("shiftclass"), 0x60030011);

    std::int32_t id = 0;
    EXPECT_EQ(dg_get_dispid(shift.get(), "ShowDialog", &id), DG_E_UNKNOWN_NAME);  // the other class's
    EXPECT_NE(std::strstr(dg_last_error(), "ShowDialog"), nullptr);
    EXPECT_EQ(dg_get_dispid(password.get(), "", &id), DG_E_UNKNOWN_NAME);
    EXPECT_EQ(dg_get_dispid(password.get(), "Show\xc3", &id), DG_E_INVALIDARG);
    EXPECT_EQ(dg_get_dispid(password.get(), nullptr, &id), DG_E_POINTER);
}

TEST_F(AbiTest, RefusesUnknownIdentifiersAndAnyArgumentBeforeRunning) {
    dg_object* password = Create(DG_PROGID_CLSPASSWORD);
    dg_object* shift = Create(DG_PROGID_CLSSHIFTCLASS);
    dg_variant result{};
    for (std::int32_t id : {0, 1, -1, DG_DISPID_SHIFTCLASS}) {
        result.vt = DG_VT_BSTR;
        EXPECT_EQ(dg_invoke(password, id, nullptr, 0, &result), DG_E_MEMBER_NOT_FOUND) << id;
        EXPECT_EQ(result.vt, DG_VT_EMPTY);
    }
    // With an argument nothing is shown: a modal dialog would block this test.
    dg_variant arg{};
    arg.vt = DG_VT_I2;
    for (std::int32_t id : {DG_DISPID_SHOWDIALOG, DG_DISPID_SHOWREVISE, DG_DISPID_SHOWLANDING})
        EXPECT_EQ(dg_invoke(password, id, &arg, 1, &result), DG_E_BAD_PARAM_COUNT);
    for (std::int32_t id : {DG_DISPID_SHOWSETCLASS, DG_DISPID_SHIFTCLASS})
        EXPECT_EQ(dg_invoke(shift, id, nullptr, 2, &result), DG_E_BAD_PARAM_COUNT);
    EXPECT_STREQ(dg_last_error(), "参数个数不正确：Invalid number of parameters.");

    result.vt = DG_VT_I4;
    EXPECT_EQ(dg_invoke(shift, DG_DISPID_SHIFTCLASS, nullptr, 0, &result), DG_S_OK);
    EXPECT_EQ(result.vt, DG_VT_EMPTY);
    EXPECT_EQ(dg_invoke(shift, DG_DISPID_SHIFTCLASS, nullptr, 0, nullptr), DG_S_OK);

    std::uint32_t cookie = 0;
    EXPECT_EQ(dg_advise(shift, &Recorder::Sink, nullptr, &cookie), DG_S_OK);
    EXPECT_EQ(dg_unadvise(shift, cookie), DG_S_OK);
    EXPECT_EQ(dg_unadvise(shift, cookie), DG_E_NO_CONNECTION);
    dg_release(password);
    dg_release(shift);
}

TEST_F(AbiTest, OtherThreadsGetTheWrongThreadStatusButMayCount) {
    dg_object* shift = Create(DG_PROGID_CLSSHIFTCLASS);
    std::thread([&] {
        std::int32_t id = 0;
        std::uint32_t cookie = 0;
        EXPECT_EQ(dg_get_dispid(shift, "ShiftClass", &id), DG_E_WRONG_THREAD);
        EXPECT_STRNE(dg_last_error(), "");
        for (std::int32_t member : {DG_DISPID_SHIFTCLASS, DG_DISPID_SHOWSETCLASS})
            EXPECT_EQ(dg_invoke(shift, member, nullptr, 0, nullptr), DG_E_WRONG_THREAD);
        EXPECT_EQ(dg_advise(shift, &Recorder::Sink, nullptr, &cookie), DG_E_WRONG_THREAD);
        EXPECT_EQ(dg_add_ref(shift), 2u);
        EXPECT_EQ(dg_release(shift), 1u);
    }).join();
    EXPECT_EQ(dg_invoke(shift, DG_DISPID_SHIFTCLASS, nullptr, 0, nullptr), DG_S_OK);
    dg_release(shift);
}

// A thread that creates objects, then goes on step by step as told.
class Worker {
public:
    template <typename Body>
    explicit Worker(Body body) : thread_([this, body] { body(*this); }) {}
    ~Worker() { Join(); }
    void Signal(int step) {
        std::lock_guard lock(m_);
        step_ = step;
        cv_.notify_all();
    }
    void WaitFor(int step) {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return step_ >= step; });
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    int step_ = 0;
    std::thread thread_;
};

TEST_F(AbiTest, ALastReleaseElsewhereIsCarriedOutOnTheOwningThread) {
    dg_object* obj = nullptr;
    Worker worker([&](Worker& w) {
        obj = Create(DG_PROGID_CLSSHIFTCLASS);
        w.Signal(1);
        w.WaitFor(2);
        dg_process_events(0);  // the owner's next call runs the termination
        w.Signal(3);
    });
    worker.WaitFor(1);
    EXPECT_EQ(dg_release(obj), 0u);
    EXPECT_EQ(DllCanUnloadNow(), DG_S_FALSE) << "terminated on the wrong thread";
    worker.Signal(2);
    worker.WaitFor(3);
    EXPECT_EQ(DllCanUnloadNow(), DG_S_OK);
}

TEST_F(AbiTest, AThreadThatEndsTerminatesItsObjectsAndItsImplicitInstances) {
    dg_object *handedOff = nullptr, *kept = nullptr;
    Worker worker([&](Worker& w) {
        handedOff = Create(DG_PROGID_CLSPASSWORD);
        kept = Create(DG_PROGID_CLSSHIFTCLASS);
        dg_object *a = nullptr, *b = nullptr;
        EXPECT_EQ(dg_get_predeclared("clsShiftClass", &a), DG_S_OK);
        EXPECT_EQ(dg_get_predeclared("CLSSHIFTCLASS", &b), DG_S_OK);
        EXPECT_EQ(a, b);
        EXPECT_EQ(dg_release(a), 2u);
        EXPECT_EQ(dg_release(b), 1u);  // the thread's own reference remains
        EXPECT_EQ(dg_invoke(a, DG_DISPID_SHIFTCLASS, nullptr, 0, nullptr), DG_S_OK);
        EXPECT_EQ(dg_get_predeclared("clsNothing", &a), DG_E_UNKNOWN_NAME);
        w.Signal(1);
        w.WaitFor(2);  // then ends without another call
    });
    worker.WaitFor(1);
    dg_release(handedOff);
    worker.Signal(2);
    worker.Join();
    // The survivor's instance went with its thread; its reference still counts.
    EXPECT_EQ(DllCanUnloadNow(), DG_S_FALSE);
    EXPECT_EQ(dg_invoke(kept, DG_DISPID_SHIFTCLASS, nullptr, 0, nullptr), DG_E_WRONG_THREAD);
    EXPECT_NE(std::strstr(dg_last_error(), "创建此对象的线程已经结束"), nullptr);
    EXPECT_EQ(dg_release(kept), 0u);
}

TEST_F(AbiTest, ClassFactoriesAndServerLocks) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(DllGetClassObject(&DG_IID__clsPassword, &DG_IID_IClassFactory, &out), DG_E_CLASS_NOT_AVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DllGetClassObject(&DG_CLSID_clsPassword, &DG_IID__clsPassword, &out), DG_E_NOINTERFACE);
    EXPECT_EQ(DllGetClassObject(nullptr, &DG_IID_IClassFactory, &out), DG_E_POINTER);

    for (const dg_guid* clsid : {&DG_CLSID_clsPassword, &DG_CLSID_clsShiftClass}) {
        for (const dg_guid* iid : {&DG_IID_IClassFactory, &DG_IID_IUnknown}) {
            ASSERT_EQ(DllGetClassObject(clsid, iid, &out), DG_S_OK);
            auto* factory = static_cast<dg_class_factory*>(out);
            EXPECT_EQ(dg_factory_add_ref(factory), 2u);
            EXPECT_EQ(dg_factory_release(factory), 1u);
            EXPECT_EQ(dg_factory_lock_server(factory, 1), DG_S_OK);
            EXPECT_EQ(dg_factory_release(factory), 0u);
            EXPECT_EQ(DllCanUnloadNow(), DG_S_FALSE) << "a lock keeps the library";
            dg_object* obj = nullptr;
            ASSERT_EQ(dg_factory_create_instance(factory, &obj), DG_S_OK);
            EXPECT_EQ(dg_factory_lock_server(factory, 0), DG_S_OK);
            EXPECT_EQ(DllCanUnloadNow(), DG_S_FALSE) << "an object keeps the library";
            dg_release(obj);
            EXPECT_EQ(DllCanUnloadNow(), DG_S_OK);
            EXPECT_LT(dg_factory_lock_server(factory, 0), 0) << "unlock without a lock";
        }
    }
    int notAFactory = 0;
    dg_object* obj = nullptr;
    EXPECT_EQ(dg_factory_create_instance(reinterpret_cast<dg_class_factory*>(&notAFactory), &obj), DG_E_INVALIDARG);
}

}  // namespace
