#include "workflow/RecoveryWorkflow.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

CRecoveryWorkflow::CRecoveryWorkflow(CDravoltBrevantProjApp& app, const WorkflowPorts& ports,
                                     const IFileSource& files)
    : m_app(app), m_ports(ports), m_files(files),
      m_log(app, ports.output, ports.caption, ports.boxes),
      m_tree(ports.objectTree, ports.progress, m_log), m_browser(app, ports, m_log, m_session),
      m_sharePoint(app, ports, m_log) {}

CRecoveryWorkflow::~CRecoveryWorkflow() {
    // A window going away with a worker still running: ask the loops to end and wait for it.
    if (Busy()) m_app.m_bStopRequested = true;
    Wait();
    m_session.Close();
}

bool CRecoveryWorkflow::Busy() const {
    return m_app.m_nRunning.load() != 0 || m_bWorkerActive.load();
}

void CRecoveryWorkflow::Wait() {
    std::lock_guard<std::mutex> lock(m_workerMutex);
    if (m_worker.joinable()) m_worker.join();
}

void CRecoveryWorkflow::StartWorker(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(m_workerMutex);
    // The previous worker has ended its work (the busy check passed); joining it here keeps two
    // workers from ever sharing the database.
    if (m_worker.joinable()) m_worker.join();
    // A stop request belongs to the worker it was made for; left over, it would cut the next
    // worker's first loop short.
    m_app.m_bStopRequested = false;
    m_bWorkerActive = true;
    m_worker = std::thread([this, fn = std::move(fn)] {
        fn();
        m_bWorkerActive = false;
    });
}

void CRecoveryWorkflow::EndWorker(int nResult) {
    m_nLastResult = nResult;
    m_app.m_nRunning = 0;
}

bool CRecoveryWorkflow::RefuseWhenBusy(ITreeView* pTree) {
    if (!Busy()) return false;
    // The tree's selection goes back to the item whose work is running.
    if (pTree && pTree == m_pRunningTree) pTree->Select(m_runningItem);
    m_ports.boxes.Show(kTextBusy, BoxIcon::Information, BoxButtons::Ok);
    return true;
}

// ---- Open, reset, stop, close

bool CRecoveryWorkflow::Open(const ScanSettings& s) {
    if (RefuseWhenBusy(nullptr)) return false;
    m_app.m_nRecoveryOption = s.nRecoveryOption;
    m_app.m_nScanMode = s.nScanMode;
    m_app.m_strMdfPath = s.strMdfPath;
    m_bSql2000Setting = s.bSql2000;
    m_app.m_bShowDeleted = s.bShowDeleted;
    m_app.m_bShowAdvancedDeleted = s.bShowAdvancedDeleted;
    m_app.m_bAutoCollation = s.bAutoCollation;
    m_app.m_nManualCollationId = s.nManualCollationId;
    m_app.m_strLogFolder = s.strLogFolder;
    m_ndfPaths = s.ndfPaths;

    m_app.m_nRunning = 1;
    m_strDatabasePath = m_app.m_strMdfPath;
    m_tree.Clear();
    m_ports.textView.SetText("");
    m_ports.pageLabel.SetText("");
    m_ports.records.DeleteAllItems();
    m_ports.pageButtons.Enable(PageButton::Previous, false);
    m_ports.pageButtons.Enable(PageButton::Next, false);
    m_ports.caption.SetText(m_strDatabasePath);
    m_ports.progress.Show(true);
    m_log.Start();
    ResetDatabase();
    m_pRunningTree = nullptr;
    m_runningItem = kTreeRoot;
    StartWorker([this] { m_nLastResult = ScanWorker(); });
    return true;
}

void CRecoveryWorkflow::TearDownSession() {
    // The listing's decoder reads the session's files: it goes first.
    m_browser.Reset();
    m_session.Close();
}

void CRecoveryWorkflow::ResetDatabase() {
    m_bulkTriples.clear();
    m_modules.Clear();
    m_sharePoint.Reset();
    TearDownSession();
    m_browser.ClearRecordArea();
    m_tree.Clear();
    m_ports.documentTree.DeleteAllItems();
}

void CRecoveryWorkflow::Stop() {
    if (!Busy()) return;
    const BoxAnswer a = m_ports.boxes.Show(kTextStopQuestion, BoxIcon::Question, BoxButtons::YesNo);
    // The running state is kept until the worker has ended, so nothing starts beside it.
    if (a == BoxAnswer::Yes && Busy()) m_app.m_bStopRequested = true;
}

