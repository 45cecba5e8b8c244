#include "workflow/MemoryPorts.h"

#include <algorithm>
#include <cstdio>

namespace {

using Lock = std::lock_guard<std::mutex>;

// Case-blind order of ASCII letters, the order a tree control sorts its children in; texts
// equal but for case keep their byte order.
bool TextBefore(const std::string& a, const std::string& b) {
    const auto fold = [](unsigned char c) {
        return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    };
    const bool bLess =
        std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
            return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y));
        });
    const bool bGreater =
        std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [&](char x, char y) {
            return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y));
        });
    return bLess || (!bGreater && a < b);
}

void AppendJsonString(std::string& out, const std::string& s) {
    out += '"';
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    out += '"';
}

} // namespace

// ---- tree

const CMemoryTree::Node* CMemoryTree::Get(TreeItem item) const {
    auto it = m_nodes.find(item);
    return it == m_nodes.end() ? nullptr : &it->second;
}

CMemoryTree::Node* CMemoryTree::Get(TreeItem item) {
    if (item == kTreeRoot) return &m_nodes[kTreeRoot];
    auto it = m_nodes.find(item);
    return it == m_nodes.end() ? nullptr : &it->second;
}

TreeItem CMemoryTree::InsertItem(const std::string& strText, int nImage, int nSelectedImage,
                                 TreeItem parent, TreeInsert where) {
    Lock lock(m_mutex);
    Node* p = Get(parent);
    if (!p) return kTreeRoot;
    const TreeItem item = m_nNext++;
    if (where == TreeInsert::First)
        p->children.insert(p->children.begin(), item);
    else
        p->children.push_back(item);
    Node n;
    n.strText = strText;
    n.nImage = nImage;
    n.nSelectedImage = nSelectedImage;
    n.parent = parent;
    m_nodes.emplace(item, std::move(n));
    return item;
}

void CMemoryTree::SetItemData(TreeItem item, std::uint32_t nData) {
    Lock lock(m_mutex);
    if (Node* n = item ? Get(item) : nullptr) n->nData = nData;
}

std::uint32_t CMemoryTree::ItemData(TreeItem item) const {
    Lock lock(m_mutex);
    const Node* n = item ? Get(item) : nullptr;
    return n ? n->nData : 0;
}

void CMemoryTree::SetBold(TreeItem item, bool bBold) {
    Lock lock(m_mutex);
    if (Node* n = item ? Get(item) : nullptr) n->bBold = bBold;
}

bool CMemoryTree::IsBold(TreeItem item) const {
    Lock lock(m_mutex);
    const Node* n = item ? Get(item) : nullptr;
    return n && n->bBold;
}

std::string CMemoryTree::ItemText(TreeItem item) const {
    Lock lock(m_mutex);
    const Node* n = item ? Get(item) : nullptr;
    return n ? n->strText : std::string();
}

void CMemoryTree::SetItemText(TreeItem item, const std::string& strText) {
    Lock lock(m_mutex);
    if (Node* n = item ? Get(item) : nullptr) n->strText = strText;
}

TreeItem CMemoryTree::Parent(TreeItem item) const {
    Lock lock(m_mutex);
    const Node* n = item ? Get(item) : nullptr;
    return n ? n->parent : kTreeRoot;
}

std::vector<TreeItem> CMemoryTree::Children(TreeItem item) const {
    Lock lock(m_mutex);
    const Node* n = Get(item);
    return n ? n->children : std::vector<TreeItem>{};
}

void CMemoryTree::SortChildren(TreeItem item) {
    Lock lock(m_mutex);
    Node* n = Get(item);
    if (!n) return;
    std::stable_sort(n->children.begin(), n->children.end(), [&](TreeItem a, TreeItem b) {
        return TextBefore(m_nodes.at(a).strText, m_nodes.at(b).strText);
    });
}

void CMemoryTree::DeleteAllItems() {
    Lock lock(m_mutex);
    m_nodes.clear();
    m_selection = kTreeRoot;
}

TreeItem CMemoryTree::Selection() const {
    Lock lock(m_mutex);
    return m_selection;
}

void CMemoryTree::Select(TreeItem item) {
    Lock lock(m_mutex);
    m_selection = item;
}

