#pragma once
// Shows the playback's device-failure message in a modal box on the GUI thread while the
// worker that reported it waits.

namespace sonavix {

// Registers the message function with the player. Call once on the GUI thread, after the
// application object exists.
void InstallDeviceFailureMessage();

// From now on messages go to stderr without waiting: the GUI thread no longer answers.
void WithdrawDeviceFailureMessage();

} // namespace sonavix