CloseResult CRecoveryWorkflow::Close() {
    if (Busy()) {
        m_ports.boxes.Show("Please stop the running process to close the application.",
                           BoxIcon::Information, BoxButtons::Ok);
        return CloseResult::Refused;
    }
    if (m_ports.boxes.Show("Do you want to close the application?", BoxIcon::Question,
                           BoxButtons::YesNo) != BoxAnswer::Yes)
        return CloseResult::Cancelled;
    Wait();
    TearDownSession();
    std::error_code ec;
    if (!m_app.m_strLogFilePath.empty() && std::filesystem::exists(m_app.m_strLogFilePath, ec))
        m_ports.boxes.Show("Log file path : " + m_app.m_strLogFilePath, BoxIcon::Information,
                           BoxButtons::Ok);
    return CloseResult::Close;
}

// ---- the scan worker

int CRecoveryWorkflow::ScanWorker() {
    const WorkflowPorts& p = m_ports;
    m_app.m_bIsSql2000 = m_bSql2000Setting;
    ResetDatabase();
    m_modules.Clear();

    if (m_app.m_nRecoveryOption == RECOVERY_DOCUMENTS) {
        p.window.Maximise();
        p.records.Show(true);
        p.pageLabel.Show(false);
        p.pageButtons.Show(PageButton::Previous, false);
        p.pageButtons.Show(PageButton::Next, false);
        p.textView.Show(false);
        p.documentTree.PrepareForDocuments();
        p.objectTree.Show(false);
        p.documentTree.Show(true);
    } else {
        p.window.Restore();
        p.records.Show(false);
        p.pageLabel.Show(false);
        p.pageButtons.Show(PageButton::Previous, false);
        p.pageButtons.Show(PageButton::Next, false);
        p.textView.Show(true);
        p.objectTree.Show(true);
        p.documentTree.Show(false);
    }

    const std::string strPath = m_strDatabasePath;
    std::string strLogForm;
    for (char c : strPath) {
        strLogForm += c;
        if (c == '\\') strLogForm += '\\';
    }
    if (!strPath.empty()) m_log.WriteLine("Browse File Path:\t" + strLogForm + "\r\n");

    m_bAdvancedMode = m_app.m_nScanMode == SCAN_MODE_ADVANCED;
    m_browser.SetAdvancedMode(m_bAdvancedMode);
    m_log.WriteLine(m_bAdvancedMode ? "Advanced mode is selected for file recovery."
                                    : "Standard mode is selected for file recovery.");
    m_log.WriteLine("Scanning of file starts...");

    // The file is opened by its own path: the doubled separators are only the log's form.
    m_bTearDownPending = false;
    const bool bValid = OpenSession(strPath, m_session, m_app, *m_pSend, m_files, m_ndfPaths);
    if (m_bTearDownPending) {
        TearDownSession();
        m_bTearDownPending = false;
    }
    if (!bValid || !m_session.m_pCatalog) {
        TearDownSession();
        m_tree.Clear();
        EndWorker(0);
        p.progress.Show(false);
        m_log.WriteLine(kTextAborted);
        p.boxes.Show(kTextAborted, BoxIcon::Information, BoxButtons::Ok);
        return 0;
    }
    CDbCatalog& catalog = *m_session.m_pCatalog;
    if (catalog.m_objects.empty()) {
        m_log.WriteLine("Either it is not valid mdf file or highly corrupted, select another file "
                        "to recover.");
        m_tree.Clear();
        EndWorker(0);
        p.progress.Show(false);
        return 0;
    }

    if (m_app.m_strVersion.empty()) {
        m_app.m_strVersion = "Database version: Unknown SQL Version";
        m_log.WriteLine(m_app.m_strVersion);
    } else {
        m_log.WriteLine("Database version: " + m_app.m_strVersion);
    }

    const std::string& strName = m_session.m_pReader->DatabaseName();
    m_tree.BuildFolders(strName.empty() ? std::string(kDefaultDatabaseName) : strName);

    // The SharePoint stages. Each listing ends by clearing the stop request, so a stop ends
    // the stage that runs and the scan goes on with the next one.
    const std::vector<ValueTriple> kNoTriples;
    std::string strSites = "Webs";
    catalog.ResolveObject(strSites, "U ", kNoTriples);
    if (!catalog.m_bResolved) {
        strSites = "AllWebs";
        catalog.ResolveObject(strSites, "U ", kNoTriples);
    }
    m_sharePoint.CollectSites(catalog, m_bAdvancedMode);
    m_app.m_bStopRequested = false;
    m_sharePoint.BuildSiteTree();

    catalog.ResolveObject("AllLists", "U ", kNoTriples);
    m_sharePoint.CollectLibraries(catalog, m_bAdvancedMode);
    m_app.m_bStopRequested = false;
    m_sharePoint.AttachLibraries();

    if (m_app.m_strCollationName.empty()) m_app.m_strCollationName = "Unknown Collation";
    m_log.WriteLine("Collation Type: " + m_app.m_strCollationName);

    catalog.ResolveObject("AllDocs", "U ", kNoTriples);
    m_sharePoint.CollectDocuments(catalog, m_bAdvancedMode);
    m_app.m_bStopRequested = false;
    m_sharePoint.BuildDocumentTree();

    if (!m_tree.Create(catalog)) {
        m_tree.Clear();
        p.progress.Show(false);
        EndWorker(0);
        const char* kText = "Whether it is not valid mdf file or highly corrupted, select another "
                            "file to recover.";
        m_log.WriteLine(kText);
        p.boxes.Show(kText, BoxIcon::Information, BoxButtons::Ok);
        return 0;
    }
    m_tree.SortChildren(m_tree.UserTables());
    p.objectTree.Redraw();

    // The 2000 layout's value table is read with its own columns; the tree's last resolved
    // table would leave that table's instead.
    if (catalog.IsSql2000()) catalog.ResolveObject("syscomments", "S ", kNoTriples);
    CollectValueTriples(catalog, m_bulkTriples, *m_pSend);
    p.objectTree.Redraw();

    p.progress.Show(false);
    EndWorker(1);
    p.caption.SetText("Scanning completed for selected mdf file");
    m_pSend->LogLine(kTextCompleted);
    p.boxes.Show("Scanning process completed.", BoxIcon::Information, BoxButtons::Ok);
    return 1;
}

