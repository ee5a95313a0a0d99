// A throw-away program directory for the window tests, and the log of playback requests.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

QApplication& TestApp();

class ProgramDir {
  public:
    ProgramDir();
    // Path with its closing "/", as the application hands it to the window.
    QString Path() const { return m_dir.path() + QStringLiteral("/"); }
    // Writes bytes to a file relative to the directory (parents are made).
    void Write(const QString& relative, const QByteArray& bytes) const;
    void Remove(const QString& relative) const;

  private:
    QTemporaryDir m_dir;
};

// A small rich-text document whose text is `text` (ASCII).
QByteArray RtfWithText(const char* text);

// Every path given to the playback worker since the last Clear, in order.
struct PlayRequests {
    static void Install();
    static void Clear();
    static std::vector<std::string> Take();
    // The speeds of the same requests, taken with them.
    static std::vector<double> TakeSpeeds();
};
