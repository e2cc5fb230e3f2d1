#pragma once
// ecrtool's record commands (info, fisc, plu-read, plu-write, plu-delete-all,
// taxes-read, tax-write, cashiers-read, cashiers-write, adv-read, adv-write)
// on the ECR façade. They register themselves; this entry point runs one of
// them on given streams, for the tests.
//
// Input files are checked completely before any connection is opened; a bad
// line is reported with its number ("line 3: field \"Price\" must be a
// number") and nothing is sent. A failure of the façade prints its LastError.

#include "EcrTool.h"

#include <iosfwd>
#include <string>
#include <vector>

int RunDeviceCommand(const std::string& name, const TToolContext& context, const std::vector<std::string>& args,
                     std::istream& in, std::ostream& out, std::ostream& err);
