#pragma once
// The shift settings dialog "换班设置". It never writes the database: its
// save and exit buttons raise BackClass (199 save, 200 exit) to the controller.
#include <cstdint>

#include "ui/event.h"
#include "ui/form.h"

namespace dg::shift {

class frmClass : public ui::Form {
public:
    frmClass();

    // vNum: 199 save, 200 exit (raised after the dialog has unloaded itself).
    ui::Event<std::int16_t> BackClass;

protected:
    void Build() override;
};

}  // namespace dg::shift
