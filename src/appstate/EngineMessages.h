// Notifications that the engine (page store, catalog, workflow) sends to the front end. Each
// message id keeps its number so logs and tests can name it; the front end implements the
// interface (the desktop adapter runs each call on the GUI thread and blocks until it is
// handled, the command line prints, tests record).
#pragma once

#include <cstdint>
#include <string_view>

enum EngineMessage : int {
    MSG_PROGRESS_RANGE = 1028,
    MSG_STATUS_TEXT = 1029,
    MSG_FATAL_ERROR = 1030,
    MSG_ERROR_TEXT = 1031,
    MSG_OBJECT_CLICKED = 1174,
    MSG_DOCUMENT_CLICKED = 1178,
    MSG_PROGRESS_POS = 1180,
    MSG_LOG_LINE = 1207,
    MSG_PREVIOUS_RECORDS = 1214,
    MSG_NEXT_RECORDS = 1215,
};

class IEngineNotify {
public:
    virtual ~IEngineNotify() = default;
    virtual void ProgressRange(std::uint64_t nHigh) = 0; // MSG_PROGRESS_RANGE, range 0 .. nHigh
    virtual void ProgressPos(std::uint64_t nPos) = 0;    // MSG_PROGRESS_POS
    virtual void StatusText(std::string_view text) = 0;  // MSG_STATUS_TEXT
    virtual void FatalError(std::string_view text) = 0;  // MSG_FATAL_ERROR
    virtual void ErrorText(std::string_view text) = 0;   // MSG_ERROR_TEXT
    virtual void LogLine(std::string_view text) = 0;     // MSG_LOG_LINE
};

// Discards everything: for callers that do not show progress.
class CNullNotify final : public IEngineNotify {
public:
    void ProgressRange(std::uint64_t) override {}
    void ProgressPos(std::uint64_t) override {}
    void StatusText(std::string_view) override {}
    void FatalError(std::string_view) override {}
    void ErrorText(std::string_view) override {}
    void LogLine(std::string_view) override {}
};
