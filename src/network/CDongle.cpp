#include "network/CDongle.h"

#include "link/CommandLines.h"
#include "link/FormatText.h"

namespace mirelight {

using namespace commands;

CDongle::CDongle(IDongleHost& host, PanelSettings& settings)
    : m_host(host)
    , m_settings(settings)
    , m_link(*this)
{
}

void CDongle::ReportStatus(const std::string& text)
{
    m_strStatus = text;
    m_host.StatusChanged();
}

void CDongle::ReportForPort(const char* format)
{
    ReportStatus(FormatText(format, static_cast<long>(m_settings.m_iComChan)));
}

void CDongle::FailDetection(const char* format)
{
    ReportForPort(format);
    m_link.ClosePort();
}

void CDongle::Connect()
{
    if (m_bProgramEnding)
        return;
    if (!m_link.Open(m_settings.m_iComChan)) {
        ReportForPort("Couldn't open COM%ld:");
        return;
    }
    ReportForPort("Searching for Brisko on COM%ld:");

    const auto version = m_link.Exchange(VersionRequest(), { kVersionConfirm, kErrorIndication },
                                         kAnswerTimeout, kVersionCode);
    if (!version)
        return;
    if (!HasName(*version, kVersionConfirm) && !GiveMacAddress(*version))
        return;

    // Whatever line comes first answers the second version request.
    const auto model = m_link.Exchange(VersionRequest(), {}, kAnswerTimeout, kModelCheckCode);
    if (!model)
        return;
    if (!HasBriskoModelCode(*model)) {
        FailDetection("Device on COM%ld: is not a Brisko");
        return;
    }
    if (!m_link.Exchange(BasicSettingRequest(), { kSettingConfirm }, kAnswerTimeout,
                         kBasicSettingCode))
        return;
    for (int button = 1; button <= kButtonCount; ++button) {
        if (!m_link.Exchange(ButtonSettingRequest(button), { kSettingConfirm }, kAnswerTimeout,
                             ButtonSettingCode(button)))
            return;
    }
    if (!m_link.Exchange(ResetRequest(), { kResetConfirm }, kAnswerTimeout, kConfigResetCode))
        return;
    m_link.Drain();
    ReportForPort("Brisko detected on COM%ld:");
}

// The version request was answered with an error indication: only "no MAC address yet" can
// be mended, by the user. True when the dongle took the address.
bool CDongle::GiveMacAddress(const std::string& errorIndication)
{
    if (!IsMacAddressMissing(errorIndication)) {
        FailDetection("Couldn't find Brisko on COM%ld:");
        return false;
    }
    std::string digits;
    if (!m_host.AskMacAddress(digits)) {
        FailDetection("Couldn't find Brisko on COM%ld:");
        m_bProgramEnding = true;
        m_host.ExitProgram();
        return false;
    }
    const auto request = MacAddressRequest(digits);
    if (!request) {
        FailDetection("Couldn't find Brisko on COM%ld:");
        return false;
    }
    return m_link.Exchange(*request, { kMacAddressConfirm }, kAnswerTimeout, kMacAddressCode)
        .has_value();
}

} // namespace mirelight
