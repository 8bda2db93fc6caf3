// Writes Dutygate.wxs, a WiX fragment with both DLLs, their assembly
// manifests and every registry entry that registering them leaves: the rows
// of component/core/registry_rows.h. The packages build on it, and
// integrators include it in their own installers. Runs at build time like
// the other writers.
//
//   wix_writer <output.wxs> <Dutygate.tlb> [<classes.txt>]
//
// The type library (the one embedded in the DLL) must have the flags that
// the rows record for it. classes.txt, where given, receives the class list
// that the packaging check reads.
//
// Registry entries are Registry-table rows, never self-registration: the
// x64 DLL's class, ProgID, interface and win64 library entries in a 64-bit
// component, the x86 DLL's in a 32-bit one, and the type library's common
// values, which both bitnesses share, in a component of its own.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "component/core/class_table.h"
#include "component/core/guid.h"
#include "component/core/registry_rows.h"
#include "component/win32/text_file.h"

namespace {

using namespace dg::component;
using dg::component::win32::WriteTextFile;

struct Bitness {
    const char* name;    // x86, x64: the folder in the zip and the component names
    const char* win64;   // the component's Win64 attribute, stated either way
    const char* folder;  // the directory the integrator defines
    RowBitness bitness;
    const char* group;  // the component group a product references
};
constexpr Bitness kBitnesses[] = {
    {"x86", "no", "DUTYGATEFOLDER32", RowBitness::kX86, "DutygateX86"},
    {"x64", "yes", "DUTYGATEFOLDER64", RowBitness::kX64, "DutygateX64"},
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
    // A key with no value of its own, made on install and removed on
    // uninstall: the Registry row named '*' with no value. wixl writes that
    // row from a RegistryValue so named and empty, and ignores RegistryKey's
    // attributes for it; the WiX toolset refuses that form and writes the
    // row from RegistryKey's.
    void BareKey(const std::string& key) {
        Line("<?ifdef var.DutygateWixToolset?>");
        Line("<RegistryKey Root=\"HKLM\" Key=\"" + Escape(key) +
             "\" ForceCreateOnInstall=\"yes\" ForceDeleteOnUninstall=\"yes\"/>");
        Line("<?else?>");
        Line("<RegistryValue Root=\"HKLM\" Key=\"" + Escape(key) + "\" Name=\"*\" Type=\"string\" Value=\"\"/>");
        Line("<?endif?>");
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
    int indent_ = 0;
};

// The rows of one component, as registry entries under HKLM; the first is
// the component's key path where keyPath is set.
void Rows(Fragment& f, const std::vector<RegistryRow>& rows, bool keyPath = false) {
    for (const RegistryRow& row : rows) {
        if (row.value)
            f.Value(row.key, row.name ? row.name->c_str() : nullptr, *row.value, keyPath && &row == &rows.front());
        else
            f.BareKey(row.key);
    }
}

void BitnessComponents(Fragment& f, const Bitness& b) {
    const std::string dll = std::string("Dutygate.") + b.name + ".dll";
    const std::string manifest = std::string("Dutygate.") + b.name + ".manifest";
    const std::string source = std::string("$(var.DutygateSource)/") + b.name + "/";
    f.Open("DirectoryRef Id=\"" + std::string(b.folder) + "\"");
    f.Open("Component Id=\"" + dll + "\" Guid=\"*\" Win64=\"" + b.win64 + "\"");
    f.Line("<File Id=\"" + dll + "\" Name=\"Dutygate.dll\" Source=\"" + source + "Dutygate.dll\" KeyPath=\"yes\"/>");
    Rows(f, BitnessRows(b.bitness, "[#" + dll + "]"));
    f.Close("Component");
    f.Open("Component Id=\"" + manifest + "\" Guid=\"*\" Win64=\"" + b.win64 + "\"");
    f.Line("<File Id=\"" + manifest + "\" Name=\"Dutygate.manifest\" Source=\"" + source +
           "Dutygate.manifest\" KeyPath=\"yes\"/>");
    f.Close("Component");
    f.Close("DirectoryRef");
}

void SharedComponent(Fragment& f) {
    // Registry only; the TypeLib key is one for both views, so a 32-bit
    // component reaches it from a 32- or a 64-bit package alike.
    f.Open("DirectoryRef Id=\"TARGETDIR\"");
    f.Open("Component Id=\"Dutygate.shared\" Guid=\"*\" Win64=\"no\"");
    Rows(f, CommonRows(), true);
    f.Close("Component");
    f.Close("DirectoryRef");
}

std::string Wxs() {
    Fragment f;
    f.Line("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    f.Line("<!-- Dutygate.dll for a WiX installer: both DLLs with their assembly manifests, and their registration");
    f.Line("     as registry rows (no self-registration). The product defines the directories DUTYGATEFOLDER32 and");
    f.Line("     DUTYGATEFOLDER64 and the preprocessor variable DutygateSource, the folder of the unpacked zip, and");
    f.Line("     references DutygateShared with DutygateX86 and/or DutygateX64. With the WiX toolset (candle), also");
    f.Line("     define DutygateWixToolset=yes. wixl leaves File.Version empty: set it afterwards with");
    f.Line("     msibuild <product.msi> -q \"UPDATE File SET Version='" DG_FILE_VERSION
           "' WHERE FileName='Dutygate.dll'\"");
    f.Line("     Written at build time. -->");
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
    SharedComponent(f);
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
    if (flags != kLibFlags) {
        std::fprintf(stderr, "wix_writer: the type library %s has the flags %#x, the registry rows record %#x\n",
                     argv[2], flags, kLibFlags);
        return 1;
    }
    if (!WriteTextFile(argv[1], Wxs())) return 1;
    return argc == 4 && !WriteTextFile(argv[3], ClassList()) ? 1 : 0;
}
