#include "CBriskoModel.h"

#include <algorithm>
#include <utility>

namespace mirelight {

namespace {

constexpr std::string_view kSuccess = "00";
constexpr std::string_view kBindFailure = "02";
constexpr std::size_t kNameLength = 5;

// Requests whose confirmation is just "<name with C>=<status>".
constexpr std::array<std::string_view, 4> kPlainRequests = { "+DSMR", "+DSTR", "+DRSR", "+NJNR" };

// Where the button message and the bind request carry what the dongle acts on.
constexpr std::size_t kSwitchMessageLength = 72; // without the "\r"
constexpr std::size_t kSwitchPairPosition = 54;
constexpr std::size_t kSwitchEffectPosition = 70;
constexpr std::string_view kBindPayloadStart = "+ADAR=0B";
constexpr std::size_t kIndicationStatusPosition = 68;

std::string AnswerLine(std::string_view text)
{
    return std::string(text) + "\r\n";
}

std::string Confirmation(std::string_view requestName, std::string_view status)
{
    std::string name(requestName.substr(0, kNameLength - 1));
    return AnswerLine(name + "C=" + std::string(status));
}

} // namespace

std::string CBriskoModel::UnrelatedLine()
{
    return AnswerLine("+ZDOI=00124B0001A2B3C48E21"); // another device announcing itself
}

std::string CBriskoModel::GarbageLines()
{
    return "\x01\x02\x7F+DVRC=0B400112\r\n" // a control byte before an answer-like text
           "\r\n"
        + AnswerLine(std::string(598, 'A')) + AnswerLine("\x80\xFE\xFF high bytes");
}

CBriskoModel::CBriskoModel() : m_modelCode(kBriskoModelCode) { }

void CBriskoModel::SetMacMissing(bool missing)
{
    m_macMissing = missing;
    m_macSet = false;
}

void CBriskoModel::SetModelCode(std::string code)
{
    m_modelCode = std::move(code);
}

void CBriskoModel::SetNetworkId(std::string id)
{
    m_networkId = std::move(id);
}

void CBriskoModel::SetAnswerDelay(std::chrono::milliseconds delay)
{
    m_answerDelay = delay;
}

void CBriskoModel::SetBindCompletion(BindCompletion completion, std::chrono::milliseconds delay)
{
    m_bindCompletion = completion;
    m_bindDelay = delay;
}

void CBriskoModel::AnswerWithStatus(std::string prefix, std::string status, int occurrence)
{
    AddRule(RuleKind::Status, std::move(prefix), occurrence, std::move(status));
}

void CBriskoModel::LeaveUnanswered(std::string prefix, int occurrence)
{
    AddRule(RuleKind::Unanswered, std::move(prefix), occurrence);
}

void CBriskoModel::SendBefore(std::string prefix, std::string bytes, int occurrence)
{
    AddRule(RuleKind::SendBefore, std::move(prefix), occurrence, std::move(bytes));
}

void CBriskoModel::SendAfter(std::string prefix, std::string bytes, int occurrence)
{
    AddRule(RuleKind::SendAfter, std::move(prefix), occurrence, std::move(bytes));
}

void CBriskoModel::UnplugAt(std::string prefix, int occurrence)
{
    AddRule(RuleKind::Unplug, std::move(prefix), occurrence);
}

void CBriskoModel::AddRule(RuleKind kind, std::string prefix, int occurrence, std::string value)
{
    m_rules.push_back({ kind, std::move(prefix), occurrence, std::move(value) });
}

SimReaction CBriskoModel::HandleRequest(std::string_view request)
{
    SimReaction reaction;
    reaction.events.push_back("request " + std::string(request));
    std::string status(kSuccess);
    std::string after;
    bool answered = true;
    for (const Rule* rule : MatchRules(request)) {
        switch (rule->kind) {
        case RuleKind::Status:
            status = rule->value;
            break;
        case RuleKind::Unanswered:
            answered = false;
            break;
        case RuleKind::SendBefore:
            reaction.outputs.push_back({ m_answerDelay, rule->value });
            break;
        case RuleKind::SendAfter:
            after += rule->value;
            break;
        case RuleKind::Unplug:
            reaction.unplug = true;
            break;
        }
    }
    if (reaction.unplug) {
        reaction.outputs.clear();
        reaction.events.emplace_back("unplugged");
        return reaction;
    }
    if (!answered) {
        reaction.events.emplace_back("left unanswered");
        return reaction;
    }
    const Answer answer = DefaultAnswer(request, status, reaction.events);
    reaction.outputs.push_back({ m_answerDelay, answer.line + after });
    if (answer.bindPending)
        reaction.outputs.push_back({ m_answerDelay + m_bindDelay, BindIndication(request) });
    return reaction;
}

std::vector<const CBriskoModel::Rule*> CBriskoModel::MatchRules(std::string_view request)
{
    std::vector<const Rule*> matching;
    for (Rule& rule : m_rules) {
        if (!request.starts_with(rule.prefix))
            continue;
        ++rule.seen;
        if (rule.occurrence == 0 || rule.occurrence == rule.seen)
            matching.push_back(&rule);
    }
    return matching;
}

CBriskoModel::Answer CBriskoModel::DefaultAnswer(std::string_view request,
                                                 const std::string& status,
                                                 std::vector<std::string>& events)
{
    const std::string_view name = request.substr(0, kNameLength);
    if (name == "+DVRR")
        return { VersionAnswer(status) };
    if (name == "+DSMR" && status == kSuccess)
        m_macSet = true;
    if (name == "+NNDR")
        return { DiscoveryAnswer(status) };
    if (name == "+ADAR")
        return DataAnswer(request, status, events);
    if (std::find(kPlainRequests.begin(), kPlainRequests.end(), name) != kPlainRequests.end())
        return { Confirmation(name, status) };
    return { AnswerLine("+DERI=01") }; // a request this dongle does not know
}

std::string CBriskoModel::VersionAnswer(const std::string& status) const
{
    if (status != kSuccess)
        return AnswerLine("+DERI=" + status);
    if (m_macMissing && !m_macSet)
        return AnswerLine("+DERI=04");
    return AnswerLine("+DVRC=" + m_modelCode + "0103"); // model code, firmware 1.3
}

std::string CBriskoModel::DiscoveryAnswer(const std::string& status) const
{
    // Status at 6, channel and strength at 8..13, the network identifier at 14..17, the
    // extended identifier after it.
    return AnswerLine("+NNDC=" + status + "0B19C4" + m_networkId + "00124B0001A2B3C4");
}

CBriskoModel::Answer CBriskoModel::DataAnswer(std::string_view request, const std::string& status,
                                              std::vector<std::string>& events)
{
    const bool success = status == kSuccess;
    if (!request.starts_with(kBindPayloadStart)) {
        if (success)
            SwitchLight(request, events);
        return { Confirmation(request, status) };
    }
    return { Confirmation(request, status), success && m_bindCompletion != BindCompletion::Never };
}

void CBriskoModel::SwitchLight(std::string_view request, std::vector<std::string>& events)
{
    if (request.size() != kSwitchMessageLength || request[kSwitchPairPosition] != '1')
        return;
    const char digit = request[kSwitchPairPosition + 1];
    if (digit < '1' || digit > '0' + kLights)
        return;
    bool& light = m_lights[static_cast<std::size_t>(digit - '1')];
    const std::string_view effect = request.substr(kSwitchEffectPosition, 2);
    if (effect == "00")
        light = false;
    else if (effect == "FF")
        light = true;
    else if (effect == "F0")
        light = !light;
    else
        return;
    events.push_back(std::string("light ") + digit + (light ? " on" : " off"));
}

std::string CBriskoModel::BindIndication(std::string_view request) const
{
    // The indication echoes the request's payload up to the status.
    std::string text = "+ADAI=" + std::string(request.substr(6));
    text.resize(kIndicationStatusPosition, '0');
    text += m_bindCompletion == BindCompletion::Completed ? kSuccess : kBindFailure;
    return AnswerLine(text + "0000");
}

} // namespace mirelight
