#include "workflow/ActivityLog.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

std::string LogFileName(const std::tm* pLocal) {
    int nDay = 0, nMonth = 0, nYear = 0, nHour = -1, nMinute = -1, nSecond = -1;
    if (pLocal) {
        nDay = pLocal->tm_mday;
        nMonth = pLocal->tm_mon + 1;
        nYear = pLocal->tm_year + 1900;
        nHour = pLocal->tm_hour;
        nMinute = pLocal->tm_min;
        nSecond = pLocal->tm_sec;
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s%d-%d-%d-%d-%d-%d.txt", kLogFilePrefix, nDay, nMonth, nYear,
                  nHour, nMinute, nSecond);
    return buf;
}

namespace {

void AppendUnit(std::string& out, std::uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>((u >> 8) & 0xFF);
}

void AppendCodePoint16(std::string& out, std::uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        AppendUnit(out, 0xD800 + (cp >> 10));
        AppendUnit(out, 0xDC00 + (cp & 0x3FF));
    } else {
        AppendUnit(out, cp);
    }
}

} // namespace

std::string Utf16LeBytes(const std::string& s) {
    std::string out;
    out.reserve(s.size() * 2);
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t nMore = 0;
        std::uint32_t cp = c;
        if (c >= 0xF0 && c <= 0xF4) {
            nMore = 3;
            cp = c & 0x07;
        } else if (c >= 0xE0) {
            nMore = c <= 0xEF ? 2 : 0;
            cp = c & 0x0F;
        } else if (c >= 0xC2 && c <= 0xDF) {
            nMore = 1;
            cp = c & 0x1F;
        } else if (c >= 0x80) {
            AppendUnit(out, 0xFFFD);
            ++i;
            continue;
        }
        if (c >= 0xF5 && nMore == 0) {
            AppendUnit(out, 0xFFFD);
            ++i;
            continue;
        }
        bool bGood = true;
        for (std::size_t k = 1; bGood && k <= nMore; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                bGood = false;
            else
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        const bool bOverlong = (nMore == 2 && cp < 0x800) || (nMore == 3 && cp < 0x10000);
        if (!bGood || bOverlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            AppendUnit(out, 0xFFFD);
            ++i;
            continue;
        }
        AppendCodePoint16(out, cp);
        i += nMore + 1;
    }
    return out;
}

std::string LogSeparator() {
    return "\r\n" + std::string(80, '*') + "\r\n";
}

void CActivityLog::Start() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    const bool bHave = now != static_cast<std::time_t>(-1) && ::localtime_r(&now, &local);
    Start(bHave ? &local : nullptr);
}

void CActivityLog::Start(const std::tm* pLocal) {
    if (m_app.m_logFile.is_open()) m_app.m_logFile.close();
    m_app.m_logFile.clear();
    if (!m_app.m_strLogFolder.empty()) {
        m_app.m_strLogFilePath = m_app.m_strLogFolder + LogFileName(pLocal);
        std::error_code ec;
        const bool bExists = std::filesystem::exists(m_app.m_strLogFilePath, ec);
        m_app.m_logFile.open(m_app.m_strLogFilePath,
                             std::ios::binary | std::ios::out |
                                 (bExists ? std::ios::app : std::ios::trunc));
        if (!m_app.m_logFile.is_open()) {
            FileFailed();
        } else {
            if (!bExists) m_app.m_logFile.write("\xFF\xFE", 2);
            const std::string sep = Utf16LeBytes(LogSeparator());
            m_app.m_logFile.write(sep.data(), static_cast<std::streamsize>(sep.size()));
            m_app.m_logFile.flush();
            if (!m_app.m_logFile) FileFailed();
        }
    }
    WriteLine(m_app.m_strMdfPath + " File is selected for recovery....");
}

void CActivityLog::FileFailed() {
    // Told once per log: the file is closed and the lines go to the output pane only.
    m_app.m_logFile.close();
    m_boxes.Show("The log file " + m_app.m_strLogFilePath +
                     " cannot be written; the recovery goes on without a log file.",
                 BoxIcon::Stop, BoxButtons::Ok);
}

void CActivityLog::WriteToFile(const std::string& strText) {
    if (!m_app.m_logFile.is_open()) return;
    const std::string bytes = Utf16LeBytes(strText + "\r\n");
    m_app.m_logFile.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    m_app.m_logFile.flush();
    if (!m_app.m_logFile) FileFailed();
}

void CActivityLog::WriteLine(const std::string& strText) {
    m_output.InsertLine(m_app.m_nOutputLine.load(), strText);
    ++m_app.m_nOutputLine;
    WriteToFile(strText);
}

void CActivityLog::RowLine(const std::string& strText, bool bToFile) {
    m_caption.SetText(strText);
    m_output.SetLineText(m_app.m_nOutputLine.load() - 1, strText);
    if (bToFile) WriteToFile(strText);
}

void CActivityLog::CaptionLine(const std::string& strText) {
    m_caption.SetText(strText);
    WriteLine(strText);
}
