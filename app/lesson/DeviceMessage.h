#pragma once
// Shows the playback's device-failure message in a modal box on the GUI thread while the
// worker that reported it waits.

namespace sonavix {

// Registers the message function with the player. Call once on the GUI thread, after the
// application object exists.
void InstallDeviceFailureMessage();

// The function registered with the player: shows utf8Text in a modal box on the GUI thread and
// returns once it has been dismissed, from whichever thread it is called.
void ShowDeviceFailure(const char* utf8Text);

// From now on messages go to stderr without waiting: the GUI thread no longer answers.
void WithdrawDeviceFailureMessage();

} // namespace sonavix
