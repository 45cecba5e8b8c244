// quarvel scan: the whole scan as the desktop application runs it, with the activity log;
// the output pane's lines are printed as they are written, then the tree the scan built.
#include <cstdio>
#include <string>

#include "cli/CliNotify.h"
#include "cli/Options.h"
#include "workflow/MemoryPorts.h"
#include "workflow/RecoveryWorkflow.h"

namespace {

// Output lines to stdout as they are written.
class CPrintedOutput final : public CMemoryOutputPane {
public:
    explicit CPrintedOutput(bool bPrint) : m_bPrint(bPrint) {}
    void InsertLine(int nIndex, const std::string& strText) override {
        CMemoryOutputPane::InsertLine(nIndex, strText);
        if (!m_bPrint) return;
        // A line whose text ends with its own line end shows an empty line after it.
        std::string s = strText;
        const bool bOwnEnd = s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0;
        if (bOwnEnd) s.resize(s.size() - 2);
        std::printf("%s\n%s", s.c_str(), bOwnEnd ? "\n" : "");
        std::fflush(stdout);
    }

private:
    bool m_bPrint;
};

// The progress bar on stderr (when it is a terminal and not --quiet).
class CPrintedProgress final : public CMemoryProgressBar {
public:
    explicit CPrintedProgress(CCliNotify& bar) : m_bar(bar) {}
    void SetRange(std::uint64_t nLow, std::uint64_t nHigh) override {
        CMemoryProgressBar::SetRange(nLow, nHigh);
        m_bar.ProgressRange(nHigh);
    }
    void SetPos(std::uint64_t nPos) override {
        CMemoryProgressBar::SetPos(nPos);
        m_bar.ProgressPos(nPos);
    }

private:
    CCliNotify& m_bar;
};

// Message boxes on stderr.
class CPrintedBoxes final : public CMemoryMessageBox {
public:
    CPrintedBoxes(CCliNotify& bar, bool bPrint) : m_bar(bar), m_bPrint(bPrint) {}
    BoxAnswer Show(const std::string& strText, BoxIcon icon, BoxButtons buttons) override {
        if (m_bPrint || icon == BoxIcon::Stop) m_bar.ErrorText(strText);
        return CMemoryMessageBox::Show(strText, icon, buttons);
    }

private:
    CCliNotify& m_bar;
    bool m_bPrint;
};

} // namespace

int ScanAndPrint(const CliOptions& opt, bool bTreeOnly, bool bDocuments) {
    CDravoltBrevantProjApp app;
    std::string strError;
    if (!PrepareApp(opt, app, strError)) {
        std::fprintf(stderr, "quarvel: %s\n", strError.c_str());
        return EXIT_BAD_ARGUMENTS;
    }
    ScanSettings s;
    s.strMdfPath = opt.positional[0];
    s.nRecoveryOption = bDocuments ? RECOVERY_DOCUMENTS : RECOVERY_COMPLETE_DATABASE;
    s.nScanMode = opt.strMode == "advanced" ? SCAN_MODE_ADVANCED : SCAN_MODE_STANDARD;
    s.bSql2000 = app.m_bIsSql2000;
    s.bShowDeleted = app.m_bShowDeleted;
    s.bShowAdvancedDeleted = app.m_bShowAdvancedDeleted;
    s.bAutoCollation = app.m_bAutoCollation;
    s.nManualCollationId = app.m_nManualCollationId;
    s.ndfPaths = opt.ndfPaths;
    if (!bTreeOnly) {
        s.strLogFolder = opt.strLogDir.empty() ? std::string("./") : opt.strLogDir;
        if (s.strLogFolder.back() != '/') s.strLogFolder += '/';
    }

    CCliNotify bar(opt.bQuiet);
    CMemoryPorts ports;
    CPrintedOutput output(!bTreeOnly);
    CPrintedProgress progress(bar);
    CPrintedBoxes boxes(bar, !bTreeOnly);
    const WorkflowPorts p{ports.objectTree, ports.documentTree,
                          ports.records,    ports.textView,
                          ports.pageLabel,  ports.pageButtons,
                          output,           ports.caption,
                          progress,         boxes,
                          ports.window};
    int nResult = 0;
    {
        CRecoveryWorkflow wf(app, p);
        wf.Open(s);
        wf.Wait();
        nResult = wf.LastResult();
    }
    bar.ProgressRange(0);
    const CMemoryTree& tree =
        s.nRecoveryOption == RECOVERY_DOCUMENTS ? ports.documentTree : ports.objectTree;
    if (!bTreeOnly) std::printf("\n");
    if (opt.strFormat == "json")
        std::printf("%s\n", tree.Json().c_str());
    else
        std::fputs(tree.Dump().c_str(), stdout);
    if (!bTreeOnly && !app.m_strLogFilePath.empty() && app.m_logFile.is_open())
        std::fprintf(stderr, "Log file path : %s\n", app.m_strLogFilePath.c_str());
    return nResult == 1 ? EXIT_DONE : EXIT_UNUSABLE;
}

int RunScan(const CliOptions& opt) {
    return ScanAndPrint(opt, false, opt.strOption == "documents");
}
