// Turning a BE_CONFIG record into the settings of a LAME encoder.
#pragma once

#include <lame/lame.h>

#include "encoder/blade_enc.h"

namespace encoder {

// Applies `config` to a fresh `lame` context and initialises it. `write_tag`
// makes LAME reserve its tag frame at the start of the output. On success
// `input_channels` is the number of interleaved channels beEncodeChunk takes.
BE_ERR configure(lame_t lame, const BE_CONFIG& config, bool write_tag, int& input_channels);

}  // namespace encoder
