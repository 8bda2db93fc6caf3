// Writes Dutygate.manifest, the side-by-side assembly manifest that sits
// beside Dutygate.dll, from the class table: a host whose application
// manifest names the assembly "Dutygate" then creates both classes by ProgID
// with nothing in the registry. Runs at build time, for the bitness it was
// built for (under Wine when cross-building), like the type library writer.
//
//   manifest_writer <output.manifest> [x86|amd64]
//
// The bitness defaults to the writer's own; a 64-bit writer also writes the
// x86 manifest where 32-bit programs cannot run at build time.
#include <cstdio>
#include <string>

#include "component/class_table.h"
#include "component/guid.h"

#ifndef DG_ASSEMBLY_VERSION
#error "DG_ASSEMBLY_VERSION (four numbers, 1.0.0.15) must be defined"
#endif

namespace {

using namespace dg::component;

// The runtime's own type library marshaller (PSOAInterface) and IDispatch:
// calls on the dual interfaces from another apartment go through them.
constexpr const char* kTypeLibMarshaller = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kIidDispatch = "{00020400-0000-0000-C000-000000000046}";

std::string Manifest(const std::string& arch) {
    const std::string tlbid = FormatGuid(kLibId);
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "  <assemblyIdentity type=\"win32\" name=\"Dutygate\" version=\"" DG_ASSEMBLY_VERSION
        "\" processorArchitecture=\"" + arch + "\"/>\r\n  <file name=\"Dutygate.dll\">\r\n";
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
    const std::string arch = argc == 3 ? argv[2] : sizeof(void*) == 8 ? "amd64" : "x86";
    if (argc < 2 || argc > 3 || (arch != "x86" && arch != "amd64")) {
        std::fprintf(stderr, "usage: manifest_writer <output.manifest> [x86|amd64]\n");
        return 2;
    }
    const std::string text = Manifest(arch);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "manifest_writer: writing %s failed\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
