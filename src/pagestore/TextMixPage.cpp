#include "pagestore/TextMixPage.h"

#include <algorithm>
#include <cstdio>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "pagestore/Text.h"

namespace {

// Deeper trees than this are damaged: real values need four or five levels.
constexpr int kMaxDepth = 32;

} // namespace

TextRecord::TextRecord(const std::uint8_t* pRow, const PageRef& page, int nAvailable) {
    m_pPage = &page;
    m_nAvailable = std::clamp(nAvailable, 0, static_cast<int>(kPageSize));
    if (m_nAvailable < 4) return;
    const std::uint8_t a = pRow[0];
    m_nRecordType = (a >> 1) & 7;
    m_bHasNullBitmap = (a & 0x10) != 0;
    m_bHasVarColumns = (a & 0x20) != 0;
    const int nFixed = le::I16(pRow + 2) - 4;
    m_nFixedLength = static_cast<std::int16_t>(nFixed);
    // The fixed part must end inside the row's bytes.
    if (nFixed <= 0 || nFixed + 4 > m_nAvailable) return;
    m_structure.assign(pRow + 4, pRow + 4 + nFixed);
    m_nPayloadLength = nFixed >= 10 ? nFixed - 10 : nFixed;
    if (nFixed >= 10) {
        m_nBlobId = le::U64(m_structure.data());
        m_nStructureType = le::U16(m_structure.data() + 8);
    }
}

TextMixPage::TextMixPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader)
    : RecordPage(std::move(pBytes), app, pReader) {
    if (m_app.StopRequested()) return;
    for (std::uint16_t nOffset : m_slotOffsets) {
        if (nOffset >= kPageSize)
            m_records.emplace_back();
        else
            m_records.push_back(std::make_unique<TextRecord>(
                m_pBytes.get() + nOffset, m_ref, static_cast<int>(kPageSize - nOffset)));
    }
    m_slotOffsets.clear();
}

