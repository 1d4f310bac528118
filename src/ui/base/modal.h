#pragma once

class QDialog;

namespace nimbrel {

class CGate;

// Runs a modal dialog with the session's gate closed, so that no tick, time-out or line from the
// instrument runs inside the dialog's event loop; they run in order once it has closed.
int ExecModal(QDialog& dialog, CGate* gate);

} // namespace nimbrel
