#include "pulse_server.h"

#include "temp_dir.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace sonavix::test {
namespace {

using namespace std::chrono_literals;

void Terminate(pid_t& pid) {
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid = -1;
}

bool Exited(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

} // namespace

PulseServer::~PulseServer() {
    Terminate(m_recorder);
    Terminate(m_daemon);
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}

void PulseServer::Stop() {
    Terminate(m_recorder);
    Terminate(m_daemon);
}

bool PulseServer::Run(const std::vector<std::string>& args, const std::string& out,
                      pid_t& pid) const {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    // The daemon keeps its state and runtime files in the temporary directory, away from any
    // server of the user's session.
    std::vector<std::string> env = {"HOME=" + m_dir, "XDG_RUNTIME_DIR=" + m_dir,
                                    "XDG_CONFIG_HOME=" + m_dir, "PULSE_SERVER=" + Address()};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "HOME" && name != "XDG_RUNTIME_DIR" && name != "XDG_CONFIG_HOME" &&
            name != "PULSE_SERVER") {
            env.push_back(entry);
        }
    }
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (m_dir + "/log").c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid = -1;
    }
    return rc == 0;
}

bool PulseServer::PactlLists(const char* what) const {
    pid_t pid = -1;
    const std::string out = m_dir + "/pactl.out";
    if (!Run({"pactl", "list", "short", what}, out, pid)) {
        return false;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::ifstream in(out);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !text.empty();
}

bool PulseServer::Start(std::string& error) {
    m_dir = MakeTempDir("sonavix-pulse-");
    if (m_dir.empty()) {
        error = "cannot make a temporary directory";
        return false;
    }
    {
        std::ofstream config(m_dir + "/server.pa");
        config << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << m_dir
               << "/native\n"
               // Without norewinds the server rewinds over the start of a new stream.
               << "load-module module-null-sink sink_name=capture rate=" << kRate
               << " channels=2 format=s16le norewinds=1\n"
               << "set-default-sink capture\n";
    }
    if (!Run({"pulseaudio", "-n", "-F", m_dir + "/server.pa", "--daemonize=no",
              "--exit-idle-time=-1", "--use-pid-file=no", "--log-target=stderr"},
             "/dev/null", m_daemon)) {
        error = "cannot start pulseaudio";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!PactlLists("sinks")) {
        if (Exited(m_daemon)) {
            m_daemon = -1;
            error = "pulseaudio ended at once; see " + m_dir + "/log";
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error = "pulseaudio did not answer";
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    setenv("PULSE_SERVER", Address().c_str(), 1);
    return true;
}

bool PulseServer::StartRecording(std::string& error) {
    if (!Run({"parec", "-d", "capture.monitor", "--raw", "--format=s16le",
              "--rate=" + std::to_string(kRate), "--channels=2", "--latency-msec=20"},
             m_dir + "/capture.raw", m_recorder)) {
        error = "cannot start parec";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!PactlLists("source-outputs")) {
        if (std::chrono::steady_clock::now() > deadline) {
            error = "parec did not connect";
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::vector<int16_t> PulseServer::StopRecording() {
    Terminate(m_recorder);
    std::ifstream in(m_dir + "/capture.raw", std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::copy_n(bytes.data(), pcm.size() * 2, reinterpret_cast<char*>(pcm.data()));
    return pcm;
}

long FindPcm(const std::vector<int16_t>& haystack, const std::vector<int16_t>& needle) {
    if (needle.empty() || needle.size() > haystack.size()) {
        return -1;
    }
    const auto at = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
    return at == haystack.end() ? -1 : static_cast<long>(at - haystack.begin());
}

} // namespace sonavix::test
