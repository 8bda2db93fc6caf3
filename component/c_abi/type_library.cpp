#include "component/c_abi/type_library.h"

#include <string>

#include <nlohmann/json.hpp>

#include "component/core/class_table.h"
#include "component/core/guid.h"
#include "dutygate/dutygate_version.h"

namespace dg::component {
namespace {

using nlohmann::ordered_json;

ordered_json GuidJson(const Guid& g) { return FormatGuid(g); }

ordered_json DualInterface(const ClassInfo& cls) {
    ordered_json members = ordered_json::array();
    for (const MemberInfo& m : cls.members) {
        members.push_back(
            {{"name", m.name}, {"dispid", m.dispid}, {"params", ordered_json::array()}, {"result", "VARIANT"}});
    }
    return {{"name", cls.defaultInterface}, {"kind", "dual"},
            {"guid", GuidJson(*cls.iid)},   {"flags", {"hidden", "nonextensible", "oleautomation"}},
            {"base", "IDispatch"},          {"members", members}};
}

ordered_json CoClass(const ClassInfo& cls) {
    return {{"name", cls.name},
            {"kind", "coclass"},
            {"guid", GuidJson(*cls.clsid)},
            {"flags", {"appobject", "predeclid"}},
            {"creatable", true},
            {"progid", cls.progid},
            {"default", cls.defaultInterface},
            {"source", cls.sourceInterface}};
}

ordered_json EventInterface(const ClassInfo& cls) {
    ordered_json params = ordered_json::array();
    for (const ParamInfo& p : cls.event.params) params.push_back({{"name", p.name}, {"type", VtName(p.vt)}});
    ordered_json member = {
        {"name", cls.event.name}, {"dispid", cls.event.dispid}, {"params", params}, {"result", "VOID"}};
    return {{"name", cls.sourceInterface},
            {"kind", "dispinterface"},
            {"guid", GuidJson(*cls.diid)},
            {"flags", {"hidden", "nonextensible"}},
            {"members", ordered_json::array({member})}};
}

std::string BuildTypeLibrary() {
    const ClassInfo& password = ClassOf(ClassKind::Password);
    const ClassInfo& shift = ClassOf(ClassKind::ShiftClass);
    ordered_json lib = {
        {"name", "Dutygate"},
        {"version", kLibVersionText},
        {"lcid", 1033},
        {"guid", GuidJson(kLibId)},
        {"imports", {"stdole2.tlb"}},
        {"types",
         {DualInterface(password), CoClass(password), DualInterface(shift), CoClass(shift), EventInterface(password),
          EventInterface(shift)}},
    };
    return lib.dump(2);
}

std::string BuildVersionRecord() {
    const ordered_json numeric = {DG_VERSION_MAJOR, DG_VERSION_MINOR, DG_VERSION_PATCH, DG_VERSION_TWEAK};
    ordered_json record = {
        {"ProductName", "Dutygate"},    {"FileName", "libdutygate.so." + std::to_string(DG_VERSION_MAJOR)},
        {"FileVersion", VersionText()}, {"ProductVersion", VersionText()},
        {"FileVersionNumber", numeric}, {"ProductVersionNumber", numeric},
        {"Language", 0x0409},           {"CodePage", 1200},
        {"OLESelfRegister", ""},
    };
    return record.dump(2);
}

std::string Try(std::string (*build)()) noexcept {
    try {
        return build();
    } catch (...) {
        return std::string();
    }
}

}  // namespace

// Each text is built on first use (thread-safe function-local statics).
const char* VersionText() noexcept { return DG_VERSION; }

const char* TypeLibraryJson() noexcept {
    static const std::string text = Try(BuildTypeLibrary);
    return text.c_str();
}

const char* VersionRecordJson() noexcept {
    static const std::string text = Try(BuildVersionRecord);
    return text.c_str();
}

}  // namespace dg::component
