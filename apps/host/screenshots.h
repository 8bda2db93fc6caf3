#pragma once
// Opens each of the component's four dialogs through the C interface, saves a
// picture of each into a folder, and closes it again.
#include <QString>

namespace dghost {

// login.png, revise.png, landing.png, settings.png under `folder` (created if
// missing). Needs a QApplication. Returns the process exit code; failures are
// reported on stderr.
int SaveScreenshots(const QString& folder);

}  // namespace dghost
