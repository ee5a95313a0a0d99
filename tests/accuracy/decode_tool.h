#pragma once
// Runs sonavix-decode on a file and reads what it wrote.
#include "wav_file.h"

#include <string>

namespace sonavix::test {

// Decodes `input` with the tool (float output when asFloat) into a temporary file; returns the
// tool's exit status and fills wav when the status is 0.
int DecodeWithTool(const std::string& input, bool asFloat, WavData& wav);

} // namespace sonavix::test
