#pragma once

#include "link/IStatusSink.h"

namespace mirelight {

// Shows the link's status messages on stderr: during the benchmark they only ever report
// that an exchange failed, which explains why the benchmark could not finish.
class CStatusPrinter final : public IStatusSink
{
public:
    void ReportStatus(const std::string& text) override;
    long ComChan() const override { return 0; } // the pseudo-terminal has no number
};

} // namespace mirelight
