// The record browser: what a click on an object tree node shows in the record area. A table's
// rows go into the record list a screen page of 1000 at a time, with "Previous Records" and
// "Next Records" moving between the screen pages; a module, a key or a constraint shows its
// text in the text view.
//
// A listing collects the table's page list once; each screen page is then read from the place
// in that list where it starts (its bookmark), so moving between screen pages decodes only the
// pages of the screen page shown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CDbCatalog.h"
#include "rowdecode/ModuleText.h"
#include "rowdecode/TableListing.h"
#include "workflow/ActivityLog.h"
#include "workflow/ObjectTree.h"
#include "workflow/Ports.h"

// A place in a listing's page list: a page of the list and a row of that page's decoded rows.
struct ListPosition {
    std::int64_t nPage = 0;
    std::int64_t nRow = 0;
    bool operator==(const ListPosition&) const = default;
};

class CRecordBrowser {
public:
    CRecordBrowser(CDravoltBrevantProjApp& app, const WorkflowPorts& ports, CActivityLog& log,
                   CRecoverySession& session)
        : m_app(app), m_ports(ports), m_log(log), m_session(session) {}

    // How a scan set the browsing up: advanced mode lists a table from the page maps' pages.
    void SetAdvancedMode(bool b) { m_bAdvancedMode = b; }
    // Large values in full instead of the listing's placeholders.
    void SetFullValues(bool b) { m_bFullValues = b; }

    // Forgets the listing: its page list and decoder belong to the database being closed.
    void Reset();
    // Deletes the rows and every column of the record list and empties the text view.
    void ClearRecordArea();

    // What a click shows, on the worker the click started: a table's first screen page, or a
    // text. Returns 1, or 0 when the node asks for nothing (the database node, no catalog).
    int ShowObject(CObjectTree& tree, TreeItem item, const std::vector<ValueTriple>& bulk,
                   CModuleTexts& modules, IEngineNotify& notify);
    // A table's first screen page; bResolved: the catalog has just resolved it.
    int ShowTable(const std::string& strName, const std::string& strType,
                  const std::vector<ValueTriple>& bulk, bool bResolved);
    // The screen page after or before the one shown. Return 1 when one was shown.
    int NextPage();
    int PreviousPage();

    // The listing state, for the front ends and the tests.
    int PageNumber() const { return m_nPageNumber; }
    std::size_t BookmarkCount() const { return m_bookmarks.size(); }
    std::uint64_t FirstRow() const { return m_nFirst; }
    std::uint64_t LastRow() const { return m_nLast; }
    PageSource Source() const { return m_nSource; }

private:
    struct Screen {
        std::uint64_t nListed = 0;
        bool bFull = false;  // stopped at the 1000th row with more rows to come
        ListPosition stopAt; // where the next screen page starts when bFull
    };

    // ShowTable on an emptied record area and a live catalog.
    int ListObjectTable(const std::string& strName, const std::string& strType,
                        const std::vector<ValueTriple>& bulk, bool bResolved);
    // Lists the table the catalog resolved last (its columns are in the record list already).
    void ListTable();
    // Lists one screen page from a position of the page list into the record list.
    Screen ListScreen(ListPosition start, bool bPerPageProgress);
    void InsertRow(const DecodedRow& row);
    void CreateColumns(const CDbCatalog& catalog);
    void ShowText(const std::string& strText);
    // Reads the screen page `nScreen` (0-based) from its bookmark into the emptied record list
    // and shows it: range, page label, caption and buttons. Used by Next and Previous.
    int MoveToScreen(std::size_t nScreen);
    void ShowScreen(std::size_t nScreen, const Screen& s);
    // The end of every object click: buttons, page label, caption and the closing line.
    int FinishObject(const std::string& strName);

    CDravoltBrevantProjApp& m_app;
    WorkflowPorts m_ports;
    CActivityLog& m_log;
    CRecoverySession& m_session;
    bool m_bAdvancedMode = false;
    bool m_bFullValues = false;

    // The listing.
    std::unique_ptr<CTableRowDecoder> m_pDecoder;
    std::vector<PagePointer> m_pages;
    PageSource m_nSource = PageSource::None;
    std::size_t m_nFirstStored = 0;
    std::vector<std::size_t> m_shownColumns; // decoder column per record list column
    bool m_bRowLinesToFile = false;
    bool m_bNullCountsAsEmpty = false;
    // bookmarks[k]: where screen page k starts; the screen page shown is m_nScreen.
    std::vector<ListPosition> m_bookmarks;
    std::size_t m_nScreen = 0;
    std::uint64_t m_nFirst = 0, m_nLast = 0; // row numbers shown, counted from 0
    int m_nPageNumber = 0;
    int m_nListRow = 0; // rows handled on this screen page
};
