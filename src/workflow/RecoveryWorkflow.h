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

inline constexpr const char* kTextBusy = "Please wait for the running process.";
inline constexpr const char* kTextStopQuestion = "Are you sure to stop the running process?";
inline constexpr const char* kTextAborted = "Scanning process aborted.";
inline constexpr const char* kTextCompleted = "Scanning completed for selected mdf file.";

class CRecoveryWorkflow;

// The SharePoint stages of a scan: collecting sites, libraries and documents through the table
// listing and building the two document trees. Each call gets the catalog with the named table
// resolved (or, when the database has no such table, with the resolved flag clear). The
// default does nothing.
class ISharePointStages {
public:
    virtual ~ISharePointStages() = default;
    // Empties the site, library and document lists and the document tree's item data.
    virtual void Reset() {}
    virtual void CollectSites(CRecoveryWorkflow&, CDbCatalog&, const std::string& /*table*/) {}
    // Adds the "SharePointACTUAL" root and one node per site.
    virtual void BuildSiteTree(CRecoveryWorkflow&) {}
    virtual void CollectLibraries(CRecoveryWorkflow&, CDbCatalog&) {}
    virtual void CollectDocuments(CRecoveryWorkflow&, CDbCatalog&) {}
    // Builds the "SharePointData" tree.
    virtual void BuildDocumentTree(CRecoveryWorkflow&) {}
    // The document list worker's work for a clicked document tree node.
    virtual void ShowDocument(CRecoveryWorkflow&, TreeItem) {}
};

// The record browser: what a click on an object shows, and the screen pages before and after
// the one shown. Runs on the worker the click or the button started. The default does nothing.
class IRecordBrowser {
public:
    virtual ~IRecordBrowser() = default;
    // A table (already expanded when this was its first click) or a module or script node.
    virtual void ShowObject(CRecoveryWorkflow&, const ClickTarget&, TreeItem) {}
    virtual void PreviousPage(CRecoveryWorkflow&) {}
    virtual void NextPage(CRecoveryWorkflow&) {}
};

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

    // The extension points of the document view and the record browser (kept by reference).
    void SetSharePointStages(ISharePointStages& s) { m_pSharePoint = &s; }
    void SetRecordBrowser(IRecordBrowser& b) { m_pBrowser = &b; }
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

    // For the stages run on a worker.
    CDravoltBrevantProjApp& App() { return m_app; }
    const WorkflowPorts& Ports() const { return m_ports; }
    CActivityLog& Log() { return m_log; }
    CObjectTree& Tree() { return m_tree; }
    CRecoverySession& Session() { return m_session; }
    IEngineNotify& Sender() { return *m_pSend; }
    std::vector<ValueTriple>& BulkTriples() { return m_bulkTriples; }
    CModuleTexts& Modules() { return m_modules; }
    bool AdvancedMode() const { return m_bAdvancedMode; }
    const std::string& DatabasePath() const { return m_strDatabasePath; }
    // The number of columns the record list shows for the table listed last; the database
    // reset deletes them.
    void SetListedColumns(int n) { m_nListedColumns = n; }

private:
    // Starts fn on a new worker after joining the previous one; m_nRunning must be set.
    void StartWorker(std::function<void()> fn);
    bool RefuseWhenBusy(ITreeView* pTree);
    void ResetDatabase();
    void TearDownSession();
    int ScanWorker();
    void ObjectViewWorker(TreeItem item);
    void EndWorker(int nResult);

    CDravoltBrevantProjApp& m_app;
    WorkflowPorts m_ports;
    const IFileSource& m_files;
    CActivityLog m_log;
    CObjectTree m_tree;
    ISharePointStages m_noSharePoint;
    IRecordBrowser m_noBrowser;
    ISharePointStages* m_pSharePoint = &m_noSharePoint;
    IRecordBrowser* m_pBrowser = &m_noBrowser;
    IEngineNotify* m_pSend = this;

    // Used by the running worker, or by the user-interface thread while none runs.
    CRecoverySession m_session;
    std::vector<ValueTriple> m_bulkTriples;
    CModuleTexts m_modules;
    std::vector<std::string> m_ndfPaths;
    std::string m_strDatabasePath;
    bool m_bAdvancedMode = false;
    int m_nListedColumns = 0;
    bool m_bSql2000Setting = false;
    bool m_bTearDownPending = false;
    TreeItem m_runningItem = kTreeRoot;
    ITreeView* m_pRunningTree = nullptr;

    std::mutex m_workerMutex; // guards m_worker against Wait from two threads
    std::thread m_worker;
    std::atomic<bool> m_bWorkerActive{false};
    std::atomic<int> m_nLastResult{0};
};
