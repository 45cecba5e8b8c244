// The process-wide holder of the user's scan settings and the run-time state shared between
// the worker thread and the front end. Plain data: no window, no framework. It is passed by
// reference to whatever reads it, so tests may keep several in one process.
#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

class IRowLayout;

struct CollationEntry {
    std::string strName;
    int nCodePage = 0;
};

using CollationMap = std::map<std::int64_t, CollationEntry>;

// Recovery options chosen in the settings dialog.
enum : int { RECOVERY_COMPLETE_DATABASE = 1, RECOVERY_DOCUMENTS = 2 };
// Scan modes chosen in the settings dialog (0 until one is chosen).
enum : int { SCAN_MODE_STANDARD = 1, SCAN_MODE_ADVANCED = 2 };

struct CDravoltBrevantProjApp {
    // Shared between the worker and the user-interface thread.
    std::atomic<int> m_nRunning{0};
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<int> m_nOutputLine{0};
    std::atomic<bool> m_bListingMode{false};
    // The row decoder of the running listing, for the completion of compressed rows.
    std::atomic<const IRowLayout*> m_pCurrentRowDecoder{nullptr};

    // Scan settings.
    int m_nRecoveryOption = RECOVERY_COMPLETE_DATABASE;
    bool m_bIsSql2000 = false;
    bool m_bShowDeleted = false;
    bool m_bShowAdvancedDeleted = false;
    int m_nScanMode = 0;
    std::string m_strMdfPath;
    std::string m_strLogFolder; // always ends in a path separator once set
    bool m_bAutoCollation = true;
    std::int64_t m_nManualCollationId = 0;

    // Results of the open database and the activity log.
    std::ofstream m_logFile;
    std::string m_strLogFilePath;
    std::string m_strVersion;
    CollationMap m_collations;
    bool m_bCollationFound = false;
    std::int64_t m_nCollationId = -1;
    int m_nCollationCodePage = 1252;
    std::string m_strCollationName;

    // Single-byte code page used where no collation says otherwise.
    int m_nDefaultCodePage = 1252;

    bool StopRequested() const { return m_bStopRequested.load(std::memory_order_relaxed); }

    // Fills m_collations from "collation.txt" in the given folder. A missing or unreadable file
    // leaves the list empty; malformed lines are skipped. Returns the number of entries.
    std::size_t LoadCollationList(const std::string& strFolder);

    // The entry of a collation id, or null when the list does not know it.
    const CollationEntry* FindCollation(std::int64_t nId) const;
};

// Parses collation list text (one collation a line: name, tab, decimal id, tab, decimal code
// page) into the map. Later lines replace earlier ones with the same id.
void ParseCollationList(std::string_view text, CollationMap& out);
