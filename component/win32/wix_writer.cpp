// Writes Dutygate.wxs, a WiX fragment with both DLLs, their assembly
// manifests and every registry entry that registering them writes, from the
// class table and the same class keys that DllRegisterServer writes. The
// packages build on it, and integrators include it in their own installers.
// Runs at build time like the other writers.
//
//   wix_writer <output.wxs> <Dutygate.tlb>
//
// The type library (the one embedded in the DLL) gives the flags that
// registering it records.
//
// Registry entries are Registry-table rows, never self-registration: the
// x64 DLL's class, ProgID, interface and win64 library entries in a 64-bit
// component, the x86 DLL's in a 32-bit one, and the type library's common
// values, which both bitnesses share, in a component of its own.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "component/core/class_table.h"
#include "component/core/guid.h"
#include "component/win32/class_keys.h"
#include "component/win32/text_file.h"

namespace {

using namespace dg::component;
using dg::component::win32::Content;
using dg::component::win32::kClassKeys;
using dg::component::win32::KeyRoot;
using dg::component::win32::WriteTextFile;

// The runtime's marshallers that the type library's registration names:
// PSOAInterface for the dual interfaces, PSDispatch for the event interfaces.
constexpr const char* kOaInterfaceMarshaller = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";

struct Bitness {
    const char* name;     // x86, x64: the folder in the zip and the component names
    const char* win64;    // the component's Win64 attribute, stated either way
    const char* folder;   // the directory the integrator defines
    const char* sysKind;  // the type library's platform subkey
    const char* group;    // the component group a product references
};
constexpr Bitness kBitnesses[] = {
    {"x86", "no", "DUTYGATEFOLDER32", "win32", "DutygateX86"},
    {"x64", "yes", "DUTYGATEFOLDER64", "win64", "DutygateX64"},
};

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

class Fragment {
public:
    void Line(const std::string& text) { text_ += std::string(indent_, ' ') + text + "\r\n"; }
    void Open(const std::string& tag) { Line("<" + tag + ">"), indent_ += 2; }
    void Close(const std::string& name) { indent_ -= 2, Line("</" + name + ">"); }
    // A string value; no name: the key's default value.
    void Value(const std::string& key, const char* name, const std::string& value, bool keyPath = false) {
        Line("<RegistryValue Root=\"HKLM\" Key=\"" + Escape(key) + "\"" +
             (name ? " Name=\"" + Escape(name) + "\"" : std::string()) + " Type=\"string\" Value=\"" + Escape(value) +
             "\"" + (keyPath ? " KeyPath=\"yes\"" : "") + "/>");
    }
    // A key with no value of its own, made on install and removed on uninstall.
    void BareKey(const std::string& key) {
        Line("<RegistryKey Root=\"HKLM\" Key=\"" + Escape(key) +
             "\" ForceCreateOnInstall=\"yes\" ForceDeleteOnUninstall=\"yes\"/>");
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
    int indent_ = 0;
};

const std::string kClassesKey = "Software\\Classes\\";
std::string LibKey() { return kClassesKey + "TypeLib\\" + FormatGuid(kLibId) + "\\" + kLibVersionText; }

std::string ContentText(Content content, const ClassInfo& cls, const std::string& serverPath) {
    switch (content) {
        case Content::kProgId: return cls.progid;
        case Content::kServerPath: return serverPath;
        case Content::kApartment: return "Apartment";
        case Content::kLibId: return FormatGuid(kLibId);
        case Content::kLibVersion: return kLibVersionText;
        case Content::kClsid: return FormatGuid(*cls.clsid);
        case Content::kNone: break;
    }
    return {};
}

// The class keys of one root, as registering the DLL writes them.
void ClassEntries(Fragment& f, KeyRoot root, const std::string& serverPath) {
    for (const ClassInfo& cls : Classes()) {
        const std::string base = kClassesKey + (root == KeyRoot::kClass ? "CLSID\\" + FormatGuid(*cls.clsid)
                                                                        : std::string(cls.progid));
        for (const auto& spec : kClassKeys) {
            if (spec.root != root) continue;
            if (spec.content == Content::kNone)
                f.BareKey(base + spec.subkey);
            else
                f.Value(base + spec.subkey, spec.value, ContentText(spec.content, cls, serverPath));
        }
    }
}

// What registering the type library writes for each interface it
// describes: its name, the marshaller and the library it lives in.
void InterfaceEntries(Fragment& f) {
    for (const ClassInfo& cls : Classes()) {
        const std::pair<const Guid*, const char*> interfaces[] = {{cls.iid, cls.defaultInterface},
                                                                  {cls.diid, cls.sourceInterface}};
        for (const auto& [iid, name] : interfaces) {
            const std::string key = kClassesKey + "Interface\\" + FormatGuid(*iid);
            const char* marshaller = iid == cls.iid ? kOaInterfaceMarshaller : kDispatchMarshaller;
            f.Value(key, nullptr, name);
            f.Value(key + "\\ProxyStubClsid", nullptr, marshaller);
            f.Value(key + "\\ProxyStubClsid32", nullptr, marshaller);
            f.Value(key + "\\TypeLib", nullptr, FormatGuid(kLibId));
            f.Value(key + "\\TypeLib", "Version", kLibVersionText);
        }
    }
}

void BitnessComponents(Fragment& f, const Bitness& b) {
    const std::string dll = std::string("Dutygate.") + b.name + ".dll";
    const std::string manifest = std::string("Dutygate.") + b.name + ".manifest";
    const std::string source = std::string("$(var.DutygateSource)/") + b.name + "/";
    f.Open("DirectoryRef Id=\"" + std::string(b.folder) + "\"");
    f.Open("Component Id=\"" + dll + "\" Guid=\"*\" Win64=\"" + b.win64 + "\"");
    f.Line("<File Id=\"" + dll + "\" Name=\"Dutygate.dll\" Source=\"" + source + "Dutygate.dll\" KeyPath=\"yes\"/>");
    const std::string path = "[#" + dll + "]";
    ClassEntries(f, KeyRoot::kClass, path);
    // The ProgIDs with each bitness, as each DLL's own registration writes
    // them: one shared key on Windows 7 and later, while Wine keeps a key per
    // view, and a package of either bitness alone still names both classes.
    ClassEntries(f, KeyRoot::kProgId, path);
    InterfaceEntries(f);
    // The library's file for its own locale and for the neutral one, which
    // the type library marshaller asks for.
    for (const char* locale : {"409", "0"}) f.Value(LibKey() + "\\" + locale + "\\" + b.sysKind, nullptr, path);
    f.Close("Component");
    f.Open("Component Id=\"" + manifest + "\" Guid=\"*\" Win64=\"" + b.win64 + "\"");
    f.Line("<File Id=\"" + manifest + "\" Name=\"Dutygate.manifest\" Source=\"" + source +
           "Dutygate.manifest\" KeyPath=\"yes\"/>");
    f.Close("Component");
    f.Close("DirectoryRef");
}

void SharedComponent(Fragment& f, unsigned libFlags) {
    // Registry only; the TypeLib key is one for both views, so a 32-bit
    // component reaches it from a 32- or a 64-bit package alike.
    f.Open("DirectoryRef Id=\"TARGETDIR\"");
    f.Open("Component Id=\"Dutygate.shared\" Guid=\"*\" Win64=\"no\"");
    f.Value(LibKey(), nullptr, "Dutygate", true);
    f.Value(LibKey() + "\\FLAGS", nullptr, std::to_string(libFlags));
    f.Value(LibKey() + "\\HELPDIR", nullptr, "");
    f.Close("Component");
    f.Close("DirectoryRef");
}

std::string Wxs(unsigned libFlags) {
    Fragment f;
    f.Line("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    f.Line("<!-- Dutygate.dll for a WiX installer: both DLLs with their assembly manifests, and their registration");
    f.Line("     as registry rows (no self-registration). The product defines the directories DUTYGATEFOLDER32 and");
    f.Line("     DUTYGATEFOLDER64 and the preprocessor variable DutygateSource, the folder of the unpacked zip, and");
    f.Line("     references DutygateShared with DutygateX86 and/or DutygateX64. Written at build time. -->");
    f.Open("Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\"");
    // One fragment each, so that a product takes only the bitness it references.
    for (const Bitness& b : kBitnesses) {
        f.Open("Fragment");
        BitnessComponents(f, b);
        f.Open(std::string("ComponentGroup Id=\"") + b.group + "\"");
        f.Line(std::string("<ComponentRef Id=\"Dutygate.") + b.name + ".dll\"/>");
        f.Line(std::string("<ComponentRef Id=\"Dutygate.") + b.name + ".manifest\"/>");
        f.Close("ComponentGroup");
        f.Close("Fragment");
    }
    f.Open("Fragment");
    SharedComponent(f, libFlags);
    f.Open("ComponentGroup Id=\"DutygateShared\"");
    f.Line("<ComponentRef Id=\"Dutygate.shared\"/>");
    f.Close("ComponentGroup");
    f.Close("Fragment");
    f.Close("Wix");
    return f.Text();
}

// The flags of the library as the runtime reads them from the file.
bool LibFlags(const char* tlb, unsigned& flags) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, tlb, -1, nullptr, 0);
    std::wstring path(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, tlb, -1, path.data(), n);
    ITypeLib* lib = nullptr;
    TLIBATTR* attr = nullptr;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib))) return false;
    const bool read = SUCCEEDED(lib->GetLibAttr(&attr));
    if (read) flags = attr->wLibFlags, lib->ReleaseTLibAttr(attr);
    lib->Release();
    return read;
}

// The class list the packaging check compares the manifests with: the
// library's identifier, then one line per class with its CLSID and ProgID.
std::string ClassList() {
    std::string text = "libid " + FormatGuid(kLibId) + "\n";
    for (const ClassInfo& cls : Classes()) text += "class " + FormatGuid(*cls.clsid) + " " + cls.progid + "\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned flags = 0;
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: wix_writer <output.wxs> <Dutygate.tlb> [<classes.txt>]\n");
        return 2;
    }
    if (!LibFlags(argv[2], flags)) {
        std::fprintf(stderr, "wix_writer: cannot read the type library %s\n", argv[2]);
        return 1;
    }
    if (!WriteTextFile(argv[1], Wxs(flags))) return 1;
    return argc == 4 && !WriteTextFile(argv[3], ClassList()) ? 1 : 0;
}
