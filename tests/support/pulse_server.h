#pragma once
// A private sound server for tests that play through the whole sound path a Linux desktop has:
// PortAudio -> ALSA's default device -> ALSA's pulse plugin -> this PulseAudio daemon, whose one
// sink discards the sound at 44,100 Hz, 16-bit stereo, in real time. Its monitor can be
// recorded, byte for byte.
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sonavix::test {

class PulseServer {
  public:
    static constexpr uint32_t kRate = 44100;

    PulseServer() = default;
    // Stops the recorder and the daemon, and removes the temporary directory.
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Starts the daemon and points PULSE_SERVER of this process at it. False (with the reason
    // in error) when it does not come up within a few seconds.
    bool Start(std::string& error);
    // Ends the daemon, as when a desktop's sound server goes away.
    void Stop();
    // Value for PULSE_SERVER.
    std::string Address() const { return "unix:" + m_dir + "/native"; }

    // Records the sink's monitor until StopRecording; returns once the recorder is connected.
    bool StartRecording(std::string& error);
    // Interleaved left/right values recorded so far.
    std::vector<int16_t> StopRecording();

  private:
    bool Run(const std::vector<std::string>& args, const std::string& out, pid_t& pid) const;
    bool PactlLists(const char* what) const;

    std::string m_dir;
    pid_t m_daemon = -1;
    pid_t m_recorder = -1;
};

// Where needle lies in haystack, or -1.
long FindPcm(const std::vector<int16_t>& haystack, const std::vector<int16_t>& needle);

} // namespace sonavix::test
