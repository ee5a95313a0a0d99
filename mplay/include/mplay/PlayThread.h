#pragma once
#include <atomic>
#include <string>

namespace mplay {

// 1 while repeated play is wanted. Written by the window on the main thread before it starts
// the worker that should see the new value; read by workers.
extern std::atomic<int> g_bRepeat;

// Worker entry: owns path (heap-allocated by the caller) and frees it on every path.
void PlayThreadProc(std::string* path);

// Starts a detached worker for a copy of path. Never waits for earlier workers: the newest
// request wins and cuts the pass in progress short.
void StartPlayWorker(const std::string& path);

// Workers still alive (waiting, playing or pausing); for tests and diagnostics.
int RunningWorkerCount();

// Test seam: called on the caller's thread with every path StartPlayWorker is given, in place of
// starting a worker; nullptr starts workers again.
using PlayRequestHook = void (*)(const std::string& path);
void SetPlayRequestHook(PlayRequestHook hook);

} // namespace mplay
