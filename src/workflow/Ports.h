// What the recovery workflow shows, as interfaces the front ends implement: the desktop
// application with its widgets, the command line with text, the tests in memory. Workers call
// them from their own thread; an implementation that drives widgets moves the call to its
// user-interface thread and waits for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The title every message box carries.
inline constexpr const char* kAppTitle = "Tolvex Quarvel";

// A tree item; 0 is the invisible root (and "no item").
using TreeItem = std::uint64_t;
inline constexpr TreeItem kTreeRoot = 0;

enum class TreeInsert { First, Last };

// The object tree and the SharePoint tree.
class ITreeView {
public:
    virtual ~ITreeView() = default;
    // Inserts an item under `parent` as its first or its last child.
    virtual TreeItem InsertItem(const std::string& strText, int nImage, int nSelectedImage,
                                TreeItem parent, TreeInsert where) = 0;
    virtual void SetItemData(TreeItem item, std::uint32_t nData) = 0;
    virtual std::uint32_t ItemData(TreeItem item) const = 0;
    virtual void SetBold(TreeItem item, bool bBold) = 0;
    virtual bool IsBold(TreeItem item) const = 0;
    virtual std::string ItemText(TreeItem item) const = 0;
    virtual void SetItemText(TreeItem item, const std::string& strText) = 0;
    virtual TreeItem Parent(TreeItem item) const = 0;
    // The children of an item (of the root for kTreeRoot), in shown order.
    virtual std::vector<TreeItem> Children(TreeItem item) const = 0;
    // Sorts one level of children by their text.
    virtual void SortChildren(TreeItem item) = 0;
    virtual void DeleteAllItems() = 0;
    virtual TreeItem Selection() const = 0;
    virtual void Select(TreeItem item) = 0;
    virtual void Expand(TreeItem item) = 0;
    virtual void Show(bool bShow) = 0;
    virtual void Redraw() = 0;
    virtual void SetBackground(std::uint8_t nRed, std::uint8_t nGreen, std::uint8_t nBlue) = 0;
    // Back to a fresh tree in the style of the document view: every item deleted, check boxes
    // linked to their children, item images from the shell's file icons, editable.
    virtual void PrepareForDocuments() = 0;
};

// The record list: a table of rows with named columns.
class IRecordList {
public:
    virtual ~IRecordList() = default;
    virtual void InsertColumn(int nIndex, const std::string& strTitle, int nWidth) = 0;
    virtual void DeleteColumn(int nIndex) = 0;
    virtual int ColumnCount() const = 0;
    // Inserts a row with the text of its first column; returns its index.
    virtual int InsertItem(int nIndex, const std::string& strText) = 0;
    virtual void SetItemText(int nItem, int nSubItem, const std::string& strText) = 0;
    virtual std::string ItemText(int nItem, int nSubItem) const = 0;
    // A number kept with a row (a document list row keeps its document's index).
    virtual void SetItemParam(int nItem, std::int64_t nParam) = 0;
    virtual std::int64_t ItemParam(int nItem) const = 0;
    virtual void DeleteItem(int nItem) = 0;
    virtual void DeleteAllItems() = 0;
    virtual int ItemCount() const = 0;
    virtual int Selection() const = 0; // -1 when none
    virtual void Select(int nItem) = 0;
    virtual void Show(bool bShow) = 0;
};

// A text shown on its own: the text view of the record area and the page label.
class ITextPane {
public:
    virtual ~ITextPane() = default;
    virtual void SetText(const std::string& strText) = 0;
    virtual std::string Text() const = 0;
    virtual void Show(bool bShow) = 0;
};

enum class PageButton { Previous, Next };

// "Previous Records" and "Next Records".
class IPageButtons {
public:
    virtual ~IPageButtons() = default;
    virtual void Enable(PageButton b, bool bEnable) = 0;
    virtual bool IsEnabled(PageButton b) const = 0;
    virtual void Show(PageButton b, bool bShow) = 0;
};

// The output pane: a list of lines that only grows.
class IOutputPane {
public:
    virtual ~IOutputPane() = default;
    virtual void InsertLine(int nIndex, const std::string& strText) = 0;
    virtual void SetLineText(int nIndex, const std::string& strText) = 0;
};

class ICaptionBar {
public:
    virtual ~ICaptionBar() = default;
    virtual void SetText(const std::string& strText) = 0;
};

// The status bar's progress bar.
class IProgressBar {
public:
    virtual ~IProgressBar() = default;
    virtual void Show(bool bShow) = 0;
    virtual void SetRange(std::uint64_t nLow, std::uint64_t nHigh) = 0;
    virtual void SetPos(std::uint64_t nPos) = 0;
};

enum class BoxIcon { Information, Stop, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

// Modal message boxes with the application title as caption.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual BoxAnswer Show(const std::string& strText, BoxIcon icon, BoxButtons buttons) = 0;
};

// The main window as a whole.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    virtual void Restore() = 0;
    virtual void Maximise() = 0;
};

// Every port the workflow drives, owned by the front end.
struct WorkflowPorts {
    ITreeView& objectTree;
    ITreeView& documentTree;
    IRecordList& records;
    ITextPane& textView;
    ITextPane& pageLabel;
    IPageButtons& pageButtons;
    IOutputPane& output;
    ICaptionBar& caption;
    IProgressBar& progress;
    IMessageBox& boxes;
    IMainWindow& window;
};
