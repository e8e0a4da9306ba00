#include "gui/snapshot_writer.h"

#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>

#include "gui/folder_checks.h"
#include "gui/quillo_application.h"
#include "profiles/output_naming.h"
#include "profiles/settings_keys.h"

namespace quillo::gui {

namespace {

namespace keys = profiles::settings;

QString FromPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// The reason the picture could not be written; empty when it was.
QString WritePicture(const QString& path, const QImage& picture, const char* format, int quality) {
    // The temporary file stands in for the target until the picture is whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    QImageWriter writer(&file, format);
    if (quality > 0) {
        writer.setQuality(quality);
    }
    if (!writer.write(picture)) {
        file.cancelWriting();
        return writer.errorString();
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

// The stored folder, made when missing; the default folder (made and stored) when it cannot
// be. Empty when neither can be made.
std::filesystem::path PrepareFolder(const profiles::IniFile& settings,
                                    const MessageFunction& show) {
    const std::filesystem::path fallback = profiles::DefaultOutputFolder();
    const std::string stored =
        settings.ReadString(keys::Section, keys::SnapshotFolder, fallback.string());
    // A relative folder (a Windows "c:\korvana") would move with the working folder.
    if (std::filesystem::path(stored).is_absolute() && MakeFolder(stored)) {
        return stored;
    }
    if (show) {
        show({MessageIcon::Warning, QStringLiteral("Warning"),
              QStringLiteral("Cannot create output directory:") + QString::fromStdString(stored) +
                  QStringLiteral(".It will create default directory ") + FromPath(fallback) +
                  QStringLiteral("!")});
    }
    if (!MakeFolder(fallback)) {
        if (show) {
            show({MessageIcon::Critical, QString::fromUtf8(ApplicationTitle),
                  QStringLiteral("Cannot create output directory:") + FromPath(fallback)});
        }
        return {};
    }
    settings.WriteString(keys::Section, keys::SnapshotFolder, fallback.string());
    return fallback;
}

}  // namespace

SnapshotChoices ReadSnapshotChoices(const profiles::IniFile& settings) {
    const auto on = [&settings](const char* key) {
        return settings.ReadInteger(keys::Section, key, keys::SnapDefault) == 1;
    };
    SnapshotChoices choices;
    choices.FullSize = on(keys::SnapFullSize);
    choices.SmallSize = on(keys::SnapSmallSize);
    choices.Bmp = on(keys::SnapBmp);
    choices.Jpg = on(keys::SnapJpg);
    choices.JpegQuality = std::clamp(
        settings.ReadInteger(keys::Section, keys::JpegQuality, keys::JpegQualityDefault), 1, 100);
    return choices;
}

SnapshotResult SaveSnapshot(const profiles::IniFile& settings, const QImage& full,
                            const QImage& small, const MessageFunction& show) {
    SnapshotResult result;
    if (full.isNull()) {
        return result;
    }
    const SnapshotChoices choices = ReadSnapshotChoices(settings);
    result.Folder = PrepareFolder(settings, show);
    if (result.Folder.empty()) {
        return result;
    }
    struct File {
        bool wanted;
        const QImage& picture;
        const char* name;
        const char* format;
        int quality;
    };
    const File files[] = {
        {choices.FullSize && choices.Bmp, full, "Snapshot_full.bmp", "bmp", -1},
        {choices.SmallSize && choices.Bmp, small, "Snapshot_small.bmp", "bmp", -1},
        {choices.FullSize && choices.Jpg, full, "Snapshot_full.jpg", "jpg", choices.JpegQuality},
        {choices.SmallSize && choices.Jpg, small, "Snapshot_small.jpg", "jpg", choices.JpegQuality},
    };
    for (const File& file : files) {
        if (!file.wanted) {
            continue;
        }
        const std::filesystem::path path = result.Folder / file.name;
        const QString reason =
            WritePicture(FromPath(path), file.picture, file.format, file.quality);
        if (!reason.isEmpty()) {
            if (show) {
                show({MessageIcon::Critical, QString::fromUtf8(ApplicationTitle),
                      QStringLiteral("Cannot create file \"%1\". %2").arg(FromPath(path), reason)});
            }
            return result;
        }
        result.Written.push_back(path);
    }
    result.Complete = true;
    return result;
}

}  // namespace quillo::gui
