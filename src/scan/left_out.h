// The functions a source holds that the scan's bounded table leaves out: other
// domains, buses above 15, more than 32. The views keep those bounds; the
// command line says what they cost.
#pragma once

#include "access/config_source.h"
#include "scan/device_table.h"

#include <string>
#include <vector>

// "N functions lie outside the scan (bus above 15): 0000:81:00.0, ...", one
// group per reason; empty when the table holds every function.
std::string describeLeftOut(const std::vector<FunctionAddress> &held, const DeviceTable &table);
