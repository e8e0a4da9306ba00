#include "app/shipped_data.h"

#include "media/file_contents.h"

namespace quillo::app {

std::string ShippedDataText(const std::string& name) {
    const std::filesystem::path folder = media::ExecutableFolder();
    if (!folder.empty()) {
        for (const auto& candidate :
             {folder / "data" / name, folder / ".." / "share" / "quillo-video-converter" / name}) {
            // An empty file is a broken install, not an empty catalogue.
            if (auto text = media::ReadWholeFile(candidate); text && !text->empty()) {
                return *text;
            }
        }
    }
    return std::string(name == CatalogueFileName ? BuiltInCatalogue() : BuiltInSettings());
}

}  // namespace quillo::app
