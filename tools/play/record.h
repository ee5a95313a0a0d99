#pragma once
// sonavix-play --record: records from the default input until the speech has ended (or for a
// fixed length) and writes the recording as a 16-bit mono WAV file.

// args: what follows --record on the command line. Returns the exit status.
int RunRecord(int argc, char** argv);
