// The activity log: every stage of a scan and of browsing writes its lines to the output pane
// and, at the same time, to a log file of its Open command. The file is UTF-16 little-endian
// with a byte-order mark; each line ends with CR LF and is written to disk at once.
#pragma once

#include <ctime>
#include <string>

#include "appstate/CDravoltBrevantProjApp.h"
#include "workflow/Ports.h"

inline constexpr const char* kLogFilePrefix = "DravoltSharepointDatabaseRec_log_";

// The log file name for a local time ("…_log_7-3-2014-9-5-30.txt": day, month, year, hour,
// minute, second, no leading zeros). Without a time: 0-0-0--1--1--1.
std::string LogFileName(const std::tm* pLocal);

// UTF-8 text as UTF-16LE bytes; a malformed sequence gives U+FFFD.
std::string Utf16LeBytes(const std::string& strUtf8);

// CR LF, 80 asterisks, CR LF: what each Open writes before its first line.
std::string LogSeparator();

class CActivityLog {
public:
    CActivityLog(CDravoltBrevantProjApp& app, IOutputPane& output, ICaptionBar& caption,
                 IMessageBox& boxes)
        : m_app(app), m_output(output), m_caption(caption), m_boxes(boxes) {}

    // Starts the log of an Open command at the given local time: closes the previous file,
    // creates the new one (with its byte-order mark) or, when a file of that name exists,
    // appends to it; writes the separator and the line naming the database. With no log folder
    // set the lines go to the output pane only. When the file cannot be created or written the
    // user is told once and the work goes on without a file.
    void Start(const std::tm* pLocal);
    // Starts the log at the current local time.
    void Start();

    // A new output line, written to the log file as well.
    void WriteLine(const std::string& strText);
    // The in-place row line: the caption and the last output line become the text; with
    // bToFile it is also written to the log file as a line of its own.
    void RowLine(const std::string& strText, bool bToFile);
    // A line that is also the caption.
    void CaptionLine(const std::string& strText);

    // Whether a log file is being written.
    bool HasFile() const { return m_app.m_logFile.is_open(); }

private:
    void WriteToFile(const std::string& strText);
    void FileFailed();

    CDravoltBrevantProjApp& m_app;
    IOutputPane& m_output;
    ICaptionBar& m_caption;
    IMessageBox& m_boxes;
};
