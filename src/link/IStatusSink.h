#pragma once

#include <string>

namespace mirelight {

// Where the link reports the outcome of a failed exchange ("Write failure to COM3:",
// "Brisko communications error 868"). Implemented by the layer that owns the status text.
class IStatusSink
{
public:
    virtual ~IStatusSink() = default;

    // Replaces the status text with text.
    virtual void ReportStatus(const std::string& text) = 0;
    // The COM number as the settings have it now: a report names the port by it, even when
    // the port was opened under an earlier one.
    virtual long ComChan() const = 0;
};

} // namespace mirelight
