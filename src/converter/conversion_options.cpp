#include "converter/conversion_options.h"

namespace quillo::converter {

void InitInputOptions(InputOptions& options) {
    options = InputOptions{};
}

void InitOutputOptions(OutputOptions& options) {
    options = OutputOptions{};
}

}  // namespace quillo::converter
