#pragma once

#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace mirelight {

// How a bind request ends after its "+ADAC=00": with a "+ADAI" carrying status "00", with
// one carrying a failure status, or with no indication at all.
enum class BindCompletion { Completed, Failed, Never };

// What the simulated dongle does about one request.
struct SimReaction
{
    struct Output
    {
        std::chrono::milliseconds delay; // after the request arrived
        std::string bytes;
    };
    std::vector<Output> outputs; // in the order they are to be sent
    bool unplug = false; // the device goes away instead of answering
    std::vector<std::string> events; // what happened, for the log: the request, light changes
};

// The simulated Brisko's behaviour: answers, the eight lights and the script of deviations.
// Pure (no I/O, no threads, not thread-safe); CBriskoSim drives it.
//
// Script rules select requests by prefix (a name such as "+NNDR", or more, e.g. "+NJNR=01"
// for the rejoin request only) and by occurrence: the n-th request with that prefix (1 is
// the first), or every one (0).
class CBriskoModel
{
public:
    static constexpr std::string_view kBriskoModelCode = "0B400112";
    static constexpr int kLights = 8;
    static constexpr std::chrono::milliseconds kDefaultBindDelay { 500 };

    // Ready-made bytes for SendBefore: a line from another device, and a mix of noise (control
    // characters, a blank line, a 600-byte line, bytes >= 0x80).
    static std::string UnrelatedLine();
    static std::string GarbageLines();

    CBriskoModel();

    // --- Script ---
    void SetMacMissing(bool missing); // "+DERI=04" to "+DVRR" until a "+DSMR" arrives
    void SetModelCode(std::string code); // eight characters at 6..13 of "+DVRC"
    void SetNetworkId(std::string id); // four characters at 14..17 of "+NNDC"
    void SetAnswerDelay(std::chrono::milliseconds delay);
    void SetBindCompletion(BindCompletion completion, std::chrono::milliseconds delay);
    // Answers with status instead of "00" (for "+DVRR": "+DERI=" and the status).
    void AnswerWithStatus(std::string prefix, std::string status, int occurrence = 0);
    void LeaveUnanswered(std::string prefix, int occurrence = 0);
    // Sends bytes (unrelated lines, garbage, over-long lines...) just before the answer.
    void SendBefore(std::string prefix, std::string bytes, int occurrence = 0);
    // Sends bytes right behind the answer, in the same write (late chatter).
    void SendAfter(std::string prefix, std::string bytes, int occurrence = 0);
    void UnplugAt(std::string prefix, int occurrence = 1);

    // A request as received, without its "\r".
    SimReaction HandleRequest(std::string_view request);

    const std::array<bool, kLights>& Lights() const { return m_lights; }

private:
    enum class RuleKind { Status, Unanswered, SendBefore, SendAfter, Unplug };
    struct Rule
    {
        RuleKind kind;
        std::string prefix;
        int occurrence;
        std::string value;
        int seen = 0; // requests so far that began with prefix
    };
    struct Answer
    {
        std::string line;
        bool bindPending = false; // a "+ADAI" is to follow
    };

    void AddRule(RuleKind kind, std::string prefix, int occurrence, std::string value = {});
    std::vector<const Rule*> MatchRules(std::string_view request);
    Answer DefaultAnswer(std::string_view request, const std::string& status,
                         std::vector<std::string>& events);
    std::string VersionAnswer(const std::string& status) const;
    std::string DiscoveryAnswer(const std::string& status) const;
    Answer DataAnswer(std::string_view request, const std::string& status,
                      std::vector<std::string>& events);
    void SwitchLight(std::string_view request, std::vector<std::string>& events);
    std::string BindIndication(std::string_view request) const;

    bool m_macMissing = false;
    bool m_macSet = false;
    std::string m_modelCode;
    std::string m_networkId = "1A2B";
    std::chrono::milliseconds m_answerDelay { 0 };
    BindCompletion m_bindCompletion = BindCompletion::Completed;
    std::chrono::milliseconds m_bindDelay = kDefaultBindDelay;
    std::vector<Rule> m_rules;
    std::array<bool, kLights> m_lights {};
};

} // namespace mirelight
