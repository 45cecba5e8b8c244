#include "cli/CliNotify.h"

#include <cstdio>
#include <unistd.h>

CCliNotify::CCliNotify(bool bQuiet) : m_bShow(!bQuiet && ::isatty(STDERR_FILENO)) {}

CCliNotify::~CCliNotify() {
    ClearBar();
}

void CCliNotify::ClearBar() {
    if (!m_bBarShown) return;
    std::fputs("\r\033[K", stderr);
    m_bBarShown = false;
}

void CCliNotify::ProgressRange(std::uint64_t nHigh) {
    m_nHigh = nHigh;
}

void CCliNotify::ProgressPos(std::uint64_t nPos) {
    if (!m_bShow || m_nHigh == 0) return;
    const int nPercent = static_cast<int>(std::min<std::uint64_t>(nPos, m_nHigh) * 100 / m_nHigh);
    constexpr int kWidth = 30;
    std::string bar(static_cast<std::size_t>(nPercent * kWidth / 100), '#');
    bar.resize(kWidth, '.');
    std::fprintf(stderr, "\r[%s] %3d%% %.60s\033[K", bar.c_str(), nPercent, m_strStatus.c_str());
    std::fflush(stderr);
    m_bBarShown = true;
}

void CCliNotify::StatusText(std::string_view text) {
    m_strStatus.assign(text);
}

void CCliNotify::FatalError(std::string_view text) {
    if (m_strFatal.empty()) m_strFatal.assign(text);
}

void CCliNotify::ErrorText(std::string_view text) {
    ClearBar();
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

void CCliNotify::LogLine(std::string_view text) {
    if (!m_bShow) return;
    ClearBar();
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}
