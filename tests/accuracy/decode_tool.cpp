#include "decode_tool.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace sonavix::test {

int DecodeWithTool(const std::string& input, bool asFloat, WavData& wav) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() /
                                      ("sonavix-accuracy-" + std::to_string(getpid()) + ".wav");
    const std::string command = std::string("'") + SONAVIX_BIN_DIR + "/sonavix-decode' " +
                                (asFloat ? "--float '" : "'") + input + "' '" + out.string() + "'";
    const int raw = std::system(command.c_str());
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (status == 0 && !ReadWav(out.string(), wav)) {
        std::remove(out.c_str());
        return -2;
    }
    std::remove(out.c_str());
    return status;
}

} // namespace sonavix::test
