#include "component/core/registry_rows.h"

#include "component/core/guid.h"

namespace dg::component {
namespace {

const std::string kClasses = "Software\\Classes\\";

// The runtime's marshallers that registering the type library names:
// PSOAInterface for the dual interfaces, PSDispatch for the event interfaces.
constexpr const char* kOaInterfaceMarshaller = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";

std::optional<std::string> ContentText(Content content, const ClassInfo& cls, const std::string& serverPath) {
    switch (content) {
        case Content::kProgId: return cls.progid;
        case Content::kServerPath: return serverPath;
        case Content::kApartment: return "Apartment";
        case Content::kLibId: return FormatGuid(kLibId);
        case Content::kLibVersion: return kLibVersionText;
        case Content::kClsid: return FormatGuid(*cls.clsid);
        case Content::kNone: break;
    }
    return std::nullopt;
}

void ClassRows(std::vector<RegistryRow>& rows, KeyRoot root, const std::string& serverPath) {
    for (const ClassInfo& cls : Classes()) {
        for (const KeySpec& spec : kClassKeys) {
            if (spec.root != root) continue;
            rows.push_back({root == KeyRoot::kClass ? RowView::kOwn : RowView::kShared, RowWriter::kServer,
                            ClassRootKey(cls, root) + spec.subkey,
                            spec.value ? std::optional<std::string>(spec.value) : std::nullopt,
                            ContentText(spec.content, cls, serverPath)});
        }
    }
}

// What registering the type library writes for each interface it
// describes: its name, the marshaller and the library it lives in.
void InterfaceRows(std::vector<RegistryRow>& rows) {
    const auto add = [&](const std::string& key, const char* name, std::string value) {
        rows.push_back({RowView::kOwn, RowWriter::kTypeLib, key, name ? std::optional<std::string>(name) : std::nullopt,
                        std::move(value)});
    };
    for (const ClassInfo& cls : Classes()) {
        const std::pair<const Guid*, const char*> interfaces[] = {{cls.iid, cls.defaultInterface},
                                                                  {cls.diid, cls.sourceInterface}};
        for (const auto& [iid, name] : interfaces) {
            const std::string key = InterfaceKey(*iid);
            const char* marshaller = iid == cls.iid ? kOaInterfaceMarshaller : kDispatchMarshaller;
            add(key, nullptr, name);
            add(key + "\\ProxyStubClsid", nullptr, marshaller);
            add(key + "\\ProxyStubClsid32", nullptr, marshaller);
            add(key + "\\TypeLib", nullptr, FormatGuid(kLibId));
            add(key + "\\TypeLib", "Version", kLibVersionText);
        }
    }
}

}  // namespace

std::string ClassRootKey(const ClassInfo& cls, KeyRoot root) {
    return kClasses + (root == KeyRoot::kClass ? "CLSID\\" + FormatGuid(*cls.clsid) : std::string(cls.progid));
}

std::string InterfaceKey(const Guid& iid) { return kClasses + "Interface\\" + FormatGuid(iid); }

std::string LibKey() { return kClasses + "TypeLib\\" + FormatGuid(kLibId); }

std::string LibVersionKey() { return LibKey() + "\\" + kLibVersionText; }

std::string LibFileKey(unsigned lcid, const char* sysKind) {
    // Lower-case hex digits, as the runtime names the locale's key.
    std::string locale;
    do {
        locale.insert(locale.begin(), "0123456789abcdef"[lcid % 16]);
        lcid /= 16;
    } while (lcid != 0);
    return LibVersionKey() + "\\" + locale + "\\" + sysKind;
}

const char* SysKindName(RowBitness bitness) { return bitness == RowBitness::kX64 ? "win64" : "win32"; }

std::vector<RegistryRow> BitnessRows(RowBitness bitness, const std::string& serverPath) {
    std::vector<RegistryRow> rows;
    ClassRows(rows, KeyRoot::kClass, serverPath);
    // The ProgIDs with each bitness, as each DLL's own registration writes
    // them: one shared key on Windows 7 and later, while Wine keeps a key per
    // view, and either bitness alone still names both classes.
    ClassRows(rows, KeyRoot::kProgId, serverPath);
    InterfaceRows(rows);
    // The library's file for its own locale, and for the neutral one, which
    // the runtime's type library marshaller asks for and which does not fall
    // back to the library's own: the DLL names it there itself.
    const char* sysKind = SysKindName(bitness);
    rows.push_back({RowView::kShared, RowWriter::kTypeLib, LibFileKey(kLibLcid, sysKind), std::nullopt, serverPath});
    rows.push_back({RowView::kShared, RowWriter::kServer, LibFileKey(0, sysKind), std::nullopt, serverPath});
    return rows;
}

std::vector<RegistryRow> CommonRows() {
    // The library has no help file: an empty help folder, where none would
    // make the runtime name the DLL's own folder, which differs per bitness
    // in the one key both share.
    return {
        {RowView::kShared, RowWriter::kTypeLib, LibVersionKey(), std::nullopt, "Dutygate"},
        {RowView::kShared, RowWriter::kTypeLib, LibVersionKey() + "\\FLAGS", std::nullopt, std::to_string(kLibFlags)},
        {RowView::kShared, RowWriter::kTypeLib, LibVersionKey() + "\\HELPDIR", std::nullopt, ""},
    };
}

std::string RowLine(const char* group, const RegistryRow& row) {
    return std::string(group) + "\t" + (row.view == RowView::kOwn ? "own" : "shared") + "\t" +
           (row.writer == RowWriter::kServer ? "server" : "typelib") + "\t" + row.key + "\t" +
           (row.name ? *row.name : "@") + "\t" +
           (!row.value           ? "(no value)"
            : row.value->empty() ? "(empty)"
                                 : *row.value);
}

}  // namespace dg::component
