// The recovery workflow of one main window: the Open command, the database reset, the scan
// worker, the busy and stop protocol, the handling of the frame messages and the closing of the
// window. Work on a database runs on one worker thread at a time, owned here and always joined:
// the busy state lasts until the worker has ended, and a new worker starts only after the
// previous one has been joined.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"
#include "catalog/CDbCatalog.h"
#include "rowdecode/ModuleText.h"
#include "workflow/ActivityLog.h"
#include "workflow/FrameMessages.h"
#include "workflow/ObjectTree.h"
#include "workflow/Ports.h"
#include "workflow/RecordBrowser.h"
#include "workflow/SharePointView.h"

inline constexpr const char* kTextBusy = "Please wait for the running process.";
inline constexpr const char* kTextStopQuestion = "Are you sure to stop the running process?";
inline constexpr const char* kTextAborted = "Scanning process aborted.";
inline constexpr const char* kTextCompleted = "Scanning completed for selected mdf file.";

// What the settings dialog stores for a scan.
struct ScanSettings {
    int nRecoveryOption = RECOVERY_COMPLETE_DATABASE;
    int nScanMode = SCAN_MODE_STANDARD;
    std::string strMdfPath;
    bool bSql2000 = false;
    bool bShowDeleted = false;
    bool bShowAdvancedDeleted = false;
    bool bAutoCollation = true;
    std::int64_t nManualCollationId = 0;
    // Ends in a path separator; empty: no log file, the output pane only.
    std::string strLogFolder;
    // Secondary files named by the user; the others are looked for beside the primary file.
    std::vector<std::string> ndfPaths;
};

enum class CloseResult { Refused, Cancelled, Close };

class CRecoveryWorkflow final : public IFrameMessages {
public:
    CRecoveryWorkflow(CDravoltBrevantProjApp& app, const WorkflowPorts& ports,
                      const IFileSource& files = CPosixFileSource::Instance());
    ~CRecoveryWorkflow() override;
    CRecoveryWorkflow(const CRecoveryWorkflow&) = delete;
    CRecoveryWorkflow& operator=(const CRecoveryWorkflow&) = delete;

    // Where workers send the frame messages; a front end that handles them on another thread
    // passes a forwarder to this object's handlers. Default: this object, called directly.
    void SetMessageSender(IEngineNotify& sender) { m_pSend = &sender; }

    // The Open command once the settings dialog was accepted. False when a worker is running
    // (the busy box was shown) and nothing changed.
    bool Open(const ScanSettings& settings);
    // The Stop command: asks, and on Yes asks every running loop to end.
    void Stop();
    // Closing the main window: refused while busy, else asked; on Close the database is torn
    // down and the log path shown; ending the process is the caller's business.
    CloseResult Close();
    // Waits until the running worker, if any, has ended.
    void Wait();
    // Whether a worker runs or has not been joined yet.
    bool Busy() const;
    // The result of the last worker that ended: 1 completed, 0 ended early.
    int LastResult() const { return m_nLastResult.load(); }

    // Frame messages.
    void ProgressRange(std::uint64_t nHigh) override;
    void ProgressPos(std::uint64_t nPos) override;
    void StatusText(std::string_view text) override;
    void FatalError(std::string_view text) override;
    void ErrorText(std::string_view text) override;
    void LogLine(std::string_view text) override;
    void ObjectClicked(TreeItem item) override;
    void DocumentClicked(TreeItem item) override;
    void PreviousRecords() override;
    void NextRecords() override;

    // What the workers built; read them while no worker runs.
    CObjectTree& Tree() { return m_tree; }
    CRecordBrowser& Browser() { return m_browser; }
    CSharePointView& SharePoint() { return m_sharePoint; }
    CRecoverySession& Session() { return m_session; }
    const std::string& DatabasePath() const { return m_strDatabasePath; }

private:
    // Starts fn on a new worker after joining the previous one; m_nRunning must be set.
    void StartWorker(std::function<void()> fn);
    bool RefuseWhenBusy(ITreeView* pTree);
    void ResetDatabase();
    void TearDownSession();
    int ScanWorker();
    // What both tree clicks do before their worker starts.
    void BeginClick(ITreeView& tree, TreeItem item);
    void EndWorker(int nResult);

    CDravoltBrevantProjApp& m_app;
    WorkflowPorts m_ports;
    const IFileSource& m_files;
    CActivityLog m_log;
    CObjectTree m_tree;
    IEngineNotify* m_pSend = this;

    // Used by the running worker, or by the user-interface thread while none runs.
    CRecoverySession m_session;
    CRecordBrowser m_browser;
    CSharePointView m_sharePoint;
    std::vector<ValueTriple> m_bulkTriples;
    CModuleTexts m_modules;
    std::vector<std::string> m_ndfPaths;
    std::string m_strDatabasePath;
    bool m_bAdvancedMode = false;
    bool m_bSql2000Setting = false;
    bool m_bTearDownPending = false;
    TreeItem m_runningItem = kTreeRoot;
    ITreeView* m_pRunningTree = nullptr;

    std::mutex m_workerMutex; // guards m_worker against Wait from two threads
    std::thread m_worker;
    std::atomic<bool> m_bWorkerActive{false};
    std::atomic<int> m_nLastResult{0};
};