// ---- clicks and page buttons

void CRecoveryWorkflow::BeginClick(ITreeView& tree, TreeItem item) {
    m_app.m_nRunning = 1;
    m_pRunningTree = &tree;
    m_runningItem = item;
    m_ports.records.DeleteAllItems();
    m_ports.textView.SetText("");
    m_ports.pageLabel.SetText("");
    const std::string strText = tree.ItemText(item);
    m_ports.caption.SetText(strText);
    m_log.WriteLine("Please wait while " + strText + " folder is scanning.");
    m_ports.progress.Show(true);
    m_ports.progress.SetPos(0);
}

void CRecoveryWorkflow::ObjectClicked(TreeItem item) {
    if (RefuseWhenBusy(&m_ports.objectTree)) return;
    BeginClick(m_ports.objectTree, item);
    StartWorker([this, item] {
        EndWorker(m_browser.ShowObject(m_tree, item, m_bulkTriples, m_modules, *m_pSend));
    });
}

void CRecoveryWorkflow::DocumentClicked(TreeItem item) {
    if (RefuseWhenBusy(&m_ports.documentTree)) return;
    BeginClick(m_ports.documentTree, item);
    StartWorker([this, item] {
        m_sharePoint.ShowDocuments(item);
        EndWorker(1);
    });
}

void CRecoveryWorkflow::PreviousRecords() {
    if (RefuseWhenBusy(nullptr)) return;
    // Set here rather than by the worker, so no second command can slip in before it runs.
    m_app.m_nRunning = 1;
    StartWorker([this] { EndWorker(m_browser.PreviousPage()); });
}

void CRecoveryWorkflow::NextRecords() {
    if (RefuseWhenBusy(nullptr)) return;
    m_app.m_nRunning = 1;
    StartWorker([this] { EndWorker(m_browser.NextPage()); });
}

// ---- engine messages

void CRecoveryWorkflow::ProgressRange(std::uint64_t nHigh) {
    m_ports.progress.SetPos(0);
    m_ports.progress.SetRange(0, nHigh);
}

void CRecoveryWorkflow::ProgressPos(std::uint64_t nPos) {
    m_ports.progress.SetPos(nPos);
}

void CRecoveryWorkflow::StatusText(std::string_view text) {
    m_ports.textView.SetText(std::string(text));
}

void CRecoveryWorkflow::FatalError(std::string_view text) {
    m_ports.progress.SetPos(0);
    m_ports.textView.SetText("");
    // The file set sends this while it is being opened; the worker tears the session down as
    // soon as the opening has returned, never under the opening's feet.
    if (m_bWorkerActive)
        m_bTearDownPending = true;
    else
        TearDownSession();
    m_ports.boxes.Show(std::string(text), BoxIcon::Stop, BoxButtons::Ok);
}

void CRecoveryWorkflow::ErrorText(std::string_view text) {
    m_ports.boxes.Show(std::string(text), BoxIcon::Stop, BoxButtons::Ok);
}

void CRecoveryWorkflow::LogLine(std::string_view text) {
    m_log.WriteLine(std::string(text));
}
