// Engine notifications for the command line: a progress bar and status lines on stderr when
// it is a terminal (nothing when piped or --quiet); the fatal text is kept for the exit.
#pragma once

#include <string>

#include "appstate/EngineMessages.h"

class CCliNotify final : public IEngineNotify {
public:
    explicit CCliNotify(bool bQuiet);
    ~CCliNotify() override;
    void ProgressRange(std::uint64_t nHigh) override;
    void ProgressPos(std::uint64_t nPos) override;
    void StatusText(std::string_view text) override;
    void FatalError(std::string_view text) override;
    void ErrorText(std::string_view text) override;
    void LogLine(std::string_view text) override;

    const std::string& Fatal() const { return m_strFatal; }

private:
    void ClearBar();
    bool m_bShow;
    bool m_bBarShown = false;
    std::uint64_t m_nHigh = 0;
    std::string m_strStatus;
    std::string m_strFatal;
};
