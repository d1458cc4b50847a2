#pragma once

#include "network/CDongle.h"
#include "network/FakeDongleHost.h"

#include "CBriskoSim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

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
