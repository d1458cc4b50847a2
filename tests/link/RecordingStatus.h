#pragma once

#include "link/IStatusSink.h"

#include <string>
#include <vector>

// Keeps every status text the link reports.
class RecordingStatus final : public mirelight::IStatusSink
{
public:
    void ReportStatus(const std::string& text) override { texts.push_back(text); }

    std::vector<std::string> texts;
};
