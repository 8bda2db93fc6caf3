#include "component/registry/registry_file.h"

#include <link.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "base/failure_text.h"
#include "component/core/class_table.h"
#include "component/core/guid.h"
#include "component/core/status.h"

namespace dg::component {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

// "<sentence>：<system text>".
std::runtime_error SystemError(const std::string& sentence) {
    return std::runtime_error(FailureText(sentence, std::strerror(errno)));
}

// Holds an exclusive lock on the registration folder while the file is
// read, changed and replaced, so that two registrations do not interleave.
class FolderLock {
public:
    explicit FolderLock(const fs::path& folder) {
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) throw SystemError("无法打开文件夹" + Quoted(folder.string()));
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                throw SystemError("无法锁定文件夹" + Quoted(folder.string()));
            }
        }
    }
    ~FolderLock() { ::close(fd_); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

// The registration file's contents; an empty object when there is no file.
// A file that is not a JSON object is an error and stays untouched.
ordered_json ReadRegistry(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return ordered_json::object();
    std::ifstream in(file, std::ios::binary);
    if (!in) throw SystemError("无法读取注册文件" + Quoted(file.string()));
    std::stringstream text;
    text << in.rdbuf();
    ordered_json doc;
    try {
        doc = ordered_json::parse(text.str());
    } catch (const ordered_json::parse_error& e) {
        throw std::runtime_error(
            FailureText("注册文件" + Quoted(file.string()) + "不是有效的 JSON，文件保持原样", e.what()));
    }
    if (!doc.is_object())
        throw std::runtime_error("注册文件" + Quoted(file.string()) + "的内容不是 JSON 对象，文件保持原样");
    return doc;
}

// Replaces the file in one step: a reader sees the old or the new contents.
void WriteRegistry(const fs::path& file, const ordered_json& doc) {
    const fs::path temp = file.string() + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw SystemError("无法写入文件" + Quoted(temp.string()));
        out << doc.dump(2) << '\n';
        out.flush();
        if (!out) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            throw std::runtime_error("无法写入文件" + Quoted(temp.string()));
        }
    }
    if (std::rename(temp.c_str(), file.c_str()) != 0) {
        const auto error = SystemError("无法替换注册文件" + Quoted(file.string()));
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw error;
    }
}

ordered_json& Section(ordered_json& doc, const char* name) {
    ordered_json& section = doc[name];
    if (!section.is_object()) section = ordered_json::object();
    return section;
}

// Erases doc[section][key] when `keep` says no; drops an emptied section.
template <typename Pred>
void EraseIf(ordered_json& doc, const char* section, const std::string& key, Pred remove) {
    auto s = doc.find(section);
    if (s == doc.end() || !s->is_object()) return;
    auto entry = s->find(key);
    if (entry != s->end() && remove(*entry)) s->erase(entry);
    if (s->empty()) doc.erase(s);
}

bool HasString(const ordered_json& entry, const char* key, const std::string& value) {
    if (!entry.is_object()) return false;
    auto it = entry.find(key);
    return it != entry.end() && it->is_string() && it->get<std::string>() == value;
}

bool HasKey(const ordered_json& doc, const char* section, const std::string& key) {
    auto s = doc.find(section);
    return s != doc.end() && s->is_object() && s->contains(key);
}

}  // namespace

fs::path RegistryFilePath() {
    fs::path base;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;  // only an absolute path counts
    } else {
        const char* home = std::getenv("HOME");
        std::string homeDir = (home != nullptr) ? home : "";
        if (homeDir.empty()) {
            if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) homeDir = pw->pw_dir;
        }
        if (homeDir.empty()) throw std::runtime_error(FailureText("找不到主文件夹", "请设置 HOME 或 XDG_DATA_HOME"));
        base = fs::path(homeDir) / ".local" / "share";
    }
    return base / "dutygate" / "registry.json";
}

namespace {

struct ModuleSearch {
    std::uintptr_t address = 0;
    bool found = false;
    std::string name;  // "" for the program itself
};

int FindModule(dl_phdr_info* info, std::size_t, void* data) {
    auto* search = static_cast<ModuleSearch*>(data);
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) continue;
        const std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (search->address >= start && search->address < start + ph.p_memsz) {
            search->found = true;
            search->name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            return 1;
        }
    }
    return 0;
}

}  // namespace

std::string LibraryFilePath() {
    // The loaded module that holds this very function.
    ModuleSearch search;
    search.address = reinterpret_cast<std::uintptr_t>(&LibraryFilePath);
    ::dl_iterate_phdr(FindModule, &search);
    std::error_code ec;
    if (!search.found || search.name.empty()) {
        // Linked into the program itself.
        const fs::path self = fs::read_symlink("/proc/self/exe", ec);
        if (ec) throw std::runtime_error(FailureText("找不到本库自己的文件", ec.message()));
        return self.string();
    }
    const fs::path path = fs::absolute(fs::path(search.name), ec);
    if (ec) throw std::runtime_error(FailureText("无法得到" + Quoted(search.name) + "的绝对路径", ec.message()));
    return path.lexically_normal().string();
}

