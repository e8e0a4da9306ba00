#include "gui/desktop_services.h"

#include <QDesktopServices>
#include <QStorageInfo>
#include <QString>
#include <QUrl>

namespace quillo::gui {

bool GuiSystemServices::OpenFolder(const std::filesystem::path& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
}

bool GuiSystemServices::PowerOff() {
    return system_.PowerOff();
}

bool IsReadOnlyStorage(const QString& folder) {
    const QStorageInfo storage(folder);
    if (!storage.isValid()) {
        return false;
    }
    const QByteArray type = storage.fileSystemType().toLower();
    return storage.isReadOnly() || type == "iso9660" || type == "udf";
}

}  // namespace quillo::gui
