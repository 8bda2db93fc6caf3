// DllRegisterServer / DllUnregisterServer and the registration file.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>

#include <nlohmann/json.hpp>

#include "dutygate/dutygate.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

class RegistrationTest : public dg::testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        if (const char* v = std::getenv("XDG_DATA_HOME")) savedXdg_ = v;
        setenv("XDG_DATA_HOME", (Dir() / "data").c_str(), 1);
        file_ = Dir() / "data" / "dutygate" / "registry.json";
    }
    void TearDown() override {
        if (savedXdg_)
            setenv("XDG_DATA_HOME", savedXdg_->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        TempDirTest::TearDown();
    }
    static std::string ReadText(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    Json Read() const { return Json::parse(ReadText(file_)); }
    static std::string LoadedLibrary() {
        Dl_info info{};
        EXPECT_NE(dladdr(reinterpret_cast<void*>(&dg_create_object), &info), 0);
        return info.dli_fname;
    }

    fs::path file_;
    std::optional<std::string> savedXdg_;
};

TEST_F(RegistrationTest, RecordsBothClassesTheirProgIdsTheTypeLibraryAndInterfaces) {
    ASSERT_EQ(DllRegisterServer(), DG_S_OK) << dg_last_error();
    ASSERT_EQ(DllRegisterServer(), DG_S_OK) << "registering twice";
    const Json doc = Read();
    for (auto [clsid, progid, name] :
         {std::tuple{DG_CLSID_CLSPASSWORD_STRING, DG_PROGID_CLSPASSWORD, "clsPassword"},
          std::tuple{DG_CLSID_CLSSHIFTCLASS_STRING, DG_PROGID_CLSSHIFTCLASS, "clsShiftClass"}}) {
        const Json& cls = doc["CLSID"][clsid];
        EXPECT_EQ(cls["Name"], name);
        EXPECT_EQ(cls["ProgID"], progid);
        EXPECT_EQ(cls["ThreadingModel"], "Apartment");
        EXPECT_EQ(cls["TypeLib"], DG_LIBID_DUTYGATE_STRING);
        const fs::path server = cls["InprocServer32"].get<std::string>();
        EXPECT_TRUE(server.is_absolute()) << server;
        EXPECT_TRUE(fs::equivalent(server, LoadedLibrary())) << server;
        EXPECT_EQ(doc["ProgID"][progid]["CLSID"], clsid);
    }
    EXPECT_EQ(doc["TypeLib"][DG_LIBID_DUTYGATE_STRING]["3.0"]["Name"], "Dutygate");
    EXPECT_EQ(doc["TypeLib"][DG_LIBID_DUTYGATE_STRING]["3.0"]["LCID"], 1033);
    EXPECT_EQ(doc["Interface"].size(), 4u);
    EXPECT_EQ(doc["Interface"][DG_DIID_CLSSHIFTCLASS_STRING]["Name"], "__clsShiftClass");

    ASSERT_EQ(DllUnregisterServer(), DG_S_OK) << dg_last_error();
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_FALSE(fs::exists(file_.parent_path())) << "the folder it made is gone too";
    EXPECT_EQ(DllUnregisterServer(), DG_S_OK) << "nothing to remove is no failure";
}

TEST_F(RegistrationTest, UnregisteringRemovesExactlyWhatWasWritten) {
    // Someone else's entries, and one of our ProgIDs registered by another copy.
    const Json before = Json::parse(R"({
        "CLSID": {
            "{11111111-2222-3333-4444-555555555555}": {"ProgID": "Other.Thing", "InprocServer32": "/opt/other.so"}
        },
        "ProgID": {"Other.Thing": {"CLSID": "{11111111-2222-3333-4444-555555555555}"}},
        "Notes": ["kept"]
    })");
    fs::create_directories(file_.parent_path());
    std::ofstream(file_) << before.dump(2);

    ASSERT_EQ(DllRegisterServer(), DG_S_OK) << dg_last_error();
    EXPECT_EQ(Read()["CLSID"].size(), 3u);
    ASSERT_EQ(DllUnregisterServer(), DG_S_OK) << dg_last_error();
    EXPECT_EQ(Read(), before);
}

TEST_F(RegistrationTest, LeavesTheEntriesOfAnotherCopyOfTheLibrary) {
    ASSERT_EQ(DllRegisterServer(), DG_S_OK);
    Json doc = Read();
    doc["CLSID"][DG_CLSID_CLSSHIFTCLASS_STRING]["InprocServer32"] = "/elsewhere/libdutygate.so.1";
    std::ofstream(file_, std::ios::trunc) << doc.dump(2);

    ASSERT_EQ(DllUnregisterServer(), DG_S_OK);
    const Json after = Read();
    EXPECT_FALSE(after["CLSID"].contains(DG_CLSID_CLSPASSWORD_STRING));
    EXPECT_FALSE(after["ProgID"].contains(DG_PROGID_CLSPASSWORD));
    EXPECT_EQ(after["CLSID"][DG_CLSID_CLSSHIFTCLASS_STRING]["InprocServer32"], "/elsewhere/libdutygate.so.1");
    EXPECT_EQ(after["ProgID"][DG_PROGID_CLSSHIFTCLASS]["CLSID"], DG_CLSID_CLSSHIFTCLASS_STRING);
}

TEST_F(RegistrationTest, AFileThatIsNotJsonIsRefusedAndLeftAlone) {
    fs::create_directories(file_.parent_path());
    std::ofstream(file_) << "{ not json";
    EXPECT_EQ(DllRegisterServer(), DG_E_SELFREG_CLASS);
    EXPECT_NE(std::string(dg_last_error()).find("registry.json"), std::string::npos) << dg_last_error();
    EXPECT_EQ(DllUnregisterServer(), DG_E_SELFREG_CLASS);
    EXPECT_EQ(ReadText(file_), "{ not json");
}

}  // namespace
