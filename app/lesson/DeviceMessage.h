#pragma once
// Shows the playback's device-failure message in a modal box on the GUI thread while the
// worker that reported it waits.

namespace sonavix {

// What the learner is told when no sound device opens.
extern const char* const kDeviceFailureText;

// Registers the message function with the player. Call once on the GUI thread, after the
// application object exists.
void InstallDeviceFailureMessage();

// Shows utf8Text in a modal box on the GUI thread and
// returns once it has been dismissed, from whichever thread it is called.
void ShowDeviceFailure(const char* utf8Text);

// From now on messages go to stderr without waiting: the GUI thread no longer answers.
void WithdrawDeviceFailureMessage();

} // namespace sonavix
