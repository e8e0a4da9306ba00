#pragma once

namespace quillo::gui {

// Makes Qt's event loop run the calls that media threads queue for the main thread (player
// events, the converter's progress and ends): every queued call posts one wake-up to an
// object living on the main thread, which then pumps them. Call on the main thread once the
// QApplication exists; calls after the first do nothing. The pump lives as long as the
// application and takes its wake-up away when the application goes.
void InstallMainThreadPump();

}  // namespace quillo::gui
