#pragma once

#include "network/IDongleHost.h"
#include "network/PanelSettings.h"

#include <string>
#include <vector>

// The user interface as the dongle operations see it, recording what they ask of it.
class FakeDongleHost : public mirelight::IDongleHost
{
public:
    explicit FakeDongleHost(const mirelight::PanelSettings& settings) : m_settings(settings) { }

    void StatusChanged() override { m_statuses.push_back(*m_status); }
    void UpdateControls() override { ++m_updateControls; }
    bool AskMacAddress(std::string& digits) override
    {
        ++m_macQuestions;
        digits = m_macDigits;
        return m_macConfirmed;
    }
    void ExitProgram() override { ++m_exits; }
    void SaveSettings() override { m_joinedWhenSaved.push_back(m_settings.m_bJoined); }
    void SetWaitCursor(bool on) override
    {
        m_waitDepth += on ? 1 : -1;
        m_waitCursorShown |= on;
    }

    const std::string* m_status = nullptr; // where StatusChanged reads the status from
    bool m_macConfirmed = true;
    std::string m_macDigits = "0123456789abcDEF"; // as typed
    std::vector<std::string> m_statuses; // every status reported, in order
    std::vector<int> m_joinedWhenSaved; // "Joined" at each SaveSettings call
    int m_updateControls = 0;
    int m_macQuestions = 0;
    int m_exits = 0;
    int m_waitDepth = 0;
    bool m_waitCursorShown = false;

private:
    const mirelight::PanelSettings& m_settings;
};
