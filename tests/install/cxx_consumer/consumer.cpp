// A C++ host on the installed C++ header: creates both classes, polls
// ShiftClass once, releases them.
#include <dutygate/dutygate.hpp>

#include <iostream>

int main() {
    try {
        auto password = dutygate::Object::Create(DG_PROGID_CLSPASSWORD);
        auto shift = dutygate::Object::Create(DG_PROGID_CLSSHIFTCLASS);
        int events = 0;
        auto link = shift.Advise([&events](const dutygate::Event&) { ++events; });
        shift.Call("ShiftClass");
        if (password.DispId("ShowDialog") != DG_DISPID_SHOWDIALOG) {
            std::cerr << "wrong dispatch identifier for ShowDialog\n";
            return 1;
        }
        std::cout << "c++ consumer ok: Dutygate " << dg_version() << ", " << events << " event(s)\n";
        return 0;
    } catch (const dutygate::Error& e) {
        std::cerr << "failed: 0x" << std::hex << static_cast<unsigned>(e.status()) << " " << e.what() << "\n";
        return 1;
    }
}
