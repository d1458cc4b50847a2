#pragma once

#include "network/CDongle.h"
#include "network/IDongleHost.h"

#include "CBriskoSim.h"

#include <gtest/gtest.h>

#include <chrono>
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

// A dongle operations object on COM 7, where a simulated Brisko answers; "Joined" is stored as 1.
class DongleTest : public testing::Test
{
protected:
    static constexpr long kCom = 7;

    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start()) << m_sim.LastError();
        m_settings.m_iComChan = kCom;
        m_settings.m_bJoined = 1;
        m_host.m_status = &m_dongle.Status();
    }

    // Connects, and forgets the requests that took, so that tests see only their own.
    void Connected()
    {
        m_dongle.Connect();
        ASSERT_TRUE(m_dongle.IsPortOpen()) << Status();
        m_requestsBefore = m_sim.Requests().size();
    }

    std::vector<std::string> NewRequests() const
    {
        const std::vector<std::string> all = m_sim.Requests();
        return { all.begin() + static_cast<std::ptrdiff_t>(m_requestsBefore), all.end() };
    }

    std::string Status() const { return m_dongle.Status(); }

    mirelight::CBriskoSim m_sim { kCom };
    mirelight::PanelSettings m_settings;
    FakeDongleHost m_host { m_settings };
    mirelight::CDongle m_dongle { m_host, m_settings };
    std::size_t m_requestsBefore = 0;
};
