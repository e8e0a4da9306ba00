#include "gui/data_files.h"

#include <QStringList>
#include <system_error>

#include "media/file_contents.h"

#ifndef QUILLO_INSTALL_DATA_DIR
#define QUILLO_INSTALL_DATA_DIR "/usr/local/share/quillo-video-converter"
#endif

namespace quillo::gui {

namespace fs = std::filesystem;

const std::string_view AddFilesFilter =
    "All Supported Video "
    "Formats|*.AVI;*.AVM;*.ASF;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.3G2;*.M4V;*.MP4;*.MPG;*."
    "MPEG;*.DAT;*.OGM;*.VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;*.NSV;*.SWF;|All Supported Audio "
    "Formats|*.MP3;*.AAC;*.WAV;*.WMA;*.OGG;*.CDA;*.FLAC;*.M4A;*.MID;*.MKA;*.MP2;*.MPA;*.MPC;*."
    "APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;|AVI files (*.avi)|*.avi|MPEG4 files "
    "(*.mp4)|*.mp4|MPEG files (*.mpg,*.mpeg)|*.mpg;*.mpeg|3GP files (*.3gp,*.3g2)|*.3gp;*.3g2|"
    "Itunes Video files (*.m4v)|*.m4v|Windows Media files (*.wmv,*.asf)|*.wmv;*.asf|Real Media "
    "files (*.rm,*.rmvb)|*.rm;*.rmvb|Video CD files (*.dat)|*.dat|Quick Time files "
    "(*.mov)|*.mov|Flash Video files (*.flv)|*.flv|Matroska Video files (*.mkv)|*.mkv|MJPEG "
    "Video files (*.mjpg,*.mjpeg)|*.mjpg;*.mjpeg|Animated GIF files (*.gif)|*.gif|H.264/MPEG4 "
    "AVC Video files (*.mts,*.m2ts)|*.mts;*.m2ts|DVD video object files (*.vob)|*.vob|MPEG-1 "
    "Video files (*.mpv)|*.mpv|Video Transport Stream files (*.ts)|*.ts|TP Video files "
    "(*.tp)|*.tp|Maceomeida Flash files (*.swf)|*.swf|MP3 Audio files (*.mp3)|*.mp3|Advanced "
    "Audio Coding files (*.aac)|*.aac|Monkey's Audio files (*.ape)|*.ape|Ogg Vorbis Audio "
    "files (*.ogg)|*.ogg|Windows Media Audio files (*.wma)|*.wma|MusePack Audio files "
    "(*.mpc)|*.mpc|MPEG Audio files (*.mpa)|*.mpa|MPEG-4 Audio files (*.m4a)|*.m4a|Matroska "
    "Audio files (*.mka)|*.mka|DTS Audio files (*.dts)|*.dts|Audio Codec 3 files "
    "(*.ac3)|*.ac3|Speex Audio files (*.spx)|*.spx|Real Audio files (*.ra,*.ram)|*.ra;*.ram|"
    "MPEG Layer II Compressed Audio files (*.mp2)|*.mp2|All files (*.*)|*.*";

std::vector<fs::path> DataFolders() {
    std::vector<fs::path> folders;
    const auto add = [&folders](const fs::path& folder) {
        std::error_code error;
        const fs::path normal = fs::weakly_canonical(folder, error);
        const fs::path& chosen = error ? folder : normal;
        for (const fs::path& known : folders) {
            if (known == chosen) {
                return;
            }
        }
        folders.push_back(chosen);
    };
    if (const fs::path executable = media::ExecutableFolder(); !executable.empty()) {
        add(executable);
        add(executable / ".." / "share" / "quillo-video-converter");
    }
    add(QUILLO_INSTALL_DATA_DIR);
    return folders;
}

fs::path FindDataFile(const fs::path& relative) {
    for (const fs::path& folder : DataFolders()) {
        std::error_code error;
        const fs::path candidate = folder / relative;
        if (fs::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return {};
}

QString QtFileFilter(std::string_view filter) {
    const QStringList parts =
        QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size()))
            .split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype index = 0; index + 1 < parts.size(); index += 2) {
        QStringList patterns;
        for (const QString& pattern :
             parts[index + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString lower = pattern.trimmed().toLower();
            const QString upper = pattern.trimmed().toUpper();
            for (const QString& variant : {lower, upper}) {
                if (!variant.isEmpty() && !patterns.contains(variant)) {
                    patterns.push_back(variant);
                }
            }
        }
        if (!patterns.isEmpty()) {
            filters.push_back(parts[index] + QStringLiteral(" (") +
                              patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
        }
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace quillo::gui
