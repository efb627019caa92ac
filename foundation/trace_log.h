// The trace log: a UTF-16LE text file (line feeds only, a byte-order mark at
// the start of a new file) that the library writes for diagnosis when the
// registry value "qvwshttplogging" under the maker's "InternalTesting" key
// names it. One log serves the whole process; the sessions that use it count
// themselves in with LogOpen and out with LogRelease.
#pragma once

#include <cstdint>

#include "compat/win32.h"
#include "foundation/ws_string.h"

// One text file written as UTF-16LE, one WriteFile call per line.
class FileWriter {
 public:
  explicit FileWriter(const WsString& path);
  virtual ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Opens for appending bytes (append: keep an existing file, otherwise
  // replace it). A file that did not exist before gets the byte-order mark.
  virtual bool Open(bool append);
  virtual void Close();

  // text and a line feed; flushed at once when written.
  void WriteLine(const WsString& text);
  // 48 hyphens.
  void WriteSeparator();

 protected:
  WsString path_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

class WsLog : public FileWriter {
 public:
  explicit WsLog(const WsString& path);
  ~WsLog() override;

  // Writes the summary block first when the summary flag is set.
  void Close() override;
  // Opens the file, then writes the title and a separator (never timestamped).
  virtual void Start(const WsString& title, bool append);

  // "[MM/DD/YY HH:MM:SS]: " + text when timestamps are on, text otherwise.
  void WriteEntry(const WsString& text);
  // An entry whose text begins "**ERROR: ".
  void WriteError(const WsString& text);

  void SetTimestamps(bool on) { timestamps_ = on; }
  void SetEnabled(bool on) { enabled_ = on; }
  void SetSummary(bool on) { summary_ = on; }
  bool IsEnabled() const { return enabled_; }

 private:
  bool timestamps_ = false;
  bool enabled_ = false;
  bool summary_ = false;
};

// Counts a user in; creates the shared log first if there is none and the
// registry switch names a file.
void LogOpen();
// Counts a user out; the last one closes and deletes the shared log.
void LogRelease();
// Entries of the shared log; nothing happens while tracing is off.
void LogWrite(const WsString& text);
void LogError(const WsString& text);
// Whether entries are written: callers skip composing trace texts otherwise.
bool IsLogging();
