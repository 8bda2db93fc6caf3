// Writes Dutygate.manifest, the side-by-side assembly manifest that sits
// beside Dutygate.dll, from the class table: a host whose application
// manifest names the assembly "Dutygate" then creates both classes by ProgID
// with nothing in the registry. With a second name it also writes that host
// manifest, a template naming the same identity. Runs at build time, for the
// bitness it was built for (under Wine when cross-building), like the type
// library writer.
//
//   manifest_writer <output.manifest> [<host.exe.manifest>] [x86|amd64]
//
// The identity's version is the interface's version (1.0.0.0 for all of
// 1.x), not the DLL's file version: Windows binds a private assembly only when
// its identity matches the host's reference exactly, so a newer DLL of the
// same interface replaces the old one without an edit to any host manifest.
// The bitness defaults to the writer's own; a 64-bit writer also writes the
// x86 manifests where 32-bit programs cannot run at build time.
#include <cstdio>
#include <string>

#include "component/core/class_table.h"
#include "component/core/guid.h"
#include "component/win32/text_file.h"

#ifndef DG_ASSEMBLY_VERSION
#error "DG_ASSEMBLY_VERSION (four numbers, 1.0.0.0) must be defined"
#endif

namespace {

using namespace dg::component;

// The runtime's own type library marshaller (PSOAInterface) and IDispatch:
// calls on the dual interfaces from another apartment go through them.
constexpr const char* kTypeLibMarshaller = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kIidDispatch = "{00020400-0000-0000-C000-000000000046}";

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n";

// The assembly's identity, as both manifests name it.
std::string Identity(const std::string& arch) {
    return std::string("<assemblyIdentity type=\"win32\" name=\"Dutygate\" version=\"" DG_ASSEMBLY_VERSION
                       "\" processorArchitecture=\"") +
           arch + "\"/>";
}

std::string HostManifest(const std::string& arch) {
    return std::string(kHeader) +
           "  <!-- Application manifest for a host of this bitness that uses Dutygate without\r\n"
           "       registration: rename it to the host's file name plus \".manifest\"\r\n"
           "       (MyHost.exe.manifest) and put it beside the host, with Dutygate.dll and\r\n"
           "       Dutygate.manifest in the same folder. A host with a manifest of its own\r\n"
           "       adds this dependency element to it instead. The version is the\r\n"
           "       interface's version: a newer Dutygate.dll of the same major version\r\n"
           "       needs no change here. -->\r\n"
           "  <dependency>\r\n    <dependentAssembly>\r\n      " +
           Identity(arch) + "\r\n    </dependentAssembly>\r\n  </dependency>\r\n</assembly>\r\n";
}

std::string Manifest(const std::string& arch) {
    const std::string tlbid = FormatGuid(kLibId);
    std::string text = std::string(kHeader) + "  " + Identity(arch) + "\r\n  <file name=\"Dutygate.dll\">\r\n";
    for (const ClassInfo& c : Classes()) {
        text += "    <comClass clsid=\"" + FormatGuid(*c.clsid) + "\" progid=\"" + c.progid +
                "\" threadingModel=\"Apartment\" tlbid=\"" + tlbid + "\" description=\"" + c.name + "\"/>\r\n";
    }
    text += "    <typelib tlbid=\"" + tlbid + "\" version=\"" + std::to_string(kLibVersionMajor) + "." +
            std::to_string(kLibVersionMinor) + "\" helpdir=\"\"/>\r\n  </file>\r\n";
    for (const ClassInfo& c : Classes()) {
        text += std::string("  <comInterfaceExternalProxyStub name=\"") + c.defaultInterface + "\" iid=\"" +
                FormatGuid(*c.iid) + "\" proxyStubClsid32=\"" + kTypeLibMarshaller + "\" baseInterface=\"" +
                kIidDispatch + "\" tlbid=\"" + tlbid + "\"/>\r\n";
    }
    return text + "</assembly>\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string arch = sizeof(void*) == 8 ? "amd64" : "x86";
    const std::string last = argc > 2 ? argv[argc - 1] : "";
    if (last == "x86" || last == "amd64") arch = last, --argc;
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: manifest_writer <output.manifest> [<host.exe.manifest>] [x86|amd64]\n");
        return 2;
    }
    if (!dg::component::win32::WriteTextFile(argv[1], Manifest(arch))) return 1;
    return argc == 3 && !dg::component::win32::WriteTextFile(argv[2], HostManifest(arch)) ? 1 : 0;
}
