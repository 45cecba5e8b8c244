#include "rowdecode/TextConvert.h"

#include "pagestore/Text.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace text {

namespace {

struct ConverterCloser {
    void operator()(UConverter* p) const { ucnv_close(p); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// ICU knows the Windows code pages as "windows-N"; the DOS pages as "ibm-N".
ConverterPtr OpenConverter(int nCodePage) {
    if (nCodePage == 65001) {
        UErrorCode err = U_ZERO_ERROR;
        ConverterPtr p(ucnv_open("UTF-8", &err));
        return U_SUCCESS(err) ? std::move(p) : ConverterPtr();
    }
    if (nCodePage <= 0) return ConverterPtr();
    const std::string strNumber = std::to_string(nCodePage);
    for (const char* pszPrefix : {"windows-", "ibm-", "cp"}) {
        UErrorCode err = U_ZERO_ERROR;
        ConverterPtr p(ucnv_open((pszPrefix + strNumber).c_str(), &err));
        if (p && U_SUCCESS(err)) return p;
    }
    return ConverterPtr();
}

// What is known about one code page. Single-byte pages are turned into a table of UTF-8
// sequences once, so converting their text needs no converter at all; the others are converted
// through a converter of the calling thread (ICU converters must not be shared).
struct CodePageInfo {
    bool bSingleByte = false;
    std::array<std::array<char, 4>, 256> utf8{};
    std::array<std::uint8_t, 256> utf8Length{};
};

void StoreUtf8(CodePageInfo& info, int nByte, char32_t c) {
    std::string s;
    AppendCodePoint(s, c);
    std::copy(s.begin(), s.end(), info.utf8[nByte].begin());
    info.utf8Length[nByte] = static_cast<std::uint8_t>(s.size());
}

std::unique_ptr<CodePageInfo> BuildInfo(int nCodePage) {
    ConverterPtr pConv = OpenConverter(nCodePage);
    if (!pConv) return nullptr;
    auto pInfo = std::make_unique<CodePageInfo>();
    if (ucnv_getMaxCharSize(pConv.get()) != 1) return pInfo;
    pInfo->bSingleByte = true;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(pConv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    for (int b = 0; b < 256; ++b) {
        const char in = static_cast<char>(b);
        UChar units[4];
        err = U_ZERO_ERROR;
        const int32_t n = ucnv_toUChars(pConv.get(), units, 4, &in, 1, &err);
        char32_t c = static_cast<char32_t>(b);
        if (U_SUCCESS(err) && n == 1) c = units[0];
        StoreUtf8(*pInfo, b, c);
    }
    return pInfo;
}

// Process-wide registry; entries are never removed, so pointers to them stay valid.
const CodePageInfo* FindInfo(int nCodePage) {
    thread_local std::unordered_map<int, const CodePageInfo*> cache;
    if (auto it = cache.find(nCodePage); it != cache.end()) return it->second;
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CodePageInfo>> registry;
    const CodePageInfo* p;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = registry.find(nCodePage);
        if (it == registry.end()) it = registry.emplace(nCodePage, BuildInfo(nCodePage)).first;
        p = it->second.get();
    }
    cache.emplace(nCodePage, p);
    return p;
}

UConverter* ThreadConverter(int nCodePage) {
    thread_local std::unordered_map<int, ConverterPtr> converters;
    auto it = converters.find(nCodePage);
    if (it == converters.end()) it = converters.emplace(nCodePage, OpenConverter(nCodePage)).first;
    return it->second.get();
}

} // namespace

Bytes UpToZero(Bytes b) {
    const auto it = std::find(b.begin(), b.end(), std::uint8_t{0});
    return b.first(static_cast<std::size_t>(it - b.begin()));
}

void AppendCodePoint(std::string& out, char32_t c) { AppendUtf8(out, c); }

void AppendWidened(std::string& out, Bytes b) {
    for (std::uint8_t v : b) AppendCodePoint(out, v);
}

void AppendUtf16Units(std::string& out, const char16_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
            AppendCodePoint(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                                     (static_cast<char32_t>(p[i + 1]) - 0xDC00));
            ++i;
        } else {
            AppendCodePoint(out, u); // a lone surrogate becomes U+FFFD there
        }
    }
}

void AppendUtf16(std::string& out, Bytes b) {
    auto unit = [&b](std::size_t i) {
        return static_cast<char32_t>(b[i] | ((i + 1 < b.size() ? b[i + 1] : 0) << 8));
    };
    for (std::size_t i = 0; i < b.size(); i += 2) {
        const char32_t u = unit(i);
        if (u == 0) break;
        if (u < 0x80) {
            out += static_cast<char>(u);
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 2 < b.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendCodePoint(out, u); // a lone surrogate becomes U+FFFD there
    }
}

bool AppendCodePage(std::string& out, Bytes b, int nCodePage, std::size_t* pUnits) {
    const CodePageInfo* pInfo = FindInfo(nCodePage);
    if (!pInfo) return false;
    if (pInfo->bSingleByte) {
        for (std::uint8_t v : b) out.append(pInfo->utf8[v].data(), pInfo->utf8Length[v]);
        if (pUnits) *pUnits = b.size();
        return true;
    }
    UConverter* pConv = ThreadConverter(nCodePage);
    if (!pConv) return false;
    // A byte yields at most one unit except for four-byte sequences, which yield two.
    std::vector<UChar> units(b.size() + 2);
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(pConv, units.data(), static_cast<int32_t>(units.size()),
                              reinterpret_cast<const char*>(b.data()),
                              static_cast<int32_t>(b.size()), &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        units.resize(static_cast<std::size_t>(n) + 1);
        err = U_ZERO_ERROR;
        n = ucnv_toUChars(pConv, units.data(), static_cast<int32_t>(units.size()),
                          reinterpret_cast<const char*>(b.data()), static_cast<int32_t>(b.size()),
                          &err);
    }
    if (U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING) return false;
    AppendUtf16Units(out, units.data(), static_cast<std::size_t>(n));
    if (pUnits) *pUnits = static_cast<std::size_t>(n);
    return true;
}

bool HasCodePage(int nCodePage) {
    return FindInfo(nCodePage) != nullptr;
}

} // namespace text
