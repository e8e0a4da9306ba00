#include "gui/folder_checks.h"

#include <system_error>

#include "app/global_object.h"
#include "profiles/output_naming.h"

namespace quillo::gui {

bool MakeFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

std::optional<std::filesystem::path> AcceptChosenFolder(const QString& folder,
                                                        const MessageFunction& show) {
    const auto warn = [&show](const QString& text) {
        if (show) {
            show({MessageIcon::Warning, QStringLiteral("Warning"), text});
        }
    };
    if (folder.size() < 4) {
        warn(QStringLiteral("The path ") + folder + QStringLiteral(" is not a valid directory."));
        return std::nullopt;
    }
    const std::filesystem::path path(folder.toStdString());
    if (!app::GlobalObject::IsFolderWritable(path)) {
        warn(QStringLiteral("You login as ") +
             QString::fromStdString(app::GlobalObject::UserName()).trimmed() +
             QStringLiteral(" .You don't have permission to write to directory:") + folder);
        return profiles::DefaultOutputFolder();
    }
    return path;
}

}  // namespace quillo::gui
