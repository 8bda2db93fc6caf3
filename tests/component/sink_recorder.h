#pragma once
// Records each event a dg_event_sink receives as one line of text:
// "1 eventSetClass(I2:4, BSTR:2, BSTR:乙班, DATE:46363)".
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "dutygate/dutygate.h"

namespace dg::componenttest {

struct Recorder {
    std::vector<std::string> events;
    std::function<void()> during;  // runs inside the callback, after recording

    static void Sink(void* context, std::int32_t dispid, const char* name, const dg_variant* args, std::uint32_t argc) {
        std::ostringstream line;
        line << dispid << ' ' << name << '(';
        for (std::uint32_t i = 0; i < argc; ++i) {
            const dg_variant& v = args[i];
            line << (i ? ", " : "");
            switch (v.vt) {
                case DG_VT_I2: line << "I2:" << v.u.i2; break;
                case DG_VT_BSTR: line << "BSTR:" << v.u.bstr; break;
                case DG_VT_DATE: line << "DATE:" << v.u.date; break;
                default: line << "vt " << v.vt;
            }
        }
        line << ')';
        auto* self = static_cast<Recorder*>(context);
        if (self == nullptr) return;
        self->events.push_back(line.str());
        if (self->during) self->during();
    }
};

}  // namespace dg::componenttest
