#include "tools/reset_password.h"

#include <exception>
#include <optional>

#include "access/pass_table.h"
#include "base/failure_text.h"
#include "store/location.h"
#include "store/platform.h"
#include "store/store.h"

namespace dg::tools {
namespace {

// The level a command-line word names: its index, so that nobody has to
// type Chinese in a console, or its name.
std::optional<std::string_view> LevelOf(std::string_view word) {
    if (word == "1" || word == access::kLevelAdmin) return access::kLevelAdmin;
    if (word == "2" || word == access::kLevelEngineer) return access::kLevelEngineer;
    return std::nullopt;
}

std::string Usage(std::string_view program) {
    const std::string name(program);
    return "用法：" + name +
           " <级别> [工作文件夹]\n"
           "  级别：1 或 管理员，2 或 工程师\n"
           "  工作文件夹：宿主程序的工作文件夹（其中有 mdb\\Para.mdb），默认为当前文件夹\n"
           "删除该级别在 tblPass 中的密码记录。下次登录检查时，该级别会以默认密码 579 重新添加；交接班设置不变。\n"
           "\n"
           "Usage: " +
           name +
           " <level> [working folder]\n"
           "  level: 1 or 管理员 (administrator), 2 or 工程师 (engineer)\n"
           "  working folder: the host's working folder (holding mdb\\Para.mdb); the current folder by default\n"
           "Deletes the level's password row from tblPass. The next login check adds it again with the default\n"
           "password 579; the shift settings stay as they are.\n";
}

}  // namespace

int RunResetPassword(const std::vector<std::string>& arguments, std::string_view program, const Console& console) {
    const std::optional<std::string_view> level = arguments.size() == 1 || arguments.size() == 2 ? LevelOf(arguments[0])
                                                                                                 : std::nullopt;
    if (!level) {
        console.write(Usage(program), true);
        return kExitUsage;
    }
    std::string error;
    if (arguments.size() == 2 && !console.enterFolder(arguments[1], error)) {
        console.write(FailureText("无法进入工作文件夹" + Quoted(arguments[1]), error) + "\n", true);
        return kExitFailed;
    }
    const std::string database = store::platform::FullName(store::kDatabaseEntry);
    // Only an existing database: opening never creates one, and a missing
    // file means the wrong folder.
    if (!store::EntryExists(store::kDatabaseEntry, false)) {
        console.write(FailureText("找不到数据库" + Quoted(store::kDatabaseEntry) +
                                      "，请在宿主程序的工作文件夹中运行本工具，或把该文件夹作为第二个参数给出",
                                  database) +
                          "\n",
                      true);
        return kExitFailed;
    }
    const std::string who = Quoted(*level);
    long deleted = 0;
    try {
        // The store's own open: a Jet file of an earlier installation is upgraded first.
        store::Connection connection(store::kOpenConnectionString);
        deleted = store::DeleteRows(connection, store::kPassTable, store::kPassColumnLevel, store::Value(*level));
    } catch (const std::exception& e) {
        console.write(FailureText("无法删除" + who + "的密码记录", e.what()) + "\n", true);
        return kExitFailed;
    }
    const std::string password = "，默认密码为 " + std::string(access::kDefaultPassword) + "；交接班设置没有改动。\n";
    if (deleted > 0)
        console.write("已删除" + who + "的密码记录（" + std::to_string(deleted) +
                          " 行）。下次登录检查时会重新添加该级别" + password,
                      false);
    else
        console.write(who + "没有密码记录，无需删除。下次登录检查时会添加该级别" + password, false);
    console.write("数据库：" + database + "\n", false);
    return kExitDone;
}

}  // namespace dg::tools
