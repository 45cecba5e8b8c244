// Text pages and the large values stored on them: fragment rows, the trees they form, and
// the renderings of a whole value as text, as hexadecimal or as raw chunks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "pagestore/RecordPage.h"

// Structure types of a fragment row.
enum : std::uint16_t { LOB_SMALL_ROOT = 0, LOB_INTERNAL = 2, LOB_DATA = 3, LOB_LARGE_ROOT = 5 };

// One fragment row of a text page.
class TextRecord : public CRecord {
public:
    TextRecord(const std::uint8_t* pRow, const PageRef& page, int nAvailable);

    std::vector<std::uint8_t> m_structure; // the fixed part: blob id, type, payload
    std::int32_t m_nPayloadLength = 0;
    std::uint64_t m_nBlobId = 0;
    std::uint16_t m_nStructureType = 8;
};

class TextMixPage : public RecordPage {
public:
    TextMixPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader);
    const TextRecord* Fragment(std::size_t nSlot) const {
        return nSlot < m_records.size() ? static_cast<const TextRecord*>(m_records[nSlot].get())
                                        : nullptr;
    }
};

// How a large value is to be rendered.
struct LobOptions {
    // The value starts with an 8-byte header whose first byte is a type code (sql_variant);
    // codes 165 and 173 (binary types) render as hexadecimal.
    bool bVariantHeader = false;
    std::uint8_t nHexMode = 0; // 0: text, otherwise hexadecimal
    bool bWide = false;        // the data is UTF-16 text
    // When set, raw chunks are appended here instead of producing text.
    std::vector<std::vector<std::uint8_t>>* pCollector = nullptr;
    // Single-byte text (up to its first zero byte) to UTF-8; Windows-1252 when not set.
    std::function<std::string(std::span<const std::uint8_t>)> narrow;
};

// Renders large values. Every fragment is rendered at most once per value and trees deeper
// than a fixed bound are cut, so damaged links (loops, links to themselves) end.
class LobRenderer {
public:
    LobRenderer(CMdfReader& reader, LobOptions opt) : m_reader(reader), m_opt(std::move(opt)) {}

    // A fragment row.
    std::string RenderFragment(const TextRecord& r);
    // A 16-byte text pointer; " " when the value renders as empty text.
    std::string RenderTextPointer(std::span<const std::uint8_t> pointer);
    // An in-row root: a 12-byte header and 12-byte entries naming fragments.
    std::string RenderInRowRoot(std::span<const std::uint8_t> root);

    // True when some link of the value could not be followed (unreadable page, missing row,
    // loop or depth bound).
    bool HadFailures() const { return m_bFailure; }

    static std::string Hex(std::span<const std::uint8_t> bytes);
    static std::string Narrow1252(std::span<const std::uint8_t> bytes);

private:
    std::string RenderLink(PagePointer page, std::int32_t nSlot, bool bVariantHeader);
    std::string RenderSmallRoot(std::span<const std::uint8_t> s, bool bVariantHeader);
    std::string RenderData(std::span<const std::uint8_t> payload, bool bVariantHeader);
    std::string Narrow(std::span<const std::uint8_t> bytes) const;
    std::string Wide(std::span<const std::uint8_t> bytes) const;
    std::string Render(const TextRecord& r, bool bVariantHeader);

    CMdfReader& m_reader;
    LobOptions m_opt;
    std::set<std::tuple<std::int16_t, std::int32_t, std::int32_t>> m_visited;
    int m_nDepth = 0;
    bool m_bFailure = false;
};
