#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace mplay {

// 1 while repeated play is wanted. Written by the window on the main thread before it starts
// the worker that should see the new value; read by workers.
extern std::atomic<int> g_bRepeat;

// Worker entry: owns path (heap-allocated by the caller) and frees it on every path. Every pass
// of the request plays at speed (see PlaySpeed.h: 1.0 as recorded, 0.75 and 0.5 slower with the
// pitch kept).
void PlayThreadProc(std::string* path, double speed = 1.0);

// Starts a detached worker for a copy of path, playing at speed. Never waits for earlier
// workers: the newest request wins and cuts the pass in progress short, whatever the speeds.
void StartPlayWorker(const std::string& path, double speed = 1.0);

// Plays mono 16-bit samples at rate Hz once, at speed (PlaySpeed rules), under the same
// newest-request-wins sound turn as StartPlayWorker: it stops a playback or recording in
// progress, and a later request stops it. g_bRepeat does not apply.
void StartSamplesWorker(std::vector<int16_t> mono, uint32_t rate, double speed = 1.0);

// Workers still alive (waiting, playing or pausing); for tests and diagnostics.
int RunningWorkerCount();

// Test seam: called on the caller's thread with every path StartPlayWorker is given, in place of
// starting a worker; nullptr starts workers again.
using PlayRequestHook = void (*)(const std::string& path);
void SetPlayRequestHook(PlayRequestHook hook);
// The same with the request's speed as given; while set, it is called instead of the hook above.
using SpeedRequestHook = void (*)(const std::string& path, double speed);
void SetSpeedRequestHook(SpeedRequestHook hook);
// Test seam like SetSpeedRequestHook: while set, called on the caller's thread instead of
// starting a worker.
using SamplesRequestHook = void (*)(const std::vector<int16_t>& mono, uint32_t rate, double speed);
void SetSamplesRequestHook(SamplesRequestHook hook);

} // namespace mplay