void CMemoryTree::Expand(TreeItem item) {
    Lock lock(m_mutex);
    if (Node* n = item ? Get(item) : nullptr) n->bExpanded = true;
}

void CMemoryTree::Show(bool bShow) {
    Lock lock(m_mutex);
    m_bShown = bShow;
}

void CMemoryTree::PrepareForDocuments() {
    Lock lock(m_mutex);
    m_nodes.clear();
    m_selection = kTreeRoot;
    m_bDocumentStyle = true;
    m_nBackground = -1;
}

bool CMemoryTree::Shown() const {
    Lock lock(m_mutex);
    return m_bShown;
}

void CMemoryTree::SetBackground(std::uint8_t nRed, std::uint8_t nGreen, std::uint8_t nBlue) {
    Lock lock(m_mutex);
    m_nBackground = (nRed << 16) | (nGreen << 8) | nBlue;
}

std::int32_t CMemoryTree::Background() const {
    Lock lock(m_mutex);
    return m_nBackground;
}

int CMemoryTree::Image(TreeItem item) const {
    Lock lock(m_mutex);
    const Node* n = item ? Get(item) : nullptr;
    return n ? n->nImage : 0;
}

bool CMemoryTree::IsExpanded(TreeItem item) const {
    Lock lock(m_mutex);
    const Node* n = item ? Get(item) : nullptr;
    return n && n->bExpanded;
}

std::size_t CMemoryTree::ItemCount() const {
    Lock lock(m_mutex);
    return m_nodes.size() - (m_nodes.count(kTreeRoot) ? 1 : 0);
}

TreeItem CMemoryTree::Find(const std::vector<std::string>& path) const {
    Lock lock(m_mutex);
    TreeItem at = kTreeRoot;
    for (const std::string& s : path) {
        const Node* n = Get(at);
        if (!n) return kTreeRoot;
        auto it = std::find_if(n->children.begin(), n->children.end(),
                               [&](TreeItem c) { return m_nodes.at(c).strText == s; });
        if (it == n->children.end()) return kTreeRoot;
        at = *it;
    }
    return at;
}

std::vector<std::string> CMemoryTree::ChildTexts(TreeItem item) const {
    Lock lock(m_mutex);
    std::vector<std::string> out;
    if (const Node* n = Get(item))
        for (TreeItem c : n->children) out.push_back(m_nodes.at(c).strText);
    return out;
}

void CMemoryTree::DumpItem(TreeItem item, int nLevel, std::string& out) const {
    const Node& n = m_nodes.at(item);
    out.append(static_cast<std::size_t>(nLevel) * 2, ' ');
    out += n.strText;
    if (n.bBold) out += " *";
    out += '\n';
    for (TreeItem c : n.children) DumpItem(c, nLevel + 1, out);
}

std::string CMemoryTree::Dump() const {
    Lock lock(m_mutex);
    std::string out;
    if (const Node* root = Get(kTreeRoot))
        for (TreeItem c : root->children) DumpItem(c, 0, out);
    return out;
}

void CMemoryTree::JsonItem(TreeItem item, std::string& out) const {
    const Node& n = m_nodes.at(item);
    out += "{\"text\":";
    AppendJsonString(out, n.strText);
    out += n.bBold ? ",\"bold\":true" : ",\"bold\":false";
    out += ",\"children\":[";
    for (std::size_t i = 0; i < n.children.size(); ++i) {
        if (i) out += ',';
        JsonItem(n.children[i], out);
    }
    out += "]}";
}

std::string CMemoryTree::Json() const {
    Lock lock(m_mutex);
    std::string out = "[";
    if (const Node* root = Get(kTreeRoot)) {
        for (std::size_t i = 0; i < root->children.size(); ++i) {
            if (i) out += ',';
            JsonItem(root->children[i], out);
        }
    }
    out += "]";
    return out;
}

// ---- record list

void CMemoryRecordList::InsertColumn(int nIndex, const std::string& strTitle, int) {
    Lock lock(m_mutex);
    const auto i =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(nIndex, 0)), 0, m_columns.size());
    m_columns.insert(m_columns.begin() + static_cast<std::ptrdiff_t>(i), strTitle);
    for (auto& row : m_rows)
        if (row.size() >= i) row.insert(row.begin() + static_cast<std::ptrdiff_t>(i), "");
}

