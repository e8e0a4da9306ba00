#pragma once

#include <array>
#include <memory>
#include <optional>

#include "converter/conversion_options.h"
#include "converter/option_state.h"
#include "converter/transcoder.h"
#include "media/media_probe.h"

namespace quillo::converter {

// One task of the converter's queue: an engine with one slot per possible input or output
// holding the input's probe and the option records the task was given.
class TranscodeTask : public Transcoder {
public:
    static constexpr int SlotCount = MaxFiles;

    // Describes the opened input through a probe of its own; the engine keeps the file.
    void AttachProbe(int input) {
        auto probe = std::make_unique<media::MediaProbe>();
        probe->AttachContext(Input(input).input.Context());
        probes_.at(input) = std::move(probe);
    }
    // The engine closes its inputs when it runs, so a probe describes them only until then.
    void DetachProbes() {
        for (const auto& probe : probes_) {
            if (probe) {
                probe->CloseFile();
            }
        }
    }
    media::MediaProbe* Probe(int input) const {
        return input >= 0 && input < SlotCount ? probes_[input].get() : nullptr;
    }

    void StoreInputOptions(int slot, const InputOptions& options) {
        inputOptions_.at(slot) = options;
    }
    const std::optional<InputOptions>& StoredInputOptions(int slot) const {
        return inputOptions_.at(slot);
    }
    void StoreOutputOptions(int slot, std::optional<OutputOptions> options) {
        outputOptions_.at(slot) = std::move(options);
    }
    const std::optional<OutputOptions>& StoredOutputOptions(int slot) const {
        return outputOptions_.at(slot);
    }

private:
    std::array<std::unique_ptr<media::MediaProbe>, SlotCount> probes_;
    std::array<std::optional<InputOptions>, SlotCount> inputOptions_;
    std::array<std::optional<OutputOptions>, SlotCount> outputOptions_;
};

}  // namespace quillo::converter
