#include "panel/CCommandSurface.h"

using mirelight::kButtonCount;

CCommandSurface::CCommandSurface(mirelight::CDongle& dongle,
                                 const mirelight::PanelSettings& settings)
    : m_dongle(dongle), m_settings(settings)
{ }

void CCommandSurface::Press(int index)
{
    m_dongle.SendButtonMessage(index, true);
}

bool CCommandSurface::PressRemote(int index, std::function<bool()> stillWanted,
                                  std::function<void(PressOutcome)> done)
{
    // A caller that has gone leaves its place at once, not only when its press comes up.
    std::erase_if(m_remotePresses, [](const std::shared_ptr<RemotePress>& press) {
        return press->ended || !press->stillWanted();
    });
    if (m_remotePresses.size() >= kMaxRemotePresses)
        return false;
    auto press = std::make_shared<RemotePress>(RemotePress { std::move(stillWanted) });
    m_remotePresses.push_back(press);
    m_dongle.SendButtonMessage(
        index, true, { press->stillWanted, [press, done = std::move(done)](PressOutcome outcome) {
                          press->ended = true;
                          done(outcome);
                      } });
    return true;
}

void CCommandSurface::ShowPanel()
{
    emit ShowRequested();
}

QString CCommandSurface::Status() const
{
    return QString::fromStdString(m_dongle.Status());
}

QString CCommandSurface::FailureReason() const
{
    return QString::fromStdString(m_dongle.FailureReason());
}

QString CCommandSurface::Caption(int index) const
{
    return index >= 0 && index < kButtonCount
        ? QString::fromStdString(m_settings.m_strButtonText[index])
        : QString();
}

int CCommandSurface::Effect(int index) const
{
    return index >= 0 && index < kButtonCount ? m_settings.m_iEffect[index] : 0;
}

void CCommandSurface::NotifySaveOutcome(const QString& failure)
{
    if (failure == m_saveFailure)
        return;
    m_saveFailure = failure;
    emit SaveFailureChanged();
}