void CMemoryRecordList::DeleteColumn(int nIndex) {
    Lock lock(m_mutex);
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_columns.size()) return;
    m_columns.erase(m_columns.begin() + nIndex);
    for (auto& row : m_rows)
        if (static_cast<std::size_t>(nIndex) < row.size()) row.erase(row.begin() + nIndex);
}

int CMemoryRecordList::ColumnCount() const {
    Lock lock(m_mutex);
    return static_cast<int>(m_columns.size());
}

int CMemoryRecordList::InsertItem(int nIndex, const std::string& strText) {
    Lock lock(m_mutex);
    const auto i =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(nIndex, 0)), 0, m_rows.size());
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(i),
                  std::vector<std::string>{strText});
    m_params.insert(m_params.begin() + static_cast<std::ptrdiff_t>(i), 0);
    return static_cast<int>(i);
}

void CMemoryRecordList::SetItemParam(int nItem, std::int64_t nParam) {
    Lock lock(m_mutex);
    if (nItem >= 0 && static_cast<std::size_t>(nItem) < m_params.size())
        m_params[static_cast<std::size_t>(nItem)] = nParam;
}

std::int64_t CMemoryRecordList::ItemParam(int nItem) const {
    Lock lock(m_mutex);
    if (nItem < 0 || static_cast<std::size_t>(nItem) >= m_params.size()) return 0;
    return m_params[static_cast<std::size_t>(nItem)];
}

void CMemoryRecordList::SetItemText(int nItem, int nSubItem, const std::string& strText) {
    Lock lock(m_mutex);
    if (nItem < 0 || nSubItem < 0 || static_cast<std::size_t>(nItem) >= m_rows.size()) return;
    auto& row = m_rows[static_cast<std::size_t>(nItem)];
    if (row.size() <= static_cast<std::size_t>(nSubItem))
        row.resize(static_cast<std::size_t>(nSubItem) + 1);
    row[static_cast<std::size_t>(nSubItem)] = strText;
}

std::string CMemoryRecordList::ItemText(int nItem, int nSubItem) const {
    Lock lock(m_mutex);
    if (nItem < 0 || nSubItem < 0 || static_cast<std::size_t>(nItem) >= m_rows.size()) return {};
    const auto& row = m_rows[static_cast<std::size_t>(nItem)];
    return static_cast<std::size_t>(nSubItem) < row.size() ? row[static_cast<std::size_t>(nSubItem)]
                                                           : std::string();
}

void CMemoryRecordList::DeleteItem(int nItem) {
    Lock lock(m_mutex);
    if (nItem >= 0 && static_cast<std::size_t>(nItem) < m_rows.size()) {
        m_rows.erase(m_rows.begin() + nItem);
        m_params.erase(m_params.begin() + nItem);
        if (m_nSelection == nItem)
            m_nSelection = -1;
        else if (m_nSelection > nItem)
            --m_nSelection;
    }
}

void CMemoryRecordList::DeleteAllItems() {
    Lock lock(m_mutex);
    m_rows.clear();
    m_params.clear();
    m_nSelection = -1;
}

int CMemoryRecordList::ItemCount() const {
    Lock lock(m_mutex);
    return static_cast<int>(m_rows.size());
}

int CMemoryRecordList::Selection() const {
    Lock lock(m_mutex);
    return m_nSelection;
}

void CMemoryRecordList::Select(int nItem) {
    Lock lock(m_mutex);
    m_nSelection = nItem;
}

void CMemoryRecordList::Show(bool bShow) {
    Lock lock(m_mutex);
    m_bShown = bShow;
}

bool CMemoryRecordList::Shown() const {
    Lock lock(m_mutex);
    return m_bShown;
}

std::vector<std::string> CMemoryRecordList::Columns() const {
    Lock lock(m_mutex);
    return m_columns;
}

// ---- text panes, buttons, output, caption, progress

void CMemoryTextPane::SetText(const std::string& strText) {
    Lock lock(m_mutex);
    m_strText = strText;
}

std::string CMemoryTextPane::Text() const {
    Lock lock(m_mutex);
    return m_strText;
}

