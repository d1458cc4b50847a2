#pragma once

#include "network/IDongleHost.h"

#include <functional>
#include <string>
#include <vector>

// The user interface as the dongle operations see it, recording what they ask of it.
class FakeDongleHost : public mirelight::IDongleHost
{
public:
    void StatusChanged() override { m_statuses.push_back(m_status ? *m_status : std::string()); }
    void UpdateControls() override { ++m_updateControls; }
    bool AskMacAddress(std::string& digits) override
    {
        ++m_macQuestions;
        if (m_onMacQuestion)
            m_onMacQuestion();
        digits = m_macAnswer;
        return m_macConfirmed;
    }
    void ExitProgram() override { ++m_exits; }
    void SaveSettings() override
    {
        ++m_saves;
        if (m_onSave)
            m_onSave();
    }
    void SetWaitCursor(bool on) override
    {
        m_waitDepth += on ? 1 : -1;
        m_waitCursorShown |= on;
    }

    // Where StatusChanged reads the status from, to record every report in order.
    const std::string* m_status = nullptr;

    std::string m_macAnswer = "0123456789abcDEF";
    bool m_macConfirmed = true;
    std::function<void()> m_onMacQuestion;
    std::function<void()> m_onSave;

    std::vector<std::string> m_statuses;
    int m_updateControls = 0;
    int m_macQuestions = 0;
    int m_exits = 0;
    int m_saves = 0;
    int m_waitDepth = 0;
    bool m_waitCursorShown = false;
};
