#include "converter/legacy_names.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

#include "media/library_bindings.h"

namespace quillo::converter {
namespace {

using OptionPairs = std::vector<std::pair<std::string, std::string>>;

// Encoders are named in lists separated by spaces; "*" stands for every encoder.
bool EncoderInList(std::string_view list, std::string_view encoderName) {
    if (list == "*") {
        return true;
    }
    while (!list.empty()) {
        const std::size_t space = list.find(' ');
        if (list.substr(0, space) == encoderName) {
            return true;
        }
        list = space == std::string_view::npos ? std::string_view{} : list.substr(space + 1);
    }
    return false;
}

constexpr std::string_view X264Encoders = "libx264 libx264rgb";
// The encoders built on libavcodec's MPEG video core: their former generic options became the
// shared private options "motion_est" and "mpv_flags".
constexpr std::string_view MpegVideoEncoders =
    "mpeg1video mpeg2video mpeg4 h261 h263 h263p flv msmpeg4v2 msmpeg4 wmv1 wmv2 rv10 rv20";

struct EncoderSuccessor {
    std::string_view legacy;
    std::string_view successor;
    // The successor is taken only when the loaded libavcodec has it (else the legacy encoder,
    // which 5.1 still has, is kept).
    bool onlyWhenPresent;
};

constexpr std::array EncoderSuccessors = {
    EncoderSuccessor{"libfaac", "aac", false},
    EncoderSuccessor{"libvo_aacenc", "aac", false},
    EncoderSuccessor{"libaacplus", "aac", false},
    EncoderSuccessor{"libflac", "flac", false},
    EncoderSuccessor{"vorbis", "libvorbis", true},
    EncoderSuccessor{"libdirac", "vc2", false},
    EncoderSuccessor{"libschroedinger", "vc2", false},
};

// A flag of the 2010 "flags" or "flags2" option that is now an option of its own.
struct FlagSuccessor {
    std::string_view option;  // "flags" or "flags2"
    std::string_view flag;
    std::string_view encoders;
    std::string_view name;
    std::string_view onValue;
    std::string_view offValue;
};

constexpr std::array FlagSuccessors = {
    // libx264 reads none of the generic flags below any more; its private options took over.
    FlagSuccessor{"flags", "loop", X264Encoders, "x264-params", "no-deblock=0", "no-deblock=1"},
    FlagSuccessor{"flags2", "wpred", X264Encoders, "weightb", "1", "0"},
    FlagSuccessor{"flags2", "dct8x8", X264Encoders, "8x8dct", "1", "0"},
    FlagSuccessor{"flags2", "mixed_refs", X264Encoders, "mixed-refs", "1", "0"},
    FlagSuccessor{"flags2", "fastpskip", X264Encoders, "fast-pskip", "1", "0"},
    FlagSuccessor{"flags2", "bpyramid", X264Encoders, "b-pyramid", "normal", "none"},
    FlagSuccessor{"flags2", "aud", X264Encoders, "aud", "1", "0"},
    FlagSuccessor{"flags2", "mbtree", X264Encoders, "mbtree", "1", "0"},
    FlagSuccessor{"flags2", "psy", X264Encoders, "psy", "1", "0"},
    FlagSuccessor{"flags2", "ssim", X264Encoders, "ssim", "1", "0"},
    FlagSuccessor{"flags2", "intra_refresh", X264Encoders, "intra-refresh", "1", "0"},
    FlagSuccessor{"flags", "trell", "*", "trellis", "1", "0"},
    FlagSuccessor{"flags", "naq", MpegVideoEncoders, "mpv_flags", "+naq", "-naq"},
    FlagSuccessor{"flags", "qprd", MpegVideoEncoders, "mpv_flags", "+qp_rd", "-qp_rd"},
    FlagSuccessor{"flags", "cbp", MpegVideoEncoders, "mpv_flags", "+cbp_rd", "-cbp_rd"},
    FlagSuccessor{"flags2", "skiprd", MpegVideoEncoders, "mpv_flags", "+skip_rd", "-skip_rd"},
    FlagSuccessor{"flags2", "strict_gop", MpegVideoEncoders, "mpv_flags", "+strict_gop",
                  "-strict_gop"},
    FlagSuccessor{"flags", "scan_offset", "mpeg1video mpeg2video", "scan_offset", "1", "0"},
    FlagSuccessor{"flags", "alt", "mpeg2video mpeg4", "alternate_scan", "1", "0"},
    FlagSuccessor{"flags", "part", "mpeg4", "data_partitioning", "1", "0"},
    FlagSuccessor{"flags", "obmc", "h263 h263p", "obmc", "1", "0"},
    FlagSuccessor{"flags", "umv", "h263p", "umv", "1", "0"},
    FlagSuccessor{"flags", "aiv", "h263p", "aiv", "1", "0"},
};

// An option that only changed its name for the listed encoders.
struct NameSuccessor {
    std::string_view legacy;
    std::string_view encoders;
    std::string_view successor;
};

constexpr std::array NameSuccessors = {
    NameSuccessor{"wpredp", X264Encoders, "weightp"},
    NameSuccessor{"directpred", X264Encoders, "direct-pred"},
    NameSuccessor{"cqp", X264Encoders, "qp"},
    NameSuccessor{"complexityblur", X264Encoders, "cplxblur"},
    NameSuccessor{"nr", X264Encoders, "noise_reduction"},
    NameSuccessor{"bframebias", X264Encoders, "b-bias"},
    NameSuccessor{"rc_lookahead", X264Encoders, "rc-lookahead"},
    NameSuccessor{"aq_mode", X264Encoders, "aq-mode"},
    NameSuccessor{"aq_strength", X264Encoders, "aq-strength"},
};

// The 2010 motion-estimation methods by name and by number (the old enum started at 1), and
// what libx264 made of each: it ran its own searches and took the old names as hints.
struct MotionMethod {
    std::string_view name;
    std::string_view number;
    std::string_view x264Method;
    std::string_view mpegVideoMethod;  // empty: the MPEG video core dropped the method
};

constexpr std::array MotionMethods = {
    MotionMethod{"zero", "1", "hex", "zero"}, MotionMethod{"full", "2", "esa", ""},
    MotionMethod{"log", "3", "hex", ""},      MotionMethod{"phods", "4", "hex", ""},
    MotionMethod{"epzs", "5", "dia", "epzs"}, MotionMethod{"x1", "6", "hex", "xone"},
    MotionMethod{"hex", "7", "hex", ""},      MotionMethod{"umh", "8", "umh", ""},
    MotionMethod{"iter", "9", "hex", ""},     MotionMethod{"tesa", "10", "tesa", ""},
    MotionMethod{"dia", "", "dia", "epzs"},   MotionMethod{"esa", "", "esa", ""},
};

// The 2010 partition flags and libx264's names for them, in libx264's order.
struct Partition {
    std::string_view flag;
    std::string_view x264Name;
};

constexpr std::array Partitions = {
    Partition{"partp8x8", "p8x8"}, Partition{"partp4x4", "p4x4"}, Partition{"partb8x8", "b8x8"},
    Partition{"parti8x8", "i8x8"}, Partition{"parti4x4", "i4x4"},
};

// One term of a 2010 flags value such as "+mixed_refs-dct8x8": '+' sets, '-' clears, and a
// leading term without a sign (sign 0) replaces the whole set.
struct FlagTerm {
    char sign;
    std::string_view flag;
};

std::optional<std::vector<FlagTerm>> SplitFlagTerms(std::string_view value) {
    std::vector<FlagTerm> terms;
    while (!value.empty()) {
        char sign = 0;
        if (value.front() == '+' || value.front() == '-') {
            sign = value.front();
            value.remove_prefix(1);
        } else if (!terms.empty()) {
            return std::nullopt;
        }
        const std::size_t end = value.find_first_of("+-");
        const std::string_view flag = value.substr(0, end);
        if (flag.empty()) {
            return std::nullopt;
        }
        terms.push_back({sign, flag});
        value = end == std::string_view::npos ? std::string_view{} : value.substr(end);
    }
    if (terms.empty()) {
        return std::nullopt;
    }
    return terms;
}

const FlagSuccessor* FindFlagSuccessor(std::string_view option, std::string_view flag,
                                       std::string_view encoderName) {
    const auto found = std::ranges::find_if(FlagSuccessors, [&](const FlagSuccessor& entry) {
        return entry.option == option && entry.flag == flag &&
               EncoderInList(entry.encoders, encoderName);
    });
    return found == FlagSuccessors.end() ? nullptr : &*found;
}

// "flags" and "flags2": the flags that became options of their own give one pair each; the
// rest stay in the generic option. A value that replaced the whole set also turns off the
// successors it does not name, and replaces the generic set with what remains ("0" for none).
std::optional<OptionPairs> TranslateFlags(std::string_view encoderName, std::string_view option,
                                          std::string_view value) {
    const std::optional<std::vector<FlagTerm>> terms = SplitFlagTerms(value);
    if (!terms) {
        return std::nullopt;
    }
    const bool replaces = terms->front().sign == 0;
    OptionPairs pairs;
    std::vector<const FlagSuccessor*> mentioned;
    std::vector<std::string_view> genericSet;  // replacing: the flags set at the end
    std::string genericChanges;                // otherwise: the signed terms in order
    for (const FlagTerm& term : *terms) {
        const bool on = term.sign != '-';
        if (const FlagSuccessor* successor = FindFlagSuccessor(option, term.flag, encoderName)) {
            mentioned.push_back(successor);
            pairs.emplace_back(successor->name, on ? successor->onValue : successor->offValue);
        } else if (replaces) {
            std::erase(genericSet, term.flag);
            if (on) {
                genericSet.push_back(term.flag);
            }
        } else {
            genericChanges += term.sign;
            genericChanges += term.flag;
        }
    }
    if (replaces) {
        for (const FlagSuccessor& successor : FlagSuccessors) {
            if (successor.option == option && EncoderInList(successor.encoders, encoderName) &&
                std::ranges::find(mentioned, &successor) == mentioned.end()) {
                pairs.emplace_back(successor.name, successor.offValue);
            }
        }
        std::string generic;
        for (const std::string_view flag : genericSet) {
            generic += generic.empty() ? "" : "+";
            generic += flag;
        }
        pairs.emplace_back(option, generic.empty() ? "0" : generic);
    } else if (!genericChanges.empty()) {
        pairs.emplace_back(option, genericChanges);
    }
    return pairs;
}

// "partitions=+parti8x8+parti4x4": the set counted from none, as libx264 ran it then, in
// libx264's comma list; "none" when empty.
std::optional<std::string> TranslatePartitions(std::string_view value) {
    const std::optional<std::vector<FlagTerm>> terms = SplitFlagTerms(value);
    if (!terms) {
        return std::nullopt;
    }
    std::array<bool, Partitions.size()> chosen{};
    for (const FlagTerm& term : *terms) {
        const auto found = std::ranges::find(Partitions, term.flag, &Partition::flag);
        if (found == Partitions.end()) {
            return std::nullopt;
        }
        chosen[static_cast<std::size_t>(found - Partitions.begin())] = term.sign != '-';
    }
    std::string list;
    for (std::size_t index = 0; index < Partitions.size(); ++index) {
        if (chosen[index]) {
            list += list.empty() ? "" : ",";
            list += Partitions[index].x264Name;
        }
    }
    return list.empty() ? "none" : list;
}

// The level was a number such as 13 or 31; libx264 now takes "1.3" or "3.1", and level 1b
// (number 9) by that name.
std::optional<std::string> TranslateX264Level(std::string_view value) {
    int level = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), level);
    if (error != std::errc{} || end != value.data() + value.size()) {
        return std::nullopt;
    }
    if (level == 9) {
        return "1b";
    }
    if (level < 10) {
        return std::nullopt;
    }
    return std::to_string(level / 10) + "." + std::to_string(level % 10);
}

