#include "shift/frmClass.h"

namespace dg::shift {

frmClass::frmClass() : ui::Form("frmClass") {}

void frmClass::Build() {
    SetCaption("换班设置");
    SetClientSize(5385, 2745);
}

}  // namespace dg::shift