dg_status RegisterServer() {
    try {
        const fs::path file = RegistryFilePath();
        const std::string library = LibraryFilePath();
        const std::string libid = FormatGuid(kLibId);
        fs::create_directories(file.parent_path());
        FolderLock lock(file.parent_path());
        ordered_json doc = ReadRegistry(file);

        for (const ClassInfo& cls : Classes()) {
            const std::string clsid = FormatGuid(*cls.clsid);
            Section(doc, "CLSID")[clsid] = {
                {"Name", cls.name},          {"ProgID", cls.progid},
                {"InprocServer32", library}, {"ThreadingModel", "Apartment"},
                {"TypeLib", libid},          {"Version", kLibVersionText},
            };
            Section(doc, "ProgID")[cls.progid] = {{"CLSID", clsid}};
        }
        ordered_json& typeLib = Section(doc, "TypeLib")[libid];
        if (!typeLib.is_object()) typeLib = ordered_json::object();
        typeLib[kLibVersionText] = {{"Name", "Dutygate"}, {"LCID", 1033}, {"Path", library}};
        for (const ClassInfo& cls : Classes()) {
            Section(doc, "Interface")[FormatGuid(*cls.iid)] = {
                {"Name", cls.defaultInterface}, {"TypeLib", libid}, {"Version", kLibVersionText}};
            Section(doc, "Interface")[FormatGuid(*cls.diid)] = {
                {"Name", cls.sourceInterface}, {"TypeLib", libid}, {"Version", kLibVersionText}};
        }
        WriteRegistry(file, doc);
        return DG_S_OK;
    } catch (const std::exception& e) {
        return Fail(DG_E_SELFREG_CLASS, FailureText("注册失败（DllRegisterServer）", e.what()));
    }
}

dg_status UnregisterServer() {
    try {
        const fs::path file = RegistryFilePath();
        std::error_code ec;
        if (!fs::exists(file.parent_path(), ec)) return DG_S_OK;  // nothing was written
        const std::string library = LibraryFilePath();
        const std::string libid = FormatGuid(kLibId);
        {
            FolderLock lock(file.parent_path());
            if (!fs::exists(file, ec)) return DG_S_OK;
            ordered_json doc = ReadRegistry(file);

            // Only entries that point at this library file are ours: another
            // copy of the library may have registered since.
            for (const ClassInfo& cls : Classes()) {
                const std::string clsid = FormatGuid(*cls.clsid);
                EraseIf(doc, "CLSID", clsid,
                        [&](const ordered_json& e) { return HasString(e, "InprocServer32", library); });
                if (!HasKey(doc, "CLSID", clsid))
                    EraseIf(doc, "ProgID", cls.progid,
                            [&](const ordered_json& e) { return HasString(e, "CLSID", clsid); });
            }
            if (auto s = doc.find("TypeLib"); s != doc.end() && s->is_object()) {
                if (auto lib = s->find(libid); lib != s->end() && lib->is_object()) {
                    auto version = lib->find(kLibVersionText);
                    if (version != lib->end() && HasString(*version, "Path", library)) lib->erase(version);
                    if (lib->empty()) s->erase(lib);
                }
                if (s->empty()) doc.erase(s);
            }
            bool typeLibGone = true;
            if (auto s = doc.find("TypeLib"); s != doc.end() && s->is_object()) {
                if (auto lib = s->find(libid); lib != s->end() && lib->is_object() && lib->contains(kLibVersionText))
                    typeLibGone = false;
            }
            if (typeLibGone) {
                for (const ClassInfo& cls : Classes()) {
                    for (const Guid* iid : {cls.iid, cls.diid}) {
                        EraseIf(doc, "Interface", FormatGuid(*iid),
                                [&](const ordered_json& e) { return HasString(e, "TypeLib", libid); });
                    }
                }
            }
            if (doc.empty()) {
                if (!fs::remove(file, ec) && ec)
                    throw std::runtime_error(FailureText("无法删除注册文件" + Quoted(file.string()), ec.message()));
            } else {
                WriteRegistry(file, doc);
            }
        }
        fs::remove(file.parent_path(), ec);  // only when empty; otherwise it stays
        return DG_S_OK;
    } catch (const std::exception& e) {
        return Fail(DG_E_SELFREG_CLASS, FailureText("注销失败（DllUnregisterServer）", e.what()));
    }
}

}  // namespace dg::component
