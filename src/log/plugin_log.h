// PluginLog: the plug-in's one daily log, 助手日志\YYYY-MM-DD.log beside the
// terminal's executable. Every subsystem writes through PluginLog::Instance().
//
// The file is chosen when the log is opened (first write of the process):
// a run that crosses midnight keeps writing to the day it started in. Lines
// are written and handed to the system at once. Any thread may write; the
// log's lock is the innermost lock of the plug-in (nothing is taken under it).
// A log that could not be opened drops every line silently.
#pragma once
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "common/format.h"

namespace pintle {

class PluginLog {
public:
    // The plug-in log, created and opened on first use (once, even when two
    // threads get here at the same moment).
    static PluginLog& Instance();

    void Write(std::wstring_view text);
    void WriteFormatted(std::wstring_view format, std::initializer_list<FormatArg> args);

    std::wstring Path() const;
    bool IsOpen() const;

    // Closes the file and opens the day's file again, as at creation. Tests
    // use it to start from a clean slate after moving the clock or the
    // terminal directory.
    void Reopen();

    PluginLog();
    ~PluginLog();
    PluginLog(const PluginLog&) = delete;
    PluginLog& operator=(const PluginLog&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pintle
