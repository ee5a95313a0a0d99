#pragma once
// A fresh directory under $TMPDIR (else /tmp), so that tests run where the machine keeps its
// scratch files and never collide on a fixed name.

#include <filesystem>
#include <string>

#include <stdlib.h>

// The new directory's path, or an empty string when none could be made.
inline std::string MakeTempDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}
