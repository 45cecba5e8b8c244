// In-memory implementations of every workflow port, for the command line and the tests. Each
// keeps what it was told behind its own lock, so a thread may read it while a worker writes.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "workflow/Ports.h"

class CMemoryTree : public ITreeView {
public:
    TreeItem InsertItem(const std::string& strText, int nImage, int nSelectedImage, TreeItem parent,
                        TreeInsert where) override;
    void SetItemData(TreeItem item, std::uint32_t nData) override;
    std::uint32_t ItemData(TreeItem item) const override;
    void SetBold(TreeItem item, bool bBold) override;
    bool IsBold(TreeItem item) const override;
    std::string ItemText(TreeItem item) const override;
    void SetItemText(TreeItem item, const std::string& strText) override;
    TreeItem Parent(TreeItem item) const override;
    std::vector<TreeItem> Children(TreeItem item) const override;
    void SortChildren(TreeItem item) override;
    void DeleteAllItems() override;
    TreeItem Selection() const override;
    void Select(TreeItem item) override;
    void Expand(TreeItem item) override;
    void Show(bool bShow) override;
    void Redraw() override {}
    void SetBackground(std::uint8_t nRed, std::uint8_t nGreen, std::uint8_t nBlue) override;
    void PrepareForDocuments() override;

    bool Shown() const;
    bool IsExpanded(TreeItem item) const;
    // The background colour as 0xRRGGBB; -1 when none was set.
    std::int32_t Background() const;
    int Image(TreeItem item) const;
    std::size_t ItemCount() const;
    // The item with this text path from the root ("Db/Tables/User Tables"), or 0.
    TreeItem Find(const std::vector<std::string>& path) const;
    std::vector<std::string> ChildTexts(TreeItem item) const;
    // The whole tree, one item a line, two blanks of indent per level, bold items marked " *".
    std::string Dump() const;
    // The whole tree as nested {"text":..,"bold":..,"children":[..]} objects in a JSON array.
    std::string Json() const;

private:
    struct Node {
        std::string strText;
        int nImage = 0, nSelectedImage = 0;
        std::uint32_t nData = 0;
        bool bBold = false, bExpanded = false;
        TreeItem parent = kTreeRoot;
        std::vector<TreeItem> children;
    };
    const Node* Get(TreeItem item) const;
    Node* Get(TreeItem item);
    void DumpItem(TreeItem item, int nLevel, std::string& out) const;
    void JsonItem(TreeItem item, std::string& out) const;

    mutable std::mutex m_mutex;
    std::map<TreeItem, Node> m_nodes; // holds the root at key 0
    TreeItem m_nNext = 1;
    TreeItem m_selection = kTreeRoot;
    bool m_bShown = true;
    bool m_bDocumentStyle = false;
    std::int32_t m_nBackground = -1;
};

class CMemoryRecordList : public IRecordList {
public:
    void InsertColumn(int nIndex, const std::string& strTitle, int nWidth) override;
    void DeleteColumn(int nIndex) override;
    int ColumnCount() const override;
    int InsertItem(int nIndex, const std::string& strText) override;
    void SetItemText(int nItem, int nSubItem, const std::string& strText) override;
    std::string ItemText(int nItem, int nSubItem) const override;
    void SetItemParam(int nItem, std::int64_t nParam) override;
    std::int64_t ItemParam(int nItem) const override;
    void DeleteItem(int nItem) override;
    void DeleteAllItems() override;
    int ItemCount() const override;
    int Selection() const override;
    void Select(int nItem) override;
    void Show(bool bShow) override;

    bool Shown() const;
    std::vector<std::string> Columns() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_columns;
    std::vector<std::vector<std::string>> m_rows;
    std::vector<std::int64_t> m_params; // one per row
    int m_nSelection = -1;
    bool m_bShown = true;
};

class CMemoryTextPane : public ITextPane {
public:
    void SetText(const std::string& strText) override;
    std::string Text() const override;
    void Show(bool bShow) override;
    bool Shown() const;

private:
    mutable std::mutex m_mutex;
    std::string m_strText;
    bool m_bShown = true;
};

class CMemoryPageButtons : public IPageButtons {
public:
    void Enable(PageButton b, bool bEnable) override;
    bool IsEnabled(PageButton b) const override;
    void Show(PageButton b, bool bShow) override;
    bool Shown(PageButton b) const;

private:
    mutable std::mutex m_mutex;
    bool m_bEnabled[2] = {false, false};
    bool m_bShown[2] = {true, true};
};

class CMemoryOutputPane : public IOutputPane {
public:
    void InsertLine(int nIndex, const std::string& strText) override;
    void SetLineText(int nIndex, const std::string& strText) override;
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

class CMemoryCaptionBar : public ICaptionBar {
public:
    void SetText(const std::string& strText) override;
    std::string Text() const;
    // Every text it was given, in order.
    std::vector<std::string> History() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_history;
};

class CMemoryProgressBar : public IProgressBar {
public:
    void Show(bool bShow) override;
    void SetRange(std::uint64_t nLow, std::uint64_t nHigh) override;
    void SetPos(std::uint64_t nPos) override;
    bool Shown() const;
    std::uint64_t Pos() const;
    std::uint64_t High() const;

private:
    mutable std::mutex m_mutex;
    bool m_bShown = false;
    std::uint64_t m_nLow = 0, m_nHigh = 0, m_nPos = 0;
};

class CMemoryMessageBox : public IMessageBox {
public:
    struct Box {
        std::string strText;
        BoxIcon icon;
        BoxButtons buttons;
    };
    // Each box is recorded. A question is answered with the next scripted answer, else with
    // the default answer (Yes unless set); a box with only OK is answered OK.
    BoxAnswer Show(const std::string& strText, BoxIcon icon, BoxButtons buttons) override;
    void PushAnswer(BoxAnswer a);
    void SetDefaultAnswer(BoxAnswer a);
    std::vector<Box> Boxes() const;
    std::vector<std::string> Texts() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Box> m_boxes;
    std::deque<BoxAnswer> m_answers;
    BoxAnswer m_default = BoxAnswer::Yes;
};

class CMemoryMainWindow : public IMainWindow {
public:
    void Restore() override;
    void Maximise() override;
    bool Maximised() const;

private:
    mutable std::mutex m_mutex;
    bool m_bMaximised = false;
};

// One of each, and the port bundle over them.
struct CMemoryPorts {
    CMemoryTree objectTree;
    CMemoryTree documentTree;
    CMemoryRecordList records;
    CMemoryTextPane textView;
    CMemoryTextPane pageLabel;
    CMemoryPageButtons pageButtons;
    CMemoryOutputPane output;
    CMemoryCaptionBar caption;
    CMemoryProgressBar progress;
    CMemoryMessageBox boxes;
    CMemoryMainWindow window;

    WorkflowPorts Ports() {
        return {objectTree, documentTree, records,  textView, pageLabel, pageButtons,
                output,     caption,      progress, boxes,    window};
    }
};
