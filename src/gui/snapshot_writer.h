#pragma once

// Saving a snapshot: the picture on screen written to the snapshot folder as the program
// settings ask.

#include <QImage>
#include <filesystem>
#include <vector>

#include "gui/message_boxes.h"
#include "profiles/ini_file.h"

namespace quillo::gui {

// Which snapshot files the settings ask for ("snapFullSize", "snapSmallSize", "snapBmp",
// "snapJpg": on when 1, the default) and the JPEG quality ("jpgCmp", kept within 1..100).
struct SnapshotChoices {
    bool FullSize = true;
    bool SmallSize = true;
    bool Bmp = true;
    bool Jpg = true;
    int JpegQuality = 30;
};
SnapshotChoices ReadSnapshotChoices(const profiles::IniFile& settings);

struct SnapshotResult {
    // The folder the files went to; empty when none could be made.
    std::filesystem::path Folder;
    // The files written, in order.
    std::vector<std::filesystem::path> Written;
    // Every file the settings ask for was written.
    bool Complete = false;
};

// Writes full (the frame at its own size) and small (the frame as the window showed it) into
// the snapshot folder ("SnapOutPutDir", default $HOME/korvana) as the settings ask, in this
// order: Snapshot_full.bmp, Snapshot_small.bmp, Snapshot_full.jpg, Snapshot_small.jpg, each
// replacing the previous snapshot's file. A folder that cannot be created is reported, and the
// default folder is made, stored and used instead. A file that cannot be written is reported
// and ends the snapshot; the files written before it stay. Each file is written beside its
// target under a temporary name and renamed over it, so a failed write leaves the previous
// file whole. A null full picture saves nothing and says nothing. Messages go through show; a
// settings file that cannot be written raises the IniFile's MediaError.
SnapshotResult SaveSnapshot(const profiles::IniFile& settings, const QImage& full,
                            const QImage& small, const MessageFunction& show);

}  // namespace quillo::gui