std::string LobRenderer::Hex(std::span<const std::uint8_t> bytes) {
    static const char* kDigits = "0123456789ABCDEF";
    std::string s;
    s.reserve(2 * bytes.size());
    for (std::uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

std::string LobRenderer::Narrow1252(std::span<const std::uint8_t> bytes) {
    return text::Cp1252ToUtf8(bytes);
}

std::string LobRenderer::Narrow(std::span<const std::uint8_t> bytes) const {
    const auto nEnd = std::find(bytes.begin(), bytes.end(), 0) - bytes.begin();
    const auto text = bytes.first(static_cast<std::size_t>(nEnd));
    return m_opt.narrow ? m_opt.narrow(text) : Narrow1252(text);
}

std::string LobRenderer::Wide(std::span<const std::uint8_t> bytes) const {
    return text::Utf16ToUtf8(bytes, true);
}

std::string LobRenderer::RenderSmallRoot(std::span<const std::uint8_t> s, bool bVariantHeader) {
    if (s.size() < 16) return {};
    const int n = le::I16(s.data() + 10);
    if (n < 1 || n > static_cast<int>(kPageSize) || static_cast<std::size_t>(16 + n) > s.size())
        return {};
    const auto data = s.subspan(16, static_cast<std::size_t>(n));
    if (m_opt.pCollector) {
        if (n < static_cast<int>(kPageSize))
            m_opt.pCollector->emplace_back(data.begin(), data.end());
        return {};
    }
    // Hexadecimal always shows the stored bytes.
    auto hexOrText = [&](std::span<const std::uint8_t> d, bool bHex) {
        if (bHex) return Hex(d);
        // Text stored as UTF-16 of single-byte characters: half the bytes are zero.
        const auto nZeros = static_cast<std::size_t>(std::count(d.begin(), d.end(), 0));
        if (m_opt.bWide || (d.size() >= 2 && nZeros == d.size() / 2)) return Wide(d);
        return Narrow(d);
    };
    if (bVariantHeader) {
        if (n < 8) return {};
        const std::uint8_t nType = data[0];
        return hexOrText(data.subspan(8), nType == 165 || nType == 173);
    }
    return hexOrText(data, m_opt.nHexMode != 0);
}

std::string LobRenderer::RenderData(std::span<const std::uint8_t> payload, bool bVariantHeader) {
    const std::size_t L = payload.size();
    if (L < 1 || L > kPageSize) return {};
    if (m_opt.pCollector) {
        if (L < kPageSize) m_opt.pCollector->emplace_back(payload.begin(), payload.end());
        return {};
    }
    if (bVariantHeader) return L > 8 ? Narrow(payload.subspan(8)) : std::string();
    if (m_opt.nHexMode != 0) return Hex(payload);
    return m_opt.bWide ? Wide(payload) : Narrow(payload);
}

std::string LobRenderer::Render(const TextRecord& r, bool bVariantHeader) {
    // The structure type needs the first ten bytes. A short payload is a value all the same: the
    // last data fragment of a long value often holds only a few bytes.
    const std::span<const std::uint8_t> s(r.m_structure);
    if (s.size() < 10) return {};
    std::uint16_t nType = r.m_nStructureType;
    if (nType == 4 || nType == 6) nType = LOB_LARGE_ROOT;
    switch (nType) {
    case LOB_SMALL_ROOT:
        return RenderSmallRoot(s, bVariantHeader);
    case LOB_DATA:
        return RenderData(s.subspan(10), bVariantHeader);
    case LOB_INTERNAL: {
        if (s.size() < 16) return {};
        const std::size_t c = le::U16(s.data() + 12);
        std::string out;
        for (std::size_t i = 0;
             i < c && 16 + 16 * (i + 1) <= s.size() && !m_reader.App().StopRequested(); ++i) {
            const std::uint8_t* l = s.data() + 16 + 16 * i;
            out += RenderLink({le::I32(l + 8), le::I16(l + 12)}, le::I16(l + 14), false);
        }
        return out;
    }
    case LOB_LARGE_ROOT: {
        if (r.m_nPayloadLength <= 16 || s.size() < 20) return {};
        const std::size_t c = le::U16(s.data() + 12);
        std::string out;
        for (std::size_t i = 0;
             i < c && 20 + 12 * (i + 1) <= s.size() && !m_reader.App().StopRequested(); ++i) {
            const std::uint8_t* l = s.data() + 20 + 12 * i;
            out += RenderLink({le::I32(l + 4), le::I16(l + 8)}, le::I16(l + 10), false);
        }
        return out;
    }
    default:
        return {};
    }
}

std::string LobRenderer::RenderLink(PagePointer ptr, std::int32_t nSlot, bool bVariantHeader) {
    if (m_nDepth >= kMaxDepth || nSlot < 0 ||
        !m_visited.insert({ptr.nFileId, ptr.nPageId, nSlot}).second) {
        m_bFailure = true;
        return {};
    }
    PageBytes bytes = m_reader.ReadShiftCorrectedPage(ptr);
    if (!bytes) {
        m_bFailure = true;
        return {};
    }
    const TextMixPage page(std::move(bytes), m_reader.App(), &m_reader);
    const TextRecord* r = page.Fragment(static_cast<std::size_t>(nSlot));
    if (!r || r->m_structure.empty()) {
        m_bFailure = true;
        return {};
    }
    ++m_nDepth;
    std::string out = Render(*r, bVariantHeader);
    --m_nDepth;
    return out;
}

std::string LobRenderer::RenderFragment(const TextRecord& r) {
    return Render(r, m_opt.bVariantHeader);
}

std::string LobRenderer::RenderTextPointer(std::span<const std::uint8_t> p) {
    std::string out;
    if (p.size() >= 16)
        out = RenderLink({le::I32(p.data() + 8), le::I16(p.data() + 12)}, le::I16(p.data() + 14),
                         m_opt.bVariantHeader);
    else
        m_bFailure = true;
    return out.empty() && !m_opt.pCollector ? std::string(" ") : out;
}

std::string LobRenderer::RenderInRowRoot(std::span<const std::uint8_t> root) {
    std::string out;
    for (std::size_t off = 12; off + 12 <= root.size() && !m_reader.App().StopRequested();
         off += 12) {
        const std::uint8_t* e = root.data() + off;
        if (le::I32(e) <= 0) continue;
        std::int16_t nFile = le::I16(e + 8);
        if (nFile > 1000) nFile = kPrimaryFileId;
        out += RenderLink({le::I32(e + 4), nFile}, le::I16(e + 10), m_opt.bVariantHeader);
    }
    return out;
}
