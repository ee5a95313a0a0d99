// The trainer itself, started on a copy of its program directory whose settings file is missing,
// empty, binary, a directory or read-only, and whose first symbol's recording and documents are
// damaged: the program must come up and keep running, and leave the settings file as it was.
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Random(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

// A program directory of our own: the executable copied (it finds its files beside itself),
// everything else linked, and symbol 0's media replaced by broken files.
class ProgramCopy {
  public:
    ProgramCopy() {
        dir = MakeTempDir("sonavix-program-");
        const fs::path source(SONAVIX_PROGRAM_DIR);
        for (const auto& entry : fs::directory_iterator(source)) {
            const fs::path name = entry.path().filename();
            if (name == "sonavix")
                fs::copy_file(entry.path(), dir / name);
            else if (name != "pho" && name != "SetInfo.ini")
                fs::create_symlink(entry.path(), dir / name);
        }
        fs::create_directory(dir / "pho");
        for (const auto& entry : fs::directory_iterator(source / "pho"))
            fs::create_symlink(entry.path(), dir / "pho" / entry.path().filename());
        for (const char* name : {"0.mp3", "0.rtf", "0-0.rtf"})
            fs::remove(dir / "pho" / name);
        Put(dir / "pho/0.mp3", Random(30000, 1));
        Put(dir / "pho/0.rtf", "{\\rtf1 unterminated {\\b rules");
        Put(dir / "pho/0-0.rtf", Random(20000, 2));
    }
    ~ProgramCopy() {
        std::error_code ec;
        fs::permissions(dir / "SetInfo.ini", fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    // Starts the program offscreen, with no sound server to reach; true when it is still
    // running after `seconds`. Its output goes to log.
    bool RunsFor(std::chrono::milliseconds duration, std::string& log) {
        std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                        "PULSE_SERVER=unix:" + dir.string() + "/no-server"};
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("PULSE_SERVER=", 0) != 0)
                env.push_back(entry);
        }
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string program = (dir / "sonavix").string();
        const std::string logPath = (dir / "log").string();
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            return false;
        std::this_thread::sleep_for(duration);
        int status = 0;
        const bool running = waitpid(pid, &status, WNOHANG) == 0;
        if (running) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        log = Slurp(logPath);
        return running;
    }

    fs::path dir;
};

class BrokenSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(fs::path(SONAVIX_PROGRAM_DIR) / "sonavix"))
            GTEST_SKIP() << "the program is not built";
    }
    void ExpectRuns(ProgramCopy& copy) {
        std::string log;
        EXPECT_TRUE(copy.RunsFor(2500ms, log)) << log;
        EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
        EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    }
};

TEST_F(BrokenSettings, MissingOrEmpty) {
    ProgramCopy missing;
    ExpectRuns(missing);
    ProgramCopy empty;
    Put(empty.dir / "SetInfo.ini", "");
    ExpectRuns(empty);
    EXPECT_TRUE(fs::is_regular_file(empty.dir / "SetInfo.ini"));
}

TEST_F(BrokenSettings, BinaryIsLeftAsItWas) {
    ProgramCopy copy;
    const std::string junk = Random(5000, 3);
    Put(copy.dir / "SetInfo.ini", junk);
    ExpectRuns(copy);
    EXPECT_EQ(Slurp(copy.dir / "SetInfo.ini"), junk);
}

TEST_F(BrokenSettings, ADirectoryInItsPlace) {
    ProgramCopy copy;
    fs::create_directory(copy.dir / "SetInfo.ini");
    ExpectRuns(copy);
    EXPECT_TRUE(fs::is_directory(copy.dir / "SetInfo.ini"));
}

TEST_F(BrokenSettings, ReadOnly) {
    ProgramCopy copy;
    Put(copy.dir / "SetInfo.ini", "[Skin]\r\ndefault=5\r\n");
    fs::permissions(copy.dir / "SetInfo.ini", fs::perms::owner_read | fs::perms::group_read);
    ExpectRuns(copy);
    EXPECT_EQ(Slurp(copy.dir / "SetInfo.ini"), "[Skin]\r\ndefault=5\r\n");
}

} // namespace
