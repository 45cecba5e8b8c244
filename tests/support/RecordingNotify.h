// Records every engine notification, for tests that check what the user is told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "appstate/EngineMessages.h"

namespace qw {

class RecordingNotify final : public IEngineNotify {
public:
    struct Message {
        EngineMessage id;
        std::uint64_t nValue = 0;
        std::string text;
    };
    void ProgressRange(std::uint64_t n) override { m.push_back({MSG_PROGRESS_RANGE, n, {}}); }
    void ProgressPos(std::uint64_t n) override { m.push_back({MSG_PROGRESS_POS, n, {}}); }
    void StatusText(std::string_view t) override {
        m.push_back({MSG_STATUS_TEXT, 0, std::string(t)});
    }
    void FatalError(std::string_view t) override {
        m.push_back({MSG_FATAL_ERROR, 0, std::string(t)});
    }
    void ErrorText(std::string_view t) override {
        m.push_back({MSG_ERROR_TEXT, 0, std::string(t)});
    }
    void LogLine(std::string_view t) override { m.push_back({MSG_LOG_LINE, 0, std::string(t)}); }

    std::vector<std::string> Texts(EngineMessage id) const {
        std::vector<std::string> out;
        for (const Message& x : m)
            if (x.id == id) out.push_back(x.text);
        return out;
    }
    std::vector<std::uint64_t> Values(EngineMessage id) const {
        std::vector<std::uint64_t> out;
        for (const Message& x : m)
            if (x.id == id) out.push_back(x.nValue);
        return out;
    }
    void Clear() { m.clear(); }

    std::vector<Message> m;
};

} // namespace qw
