#pragma once
// The application object: finds the program directory, makes the symbol font of the data
// directory available, runs the lesson window and withdraws the font again.

#include <QString>

class CSonavixApp {
  public:
    // appDir replaces the executable's directory when given (tests run the sequence on a
    // program directory of their own); it must end in "/".
    explicit CSonavixApp(QString appDir = {});

    // The whole start-up and shutdown sequence; returns once the window has closed. Always false:
    // no event loop of the application's own follows.
    bool InitInstance();

    // The directory of the running executable, with its closing "/".
    QString m_strAppDir;

  private:
    QString m_strAppDirOverride;
};

// Ends the process after the window has closed. Detached playback workers may still hold the
// stream reader and the sound device, so no destructors run under them: output is flushed and
// the process exits at once.
[[noreturn]] void EndProcess();

// The text shown once when the symbol font cannot be added.
extern const char* const kFontFailureText;
