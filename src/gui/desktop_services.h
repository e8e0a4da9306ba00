#pragma once

#include <QString>

#include "app/system_services.h"

namespace quillo::gui {

// The desktop program's system services: folders are shown through the desktop's file
// manager (QDesktopServices), powering off goes through the system's command.
class GuiSystemServices final : public app::SystemServices {
public:
    bool OpenFolder(const std::filesystem::path& folder) override;
    bool PowerOff() override;

private:
    app::DesktopSystemServices system_;
};

// True for a folder on a read-only or optical (CD, DVD) file system.
bool IsReadOnlyStorage(const QString& folder);

}  // namespace quillo::gui