const MotionMethod* FindMotionMethod(std::string_view value) {
    const auto found = std::ranges::find_if(MotionMethods, [value](const MotionMethod& method) {
        return method.name == value || (!method.number.empty() && method.number == value);
    });
    return found == MotionMethods.end() ? nullptr : &*found;
}

}  // namespace

std::string SuccessorEncoderName(std::string_view name) {
    const auto found = std::ranges::find(EncoderSuccessors, name, &EncoderSuccessor::legacy);
    if (found == EncoderSuccessors.end()) {
        return std::string(name);
    }
    if (found->onlyWhenPresent) {
        const auto findEncoder = media::lib::avcodec.avcodec_find_encoder_by_name;
        if (findEncoder == nullptr ||
            findEncoder(std::string(found->successor).c_str()) == nullptr) {
            return std::string(name);
        }
    }
    return std::string(found->successor);
}

OptionPairs TranslateLegacyOption(std::string_view encoderName, std::string_view name,
                                  std::string_view value) {
    const bool x264 = EncoderInList(X264Encoders, encoderName);
    if (name == "flags" || name == "flags2") {
        if (std::optional<OptionPairs> pairs = TranslateFlags(encoderName, name, value)) {
            return *pairs;
        }
    } else if (x264 && name == "partitions") {
        if (std::optional<std::string> list = TranslatePartitions(value)) {
            return {{"partitions", *list}};
        }
    } else if (x264 && name == "level") {
        if (std::optional<std::string> level = TranslateX264Level(value)) {
            return {{"level", *level}};
        }
    } else if (name == "me_method") {
        const MotionMethod* method = FindMotionMethod(value);
        if (x264) {
            return {{"motion-est",
                     method != nullptr ? std::string(method->x264Method) : std::string(value)}};
        }
        if (EncoderInList(MpegVideoEncoders, encoderName)) {
            return {{"motion_est", method != nullptr && !method->mpegVideoMethod.empty()
                                       ? std::string(method->mpegVideoMethod)
                                       : std::string(value)}};
        }
    } else if (x264 && name == "rc_eq") {
        // libx264 never had a rate-control equation; the line had no effect on it.
        return {};
    }
    const auto renamed = std::ranges::find_if(NameSuccessors, [&](const NameSuccessor& entry) {
        return entry.legacy == name && EncoderInList(entry.encoders, encoderName);
    });
    if (renamed != NameSuccessors.end()) {
        return {{std::string(renamed->successor), std::string(value)}};
    }
    return {{std::string(name), std::string(value)}};
}

bool IsVideoOnlyLegacyOption(std::string_view name) {
    return name == "b" || name == "maxrate" || name == "minrate" || name == "bufsize";
}

}  // namespace quillo::converter
