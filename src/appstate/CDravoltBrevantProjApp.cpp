#include "appstate/CDravoltBrevantProjApp.h"

#include <iterator>
#include <limits>

namespace {

// Leading optional sign and decimal digits, like the C library's atoi but without undefined
// behaviour on overflow (the value saturates).
std::int64_t LeadingInteger(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool bNegative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) bNegative = s[i++] == '-';
    std::int64_t v = 0;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        const int d = s[i] - '0';
        v = v > (kMax - d) / 10 ? kMax : v * 10 + d;
    }
    return bNegative ? -v : v;
}

} // namespace

void ParseCollationList(std::string_view text, CollationMap& out) {
    while (!text.empty()) {
        std::size_t nEnd = text.find('\n');
        std::string_view line = text.substr(0, nEnd);
        text.remove_prefix(nEnd == std::string_view::npos ? text.size() : nEnd + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        const std::size_t nTab = line.find('\t');
        if (line.empty() || nTab == std::string_view::npos) continue;
        const std::string_view name = line.substr(0, nTab);
        const std::string_view rest = line.substr(nTab + 1);
        const std::size_t nTab2 = rest.find('\t');
        if (nTab2 == std::string_view::npos) continue;

        const std::int64_t nId = LeadingInteger(rest.substr(0, nTab2));
        std::int64_t nCodePage = LeadingInteger(rest.substr(nTab2 + 1));
        if (nCodePage < std::numeric_limits<int>::min() ||
            nCodePage > std::numeric_limits<int>::max())
            nCodePage = 0;
        out[nId] = CollationEntry{std::string(name), static_cast<int>(nCodePage)};
    }
}

std::size_t CDravoltBrevantProjApp::LoadCollationList(const std::string& strFolder) {
    m_collations.clear();
    std::string strPath = strFolder;
    if (!strPath.empty() && strPath.back() != '/') strPath += '/';
    strPath += "collation.txt";
    std::ifstream in(strPath, std::ios::binary);
    if (!in) return 0;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ParseCollationList(text, m_collations);
    return m_collations.size();
}

const CollationEntry* CDravoltBrevantProjApp::FindCollation(std::int64_t nId) const {
    auto it = m_collations.find(nId);
    return it == m_collations.end() ? nullptr : &it->second;
}
