#include "CStatusPrinter.h"

#include <iostream>

namespace mirelight {

void CStatusPrinter::ReportStatus(const std::string& text)
{
    std::cerr << "link status: " << text << '\n';
}

} // namespace mirelight