void CMemoryTextPane::Show(bool bShow) {
    Lock lock(m_mutex);
    m_bShown = bShow;
}

bool CMemoryTextPane::Shown() const {
    Lock lock(m_mutex);
    return m_bShown;
}

void CMemoryPageButtons::Enable(PageButton b, bool bEnable) {
    Lock lock(m_mutex);
    m_bEnabled[b == PageButton::Next] = bEnable;
}

bool CMemoryPageButtons::IsEnabled(PageButton b) const {
    Lock lock(m_mutex);
    return m_bEnabled[b == PageButton::Next];
}

void CMemoryPageButtons::Show(PageButton b, bool bShow) {
    Lock lock(m_mutex);
    m_bShown[b == PageButton::Next] = bShow;
}

bool CMemoryPageButtons::Shown(PageButton b) const {
    Lock lock(m_mutex);
    return m_bShown[b == PageButton::Next];
}

void CMemoryOutputPane::InsertLine(int nIndex, const std::string& strText) {
    Lock lock(m_mutex);
    const auto i =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(nIndex, 0)), 0, m_lines.size());
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(i), strText);
}

void CMemoryOutputPane::SetLineText(int nIndex, const std::string& strText) {
    Lock lock(m_mutex);
    if (nIndex >= 0 && static_cast<std::size_t>(nIndex) < m_lines.size())
        m_lines[static_cast<std::size_t>(nIndex)] = strText;
}

std::vector<std::string> CMemoryOutputPane::Lines() const {
    Lock lock(m_mutex);
    return m_lines;
}

void CMemoryCaptionBar::SetText(const std::string& strText) {
    Lock lock(m_mutex);
    m_history.push_back(strText);
}

std::string CMemoryCaptionBar::Text() const {
    Lock lock(m_mutex);
    return m_history.empty() ? std::string() : m_history.back();
}

std::vector<std::string> CMemoryCaptionBar::History() const {
    Lock lock(m_mutex);
    return m_history;
}

void CMemoryProgressBar::Show(bool bShow) {
    Lock lock(m_mutex);
    m_bShown = bShow;
}

void CMemoryProgressBar::SetRange(std::uint64_t nLow, std::uint64_t nHigh) {
    Lock lock(m_mutex);
    m_nLow = nLow;
    m_nHigh = nHigh;
}

void CMemoryProgressBar::SetPos(std::uint64_t nPos) {
    Lock lock(m_mutex);
    m_nPos = nPos;
}

bool CMemoryProgressBar::Shown() const {
    Lock lock(m_mutex);
    return m_bShown;
}

std::uint64_t CMemoryProgressBar::Pos() const {
    Lock lock(m_mutex);
    return m_nPos;
}

std::uint64_t CMemoryProgressBar::High() const {
    Lock lock(m_mutex);
    return m_nHigh;
}

// ---- boxes and window

BoxAnswer CMemoryMessageBox::Show(const std::string& strText, BoxIcon icon, BoxButtons buttons) {
    Lock lock(m_mutex);
    m_boxes.push_back({strText, icon, buttons});
    if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
    if (m_answers.empty()) return m_default;
    const BoxAnswer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

void CMemoryMessageBox::PushAnswer(BoxAnswer a) {
    Lock lock(m_mutex);
    m_answers.push_back(a);
}

void CMemoryMessageBox::SetDefaultAnswer(BoxAnswer a) {
    Lock lock(m_mutex);
    m_default = a;
}

std::vector<CMemoryMessageBox::Box> CMemoryMessageBox::Boxes() const {
    Lock lock(m_mutex);
    return m_boxes;
}

std::vector<std::string> CMemoryMessageBox::Texts() const {
    Lock lock(m_mutex);
    std::vector<std::string> out;
    for (const Box& b : m_boxes) out.push_back(b.strText);
    return out;
}

void CMemoryMainWindow::Restore() {
    Lock lock(m_mutex);
    m_bMaximised = false;
}

void CMemoryMainWindow::Maximise() {
    Lock lock(m_mutex);
    m_bMaximised = true;
}

bool CMemoryMainWindow::Maximised() const {
    Lock lock(m_mutex);
    return m_bMaximised;
}
