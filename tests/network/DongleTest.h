#pragma once

#include "FakeDongleHost.h"
#include "network/CDongle.h"

#include "CBriskoSim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// A dongle operations object on COM 7, where a simulated Brisko answers.
class DongleTest : public testing::Test
{
protected:
    static constexpr long kCom = 7;

    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start()) << m_sim.LastError();
        m_settings.m_iComChan = kCom;
        m_host.m_status = &m_dongle.Status();
    }

    void Script(const std::function<void(mirelight::CBriskoModel&)>& change)
    {
        m_sim.Configure(change);
    }

    // Connects, and forgets the requests that took, so that tests see only their own.
    void Connected()
    {
        m_dongle.Connect();
        ASSERT_TRUE(m_dongle.IsPortOpen()) << m_dongle.Status();
        m_requestsBefore = m_sim.Requests().size();
        m_host.m_statuses.clear();
        m_host.m_updateControls = 0;
    }

    std::vector<std::string> NewRequests() const
    {
        const std::vector<std::string> all = m_sim.Requests();
        return { all.begin() + static_cast<std::ptrdiff_t>(m_requestsBefore), all.end() };
    }

    std::string Status() const { return m_dongle.Status(); }

    mirelight::CBriskoSim m_sim { kCom };
    mirelight::PanelSettings m_settings;
    FakeDongleHost m_host;
    mirelight::CDongle m_dongle { m_host, m_settings };
    std::size_t m_requestsBefore = 0;
};
